#include "exact_digits.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "big_unsigned.hpp"

namespace kestrix {

BinaryDouble binaryOf(double value) noexcept {
  std::uint64_t bits = 0;  // std::bit_cast, which the browser's library lacks
  std::memcpy(&bits, &value, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074, false};
  return {fraction | std::uint64_t{1} << 52, biased - 1075, fraction == 0 && biased > 1};
}

int decimalExponentEstimate(const BinaryDouble& b) noexcept {
  // log10 2 as 78913 / 2^18, times the place of the mantissa's top bit.
  const int topBit = static_cast<int>(std::bit_width(b.mantissa)) - 1 + b.exponent;
  return (topBit * 78913) >> 18;  // an arithmetic shift: the floor below 0 too
}

namespace {

// numerator / denominator, and beside them the denominator's multiples by
// 2, 4 and 8 for taking one digit at a time.
struct Division {
  BigUnsigned numerator;
  BigUnsigned multiples[4];  // denominator * 1, 2, 4, 8

  void setMultiples() noexcept {
    for (int i = 1; i < 4; ++i) {
      multiples[i] = multiples[i - 1];
      multiples[i].shiftLeft(1);
    }
  }

  // The digit numerator / denominator (the quotient is below 10), leaving the
  // remainder as the numerator.
  int takeDigit() noexcept {
    int digit = 0;
    for (int i = 3; i >= 0; --i) {
      if (compare(numerator, multiples[i]) >= 0) {
        numerator.subtract(multiples[i]);
        digit += 1 << i;
      }
    }
    return digit;
  }
};

// magnitude / 10^exponent = numerator / denominator, in [1, 10); returns the
// exponent, floor(log10(magnitude)).
int scaleToOneDigit(double magnitude, Division& division) noexcept {
  const BinaryDouble b = binaryOf(magnitude);
  BigUnsigned& numerator = division.numerator;
  BigUnsigned& denominator = division.multiples[0];
  numerator = BigUnsigned(b.mantissa);
  denominator = BigUnsigned(1);
  if (b.exponent > 0) {
    numerator.shiftLeft(b.exponent);
  } else {
    denominator.shiftLeft(-b.exponent);
  }
  int exponent = decimalExponentEstimate(b);
  if (exponent > 0) {
    denominator.multiplyByPowerOfTen(exponent);
  } else {
    numerator.multiplyByPowerOfTen(-exponent);
  }
  while (compare(numerator, denominator) < 0) {
    numerator.multiply(10);
    --exponent;
  }
  for (;;) {
    BigUnsigned tenTimes = denominator;
    tenTimes.multiply(10);
    if (compare(numerator, tenTimes) < 0) break;
    denominator = tenTimes;
    ++exponent;
  }
  division.setMultiples();
  return exponent;
}

// Adds one unit in the last of the digits, carrying; 99..9 becomes 10..0 with
// the point one place on.
void roundUp(DecimalDigits& out) noexcept {
  int i = out.count - 1;
  while (i >= 0 && out.digits[i] == '9') out.digits[i--] = '0';
  if (i >= 0) {
    ++out.digits[i];
  } else {
    out.digits[0] = '1';
    ++out.pointAt;
  }
}

}  // namespace

void roundedDigits(double magnitude, int count, DecimalDigits& out) noexcept {
  if (count < 1) count = 1;
  if (count > DecimalDigits::kMost) count = DecimalDigits::kMost;
  Division division;
  out.pointAt = scaleToOneDigit(magnitude, division) + 1;
  out.count = count;
  int i = 0;
  for (; i < count && !division.numerator.isZero(); ++i) {
    if (i > 0) division.numerator.multiply(10);
    out.digits[i] = static_cast<char>('0' + division.takeDigit());
  }
  if (i < count) {  // the exact value ends here
    std::memset(out.digits + i, '0', static_cast<std::size_t>(count - i));
    return;
  }
  // Half to even: the remainder against half the denominator.
  division.numerator.shiftLeft(1);
  const int half = compare(division.numerator, division.multiples[0]);
  if (half > 0 || (half == 0 && (out.digits[count - 1] - '0') % 2 == 1)) roundUp(out);
}

void wholeDigits(double magnitude, DecimalDigits& out) noexcept {
  Division division;
  const int count = scaleToOneDigit(magnitude, division) + 1;
  roundedDigits(magnitude, count, out);  // exact: nothing follows the point
}

void shortestDigits(double magnitude, DecimalDigits& out) noexcept {
  // magnitude = r / s; the midpoints to the doubles either side are
  // (r + mPlus) / s and (r - mMinus) / s. Any digits strictly between them
  // read back as this double; the midpoints themselves too where the mantissa
  // is even, since reading rounds a tie to even.
  const BinaryDouble b = binaryOf(magnitude);
  const bool boundsRead = b.mantissa % 2 == 0;
  const std::uint64_t scale = b.closerBelow ? 4 : 2;
  BigUnsigned r(b.mantissa * scale);
  BigUnsigned s(scale);
  BigUnsigned mPlus(b.closerBelow ? 2 : 1);
  BigUnsigned mMinus(1);
  if (b.exponent > 0) {
    r.shiftLeft(b.exponent);
    mPlus.shiftLeft(b.exponent);
    mMinus.shiftLeft(b.exponent);
  } else {
    s.shiftLeft(-b.exponent);
  }
  // The digits stand for 0.d1d2... * 10^k, k the least with the upper
  // midpoint below 10^k (not a valid text itself). The estimate, at most one
  // above floor(log10(magnitude)), is at most that k: it only goes up.
  int k = decimalExponentEstimate(b);
  if (k > 0) {
    s.multiplyByPowerOfTen(k);
  } else {
    r.multiplyByPowerOfTen(-k);
    mPlus.multiplyByPowerOfTen(-k);
    mMinus.multiplyByPowerOfTen(-k);
  }
  for (;;) {
    const int top = compareSum(r, mPlus, s);
    if (boundsRead ? top < 0 : top <= 0) break;
    s.multiply(10);
    ++k;
  }
  Division division;  // its numerator r from here on
  division.numerator = r;
  division.multiples[0] = s;
  division.setMultiples();
  BigUnsigned& remainder = division.numerator;
  int n = 0;
  for (;;) {
    remainder.multiply(10);
    int digit = division.takeDigit();
    mPlus.multiply(10);
    mMinus.multiply(10);
    const int low = compare(remainder, mMinus);
    const bool stopLow = boundsRead ? low <= 0 : low < 0;  // the digit so far reads back
    const int high = compareSum(remainder, mPlus, s);
    const bool stopHigh = boundsRead ? high >= 0 : high > 0;  // so does the digit plus one
    if (stopHigh && !stopLow) {
      ++digit;
    } else if (stopHigh) {  // both: the nearer
      BigUnsigned twice = remainder;
      twice.shiftLeft(1);
      const int c = compare(twice, s);
      if (c > 0 || (c == 0 && digit % 2 == 1)) ++digit;
    }
    out.digits[n++] = static_cast<char>('0' + digit);
    if (stopLow || stopHigh || n == DecimalDigits::kMost) break;
  }
  out.count = n;
  out.pointAt = k;
}

}  // namespace kestrix
