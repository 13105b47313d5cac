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

enum class Form { Shortest, Fixed, Scientific };

std::string ours(double v, Form form, int precision = 0) {
  char text[kMaxDecimalText];
  char* end = form == Form::Shortest ? kestrix::writeShortest(v, text)
              : form == Form::Fixed  ? kestrix::writeShortestFixed(v, text)
                                     : kestrix::writeScientific(v, precision, text);
  return {text, end};
}

std::string standard(double v, Form form, int precision = 0) {
  char text[kMaxDecimalText];
  const auto r =
      form == Form::Shortest ? std::to_chars(text, text + sizeof text, v)
      : form == Form::Fixed
          ? std::to_chars(text, text + sizeof text, v, std::chars_format::fixed)
          : std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, precision);
  return {text, r.ptr};
}

// Every form, and the scientific one with each precision 0 to 40; the first
// difference fails the test.
void expectEveryForm(double v) {
  ASSERT_EQ(ours(v, Form::Shortest), standard(v, Form::Shortest)) << std::hexfloat << v;
  ASSERT_EQ(ours(v, Form::Fixed), standard(v, Form::Fixed)) << std::hexfloat << v;
  for (int precision = 0; precision <= 40; ++precision)
    ASSERT_EQ(ours(v, Form::Scientific, precision), standard(v, Form::Scientific, precision))
        << std::hexfloat << v << " precision " << precision;
}

// The extremes, where the forms change over, and the ties of rounding.
std::vector<double> edgeValues() {
  using limits = std::numeric_limits<double>;
  std::vector<double> values{
      0.0, -0.0, 5e-324, limits::min(), limits::max(), limits::denorm_min() * 4503599627370495,
      limits::infinity(), -limits::infinity(), limits::quiet_NaN(),
      // Halves, and 15-digit roundings that fall on a midpoint exactly.
      0.5, 1.5, 2.5, -2.5, 0.125, 1000000000000005.0, 1000000000000015.0, 100000000000000.5,
      4503599627370496.5, 2.0000000000000005,
      // Beside 2^53, where whole numbers stop being exact.
      9007199254740993.0, 9007199254740995.0, 18014398509481985.0, 123456789012345680000.0,
      // Shortest digits near a half beyond the 15th, and carries.
      1.2345678901234549, 1.234567890123455, 1.2345678901234551, 9.9999999999999996,
      0.99999999999999994, 9.9999999999999995e22, 123456789012345.67, 0.1, 0.3, 1e21, 1e22, 1e23,
      5e-310};
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  for (int e = -323; e <= 308; ++e) values.push_back(std::pow(10.0, e));
  const std::size_t exact = values.size();
  for (std::size_t i = 0; i < exact; ++i) {  // and the doubles either side
    values.push_back(std::nextafter(values[i], 0.0));
    values.push_back(std::nextafter(values[i], limits::infinity()));
  }
  return values;
}

TEST(DecimalDigits, EveryFormMatchesToChars_AtTheEdges) {
  for (const double v : edgeValues()) expectEveryForm(v);
}

// A tenth as many under the address sanitizer, some ten times slower.
#ifdef __SANITIZE_ADDRESS__
constexpr int kSamples = 100000;
#else
constexpr int kSamples = 1000000;
#endif

TEST(DecimalDigits, EveryFormMatchesToChars_ForRandomBitPatterns) {
  std::mt19937_64 random(20261210);
  for (int i = 0; i < kSamples; ++i) {
    const double v = std::bit_cast<double>(random());
    if (!std::isfinite(v)) continue;
    ASSERT_EQ(ours(v, Form::Shortest), standard(v, Form::Shortest)) << std::hexfloat << v;
    ASSERT_EQ(ours(v, Form::Scientific, 14), standard(v, Form::Scientific, 14))
        << std::hexfloat << v;
    const int precision = i % 41;
    ASSERT_EQ(ours(v, Form::Scientific, precision), standard(v, Form::Scientific, precision))
        << std::hexfloat << v << " precision " << precision;
    if (i % 64 == 0) expectEveryForm(v);
  }
}

// Doubles read from short decimal texts, as loggers' values and limits are:
// their digits lie near the midpoints of the roundings the cells make.
TEST(DecimalDigits, EveryFormMatchesToChars_ForDecimalLookingDoubles) {
  std::mt19937_64 random(1210);
  std::uniform_int_distribution<std::int64_t> integer(-99999999999, 99999999999);
  std::uniform_int_distribution<int> places(-30, 40);
  for (int i = 0; i < kSamples; ++i) {
    const double scale = std::pow(10.0, places(random));
    const double v = i % 2 ? static_cast<double>(integer(random)) / scale
                           : static_cast<double>(integer(random) % 65536) / (i % 4 ? 16 : 256);
    ASSERT_EQ(ours(v, Form::Shortest), standard(v, Form::Shortest)) << std::hexfloat << v;
    ASSERT_EQ(ours(v, Form::Fixed), standard(v, Form::Fixed)) << std::hexfloat << v;
    for (const int precision : {14, i % 18})
      ASSERT_EQ(ours(v, Form::Scientific, precision), standard(v, Form::Scientific, precision))
          << std::hexfloat << v << " precision " << precision;
    if (i % 256 == 0) expectEveryForm(v);
  }
}

}  // namespace
