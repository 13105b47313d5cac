#include "dates.hpp"

#include <cstdlib>

namespace kestrix {

namespace {

constexpr bool isLeap(int y) noexcept {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int daysInMonth(int y, int m) noexcept {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Days since 1 January 2000 of a proleptic Gregorian date (y >= 1).
constexpr std::int64_t daysFromCivil(int y, int m, int d) noexcept {
  y -= m <= 2;
  const std::int64_t era = y / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - 10957;  // 10957 days from 1970 to 2000
}
static_assert(daysFromCivil(2000, 1, 1) == 0);
static_assert(daysFromCivil(2014, 3, 5) == 5177);

void append2(int v, std::string& out) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void appendYearMonthDay(const CivilTime& t, std::string& out) {
  append2(t.year / 100, out);
  append2(t.year % 100, out);
  out.push_back('-');
  append2(t.month, out);
  out.push_back('-');
  append2(t.day, out);
}

}  // namespace

bool isValidCivilTime(const CivilTime& t) noexcept {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::int64_t toSeconds(const CivilTime& t) noexcept {
  return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime fromSeconds(std::int64_t seconds) noexcept {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Inverse of daysFromCivil.
  const std::int64_t z = days + 10957 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

void appendRowDate(std::int64_t seconds, const Regional& regional, std::string& out) {
  const CivilTime t = fromSeconds(seconds);
  append2(t.day, out);
  out += regional.dateSeparator;
  append2(t.month, out);
  out += regional.dateSeparator;
  append2(t.year % 100, out);
  out.push_back(' ');
  append2(t.hour, out);
  out += regional.timeSeparator;
  append2(t.minute, out);
  out += regional.timeSeparator;
  append2(t.second, out);
}

void appendIsoDay(std::int64_t seconds, std::string& out) {
  appendYearMonthDay(fromSeconds(seconds), out);
}

void appendIsoDate(std::int64_t seconds, char between, std::optional<int> utcOffsetMinutes,
                   std::string& out) {
  const CivilTime t = fromSeconds(seconds);
  appendYearMonthDay(t, out);
  out.push_back(between);
  append2(t.hour, out);
  out.push_back(':');
  append2(t.minute, out);
  out.push_back(':');
  append2(t.second, out);
  if (!utcOffsetMinutes) return;
  const int offset = *utcOffsetMinutes;
  if (offset == 0) {
    out.push_back('Z');
    return;
  }
  out.push_back(offset < 0 ? '-' : '+');
  append2(std::abs(offset) / 60, out);
  out.push_back(':');
  append2(std::abs(offset) % 60, out);
}

void appendDate(std::int64_t seconds, const DateForm& form, std::string& out) {
  if (form.style == DateStyle::Iso) {
    appendIsoDate(seconds, form.between, form.utcOffsetMinutes, out);
  } else {
    appendRowDate(seconds, form.regional, out);
  }
}

RowDateText::RowDateText(std::int64_t first, int step, const DateForm& form)
    : seconds_(first), step_(step), form_(form) {
  setDay();
}

void RowDateText::setDay() {
  text_.clear();
  appendDate(seconds_, form_, text_);
  const std::int64_t rest = seconds_ % 86400;
  secondOfDay_ = static_cast<int>(rest < 0 ? rest + 86400 : rest);
  if (form_.style == DateStyle::Iso) {
    time_.hour = std::string_view("YYYY-MM-DD ").size();  // the offset follows the seconds
    time_.minute = time_.hour + 3;
    time_.second = time_.minute + 3;
    return;
  }
  const std::size_t timeSize = 6 + 2 * form_.regional.timeSeparator.size();
  time_.hour = text_.size() - timeSize;
  time_.minute = time_.hour + 2 + form_.regional.timeSeparator.size();
  time_.second = time_.minute + 2 + form_.regional.timeSeparator.size();
}

void RowDateText::next() {
  seconds_ += step_;
  secondOfDay_ += step_;
  if (secondOfDay_ >= 86400) {
    setDay();
    return;
  }
  time_.write(text_.data(), secondOfDay_);
}

}  // namespace kestrix
