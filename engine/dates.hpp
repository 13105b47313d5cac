// Calendar arithmetic on whole seconds. A point in time is a count of seconds
// since 1 January 2000 00:00:00; no time zone is involved anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "regional.hpp"

namespace kestrix {

struct CivilTime {
  int year = 2000;  // four digits
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool isValidCivilTime(const CivilTime& t) noexcept;
std::int64_t toSeconds(const CivilTime& t) noexcept;  // t must be valid
CivilTime fromSeconds(std::int64_t seconds) noexcept;

enum class DateStyle {
  Regional,  // dd/mm/yy hh:mm:ss with the locale's separators, as the table writes row dates
  Iso,       // YYYY-MM-DD HH:MM:SS whatever the locale
};

// How a date and time is written: the regional form or ISO 8601.
struct DateForm {
  Regional regional;  // the separators of the regional form (its decimal mark is not used)
  DateStyle style = DateStyle::Regional;
  char between = ' ';  // ISO: between the day and the time, ' ' or 'T'
  // ISO only: the offset of the loggers' clock from UTC in minutes, appended
  // to each date ("+01:00", "Z" for none).
  std::optional<int> utcOffsetMinutes;
};

// The regional form with `regional`'s separators.
inline DateForm regionalDates(const Regional& regional) {
  DateForm form;
  form.regional = regional;
  return form;
}

// Appends "dd/mm/yy hh:mm:ss" with the regional separators.
void appendRowDate(std::int64_t seconds, const Regional& regional, std::string& out);
// Appends "YYYY-MM-DD".
void appendIsoDay(std::int64_t seconds, std::string& out);
// Appends "YYYY-MM-DD", `between`, "HH:MM:SS" and the offset, if any.
void appendIsoDate(std::int64_t seconds, char between, std::optional<int> utcOffsetMinutes,
                   std::string& out);
// Appends the date in `form`.
void appendDate(std::int64_t seconds, const DateForm& form, std::string& out);

// Where a date's text holds the two digits of its hour, minute and second.
struct TimePlaces {
  std::size_t hour = 0, minute = 0, second = 0;

  // Writes the time of day `secondOfDay` (0 to 86399) into `text` at these places.
  void write(char* text, int secondOfDay) const noexcept {
    const auto two = [text](std::size_t at, int v) {
      text[at] = static_cast<char>('0' + v / 10);
      text[at + 1] = static_cast<char>('0' + v % 10);
    };
    two(hour, secondOfDay / 3600);
    two(minute, secondOfDay / 60 % 60);
    two(second, secondOfDay % 60);
  }
};

// The appendDate text of dates a fixed step apart, one after the other: the
// time of day is updated in place, the rest redone once a day.
class RowDateText {
 public:
  // Starts at `first`; each next() adds `step` seconds (step >= 1).
  RowDateText(std::int64_t first, int step, const Regional& regional)
      : RowDateText(first, step, regionalDates(regional)) {}
  RowDateText(std::int64_t first, int step, const DateForm& form);

  std::string_view text() const noexcept { return text_; }
  void next();

 private:
  void setDay();

  std::int64_t seconds_;
  int step_;
  int secondOfDay_ = 0;
  DateForm form_;
  std::string text_;
  TimePlaces time_;
};

}  // namespace kestrix
