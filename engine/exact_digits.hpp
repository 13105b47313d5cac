// The decimal digits of a double's magnitude, worked out exactly: a finite
// double is m * 2^e, a fraction of two integers that BigUnsigned holds whole,
// so no step rounds. Two ways to choose the digits: the shortest that read
// back as the same double, and a given number rounded half to even.
#pragma once

#include <cstdint>

namespace kestrix {

// A finite double's magnitude = mantissa * 2^exponent, the mantissa below
// 2^53 (below 2^52 for the subnormals).
struct BinaryDouble {
  std::uint64_t mantissa;
  int exponent;
  // The double below is half as far as the one above: a power of two above
  // the subnormals, whose spacing halves beneath it.
  bool closerBelow;
};
BinaryDouble binaryOf(double value) noexcept;

// About floor(log10(magnitude)) of a nonzero magnitude, within one either way.
int decimalExponentEstimate(const BinaryDouble& b) noexcept;

// value = 0.d1d2...dn * 10^pointAt with d1 not 0: `count` characters '0' to
// '9' in `digits`.
struct DecimalDigits {
  // Enough for the digits before the point of the largest double (309) and
  // for 41 significant digits.
  static constexpr int kMost = 320;
  char digits[kMost];
  int count = 0;
  int pointAt = 0;
};

// The fewest digits that read back as `magnitude` (finite, above 0), the
// nearest to it when several are as short: the free-format method of Steele
// and White, with exact integers as Burger and Dybvig give it.
void shortestDigits(double magnitude, DecimalDigits& out) noexcept;

// `count` significant digits (1 to DecimalDigits::kMost) of `magnitude`
// (finite, above 0), rounded half to even from its exact value; trailing zeros
// are kept.
void roundedDigits(double magnitude, int count, DecimalDigits& out) noexcept;

// Every digit before the point of `magnitude`, a whole number of at least 1
// (every double of 2^53 and above is one): its exact decimal form.
void wholeDigits(double magnitude, DecimalDigits& out) noexcept;

}  // namespace kestrix
