// Calendar arithmetic on whole seconds. A point in time is a count of seconds
// since 1 January 2000 00:00:00; no time zone is involved anywhere.
#pragma once

#include <cstdint>
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

// Appends "dd/mm/yy hh:mm:ss" with the regional separators.
void appendRowDate(std::int64_t seconds, const Regional& regional, std::string& out);

// The appendRowDate text of dates a fixed step apart, one after the other:
// the time of day is updated in place, the date part redone once a day.
class RowDateText {
 public:
  // Starts at `first`; each next() adds `step` seconds (step >= 1).
  RowDateText(std::int64_t first, int step, const Regional& regional);

  std::string_view text() const noexcept { return text_; }
  void next();

 private:
  void setDay();

  std::int64_t seconds_;
  int step_;
  int secondOfDay_ = 0;
  Regional regional_;
  std::string text_;
  std::size_t timeAt_ = 0;  // where "hh" starts
  std::size_t minuteAt_ = 0;
  std::size_t secondAt_ = 0;
};

}  // namespace kestrix
