// Row dates written one after the other against the date formatted afresh.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "dates.hpp"
#include "recording.hpp"

namespace kestrix {
namespace {

std::int64_t secondsOf(int y, int mo, int d, int h, int mi, int s) {
  return toSeconds(CivilTime{y, mo, d, h, mi, s});
}

TEST(RowDateText, FollowsAppendDateAcrossDaysMonthsAndYearsInEveryForm) {
  // Leap days of 2000 and 2400, none in 2100, month and year ends.
  const std::int64_t boundaries[] = {
      secondsOf(2000, 2, 29, 0, 0, 0),    secondsOf(2000, 3, 1, 0, 0, 0),
      secondsOf(2001, 1, 1, 0, 0, 0),     secondsOf(2014, 5, 1, 0, 0, 0),
      secondsOf(2100, 3, 1, 0, 0, 0),     secondsOf(2400, 2, 29, 0, 0, 0),
      secondsOf(2400, 12, 31, 23, 59, 59)};
  Regional slash;
  Regional dotted;
  dotted.dateSeparator = ".";
  dotted.timeSeparator = "\xE2\x88\xB6";  // a three-byte UTF-8 ratio sign
  std::vector<DateForm> forms{regionalDates(slash), regionalDates(dotted)};
  for (const std::optional<int> offset :
       std::initializer_list<std::optional<int>>{std::nullopt, 0, 330, -180, 14 * 60, -14 * 60}) {
    DateForm iso;
    iso.style = DateStyle::Iso;
    iso.between = offset ? 'T' : ' ';
    iso.utcOffsetMinutes = offset;
    forms.push_back(iso);
  }
  for (const DateForm& form : forms) {
    for (const std::int16_t step : intervalTable) {
      for (const std::int64_t boundary : boundaries) {
        // Enough steps to cross the boundary and, at 1 h, a few more days.
        const int steps = 200;
        const std::int64_t first = boundary - steps / 2 * step - 1;
        RowDateText text(first, step, form);
        for (int i = 0; i < steps; ++i) {
          std::string expected;
          appendDate(first + std::int64_t{i} * step, form, expected);
          ASSERT_EQ(text.text(), expected) << "step " << step << " row " << i;
          text.next();
        }
      }
    }
  }
}

TEST(RowDateText, IsoDatesCarryTheOffsetAsGiven) {
  const std::int64_t newYear = secondsOf(2026, 12, 31, 23, 59, 59);
  const auto iso = [newYear](char between, std::optional<int> offset) {
    std::string text;
    appendIsoDate(newYear, between, offset, text);
    appendIsoDate(newYear + 1, between, offset, text += '|');
    return text;
  };
  EXPECT_EQ(iso(' ', std::nullopt), "2026-12-31 23:59:59|2027-01-01 00:00:00");
  EXPECT_EQ(iso('T', 0), "2026-12-31T23:59:59Z|2027-01-01T00:00:00Z");
  EXPECT_EQ(iso(' ', 330), "2026-12-31 23:59:59+05:30|2027-01-01 00:00:00+05:30");
  EXPECT_EQ(iso('T', -180), "2026-12-31T23:59:59-03:00|2027-01-01T00:00:00-03:00");
  std::string monthEnd;
  appendIsoDate(secondsOf(2028, 2, 29, 23, 59, 59) + 1, ' ', std::nullopt, monthEnd);
  EXPECT_EQ(monthEnd, "2028-03-01 00:00:00");
}

}  // namespace
}  // namespace kestrix
