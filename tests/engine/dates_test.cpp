// Row dates written one after the other against the date formatted afresh.
#include <gtest/gtest.h>

#include "dates.hpp"
#include "recording.hpp"

namespace kestrix {
namespace {

std::int64_t secondsOf(int y, int mo, int d, int h, int mi, int s) {
  return toSeconds(CivilTime{y, mo, d, h, mi, s});
}

TEST(RowDateText, FollowsAppendRowDateAcrossDaysMonthsAndYears) {
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
  for (const Regional& regional : {slash, dotted}) {
    for (const std::int16_t step : intervalTable) {
      for (const std::int64_t boundary : boundaries) {
        // Enough steps to cross the boundary and, at 1 h, a few more days.
        const int steps = 200;
        const std::int64_t first = boundary - steps / 2 * step - 1;
        RowDateText text(first, step, regional);
        for (int i = 0; i < steps; ++i) {
          std::string expected;
          appendRowDate(first + std::int64_t{i} * step, regional, expected);
          ASSERT_EQ(text.text(), expected) << "step " << step << " row " << i;
          text.next();
        }
      }
    }
  }
}

}  // namespace
}  // namespace kestrix
