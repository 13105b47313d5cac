// The digits of doubles, checked against the standard library's to_chars on
// the build where it has them: the browser build, which lacks them, writes the
// same texts only if these agree.
#include "decimal_digits.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using kestrix::kMaxDecimalText;

std::string ours(double v, int form, int precision = 0) {
  char text[kMaxDecimalText];
  char* end = form == 0   ? kestrix::writeShortest(v, text)
              : form == 1 ? kestrix::writeShortestFixed(v, text)
                          : kestrix::writeScientific(v, precision, text);
  return {text, end};
}

std::string standard(double v, int form, int precision = 0) {
  char text[kMaxDecimalText];
  const auto r = form == 0   ? std::to_chars(text, text + sizeof text, v)
                 : form == 1 ? std::to_chars(text, text + sizeof text, v, std::chars_format::fixed)
                             : std::to_chars(text, text + sizeof text, v,
                                             std::chars_format::scientific, precision);
  return {text, r.ptr};
}

// Values where the forms change over, the extremes and the exact ties of
// rounding to 15 significant digits.
std::vector<double> edgeValues() {
  std::vector<double> values{
      0.0, -0.0, 0.1, -1.5, 100.0, 123456.789, 1e-5, 1e-4, 1e15, 1e16, 1e21, 1e22, 1e23, 5e-324,
      std::numeric_limits<double>::min(), std::numeric_limits<double>::max(), 1000000000000005.0,
      1000000000000015.0, 2.5, 0.125,
      // Shortest digits beyond the 15th near one half, and a carry.
      1.2345678901234549, 1.234567890123455, 1.2345678901234551, 9.9999999999999996,
      0.99999999999999994, 123456789012345.67, std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
  for (int e = -30; e <= 30; ++e) values.push_back(std::pow(10.0, e) * 1.25);
  return values;
}

TEST(DecimalDigits, EveryFormMatchesToCharsAtTheEdges) {
  for (const double v : edgeValues()) {
    EXPECT_EQ(ours(v, 0), standard(v, 0)) << v;
    EXPECT_EQ(ours(v, 1), standard(v, 1)) << v;
    for (const int precision : {0, 1, 14, 16})
      EXPECT_EQ(ours(v, 2, precision), standard(v, 2, precision)) << v;
  }
}

TEST(DecimalDigits, EveryFormMatchesToCharsForRandomDoubles) {
  std::mt19937_64 random(20261210);
  std::uniform_real_distribution<double> sample(-4096.0, 4096.0);
  for (int i = 0; i < 100000; ++i) {
    // Every bit pattern half the time, the loggers' range of values otherwise.
    const double v = i % 2 ? std::bit_cast<double>(random()) : sample(random) / 16.0;
    if (!std::isfinite(v)) continue;
    ASSERT_EQ(ours(v, 0), standard(v, 0)) << v;
    ASSERT_EQ(ours(v, 1), standard(v, 1)) << v;
    ASSERT_EQ(ours(v, 2, 14), standard(v, 2, 14)) << v;
  }
}

}  // namespace
