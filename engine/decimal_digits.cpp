#include "decimal_digits.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "exact_digits.hpp"

namespace kestrix {

namespace {

__extension__ typedef unsigned __int128 Uint128;

char* writeNonFinite(double value, char* at) noexcept {
  const char* text =
      std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
  const std::size_t n = std::strlen(text);
  std::memcpy(at, text, n);
  return at + n;
}

char* writeZeros(int n, char* at) noexcept {
  if (n <= 0) return at;
  std::memset(at, '0', static_cast<std::size_t>(n));
  return at + n;
}

char* writeDigits(const char* digits, int n, char* at) noexcept {
  std::memcpy(at, digits, static_cast<std::size_t>(n));
  return at + n;
}

// e+xx, e-xx or e+xxx: at least two digits, as to_chars writes them.
char* writeExponent(int exponent, char* at) noexcept {
  *at++ = 'e';
  *at++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude >= 100) *at++ = static_cast<char>('0' + magnitude / 100);
  *at++ = static_cast<char>('0' + magnitude / 10 % 10);
  *at++ = static_cast<char>('0' + magnitude % 10);
  return at;
}

// The shortest digits in fixed form, the magnitude's only. A whole number
// whose digits end before the point is written with its exact digits, as
// to_chars writes it: of the texts as long that read back as it, the
// nearest. Below 2^53 those are the shortest digits and zeros.
char* writeFixed(double magnitude, const DecimalDigits& d, char* at) noexcept {
  if (d.pointAt > d.count) {
    if (magnitude < 0x1p53)
      return writeZeros(d.pointAt - d.count, writeDigits(d.digits, d.count, at));
    DecimalDigits whole;
    wholeDigits(magnitude, whole);
    return writeDigits(whole.digits, whole.count, at);
  }
  if (d.pointAt <= 0) {
    *at++ = '0';
    *at++ = '.';
    return writeDigits(d.digits, d.count, writeZeros(-d.pointAt, at));
  }
  at = writeDigits(d.digits, d.pointAt, at);
  if (d.count == d.pointAt) return at;
  *at++ = '.';
  return writeDigits(d.digits + d.pointAt, d.count - d.pointAt, at);
}

// d.ddd, `fractionDigits` after the point, then the exponent.
char* writeExponentForm(const char* digits, int fractionDigits, int exponent, char* at) noexcept {
  *at++ = digits[0];
  if (fractionDigits > 0) {
    *at++ = '.';
    at = writeDigits(digits + 1, fractionDigits, at);
  }
  return writeExponent(exponent, at);
}

int fixedLength(const DecimalDigits& d) noexcept {
  if (d.pointAt <= 0) return 2 - d.pointAt + d.count;
  return d.pointAt >= d.count ? d.pointAt : d.count + 1;
}

int exponentFormLength(const DecimalDigits& d) noexcept {
  const int exponent = d.pointAt - 1;
  return d.count + (d.count > 1 ? 1 : 0) + (exponent <= -100 || exponent >= 100 ? 5 : 4);
}

// 10^n as 128-bit integers, n from 0 to 38.
struct PowersOfTen {
  Uint128 values[39];
  constexpr PowersOfTen() : values() {
    values[0] = 1;
    for (int n = 1; n < 39; ++n) values[n] = values[n - 1] * 10;
  }
};
constexpr PowersOfTen kPowersOfTen;

int bitWidth(Uint128 n) noexcept {
  const auto high = static_cast<std::uint64_t>(n >> 64);
  return static_cast<int>(high != 0 ? 64 + std::bit_width(high)
                                    : std::bit_width(static_cast<std::uint64_t>(n)));
}

// The quick way to writeScientific's digits, for most doubles the cells meet:
// `significant` digits (at most 17) of a normal double's magnitude, rounded
// half to even from its exact value in 128-bit integers. magnitude =
// m * 2^e, and its digits down to 10^(exponent - significant + 1) are
// floor(m * 2^e * 10^(significant - 1 - exponent)) with the remainder to round
// by. False where the integers would not hold it (very small or large
// magnitudes), for the exact way with no bound.
bool quickDigits(double magnitude, int significant, std::uint64_t& digits, int& exponent) noexcept {
  const BinaryDouble b = binaryOf(magnitude);
  if (b.mantissa < std::uint64_t{1} << 52) return false;  // subnormal
  const std::uint64_t m = b.mantissa;
  const int e = b.exponent;
  const int estimate = decimalExponentEstimate(b);
  const int shift = significant - 1 - estimate;
  if (shift > 22 || shift < -38) return false;
  Uint128 numerator = m;
  Uint128 denominator = 1;
  if (shift >= 0) {
    numerator *= kPowersOfTen.values[shift];  // below 2^53 * 2^74
  } else {
    denominator = kPowersOfTen.values[-shift];
  }
  int powerOfTwo = 0;  // a denominator 2^powerOfTwo: the quotient by shifting
  if (e >= 0) {
    if (bitWidth(numerator) + e > 127) return false;
    numerator <<= e;
  } else if (shift >= 0) {
    if (-e > 126) return false;
    powerOfTwo = -e;
  } else {
    if (bitWidth(denominator) - e > 126) return false;
    denominator <<= -e;
  }
  Uint128 quotient = 0;
  Uint128 remainder = 0;
  if (powerOfTwo > 0) {
    quotient = numerator >> powerOfTwo;
    denominator = Uint128{1} << powerOfTwo;
    remainder = numerator & (denominator - 1);
  } else {
    quotient = numerator / denominator;
    remainder = numerator - quotient * denominator;
  }
  const auto lowest = static_cast<std::uint64_t>(kPowersOfTen.values[significant - 1]);
  const std::uint64_t highest = lowest * 10;
  if (quotient >= Uint128{highest} * 10) return false;
  auto q = static_cast<std::uint64_t>(quotient);
  // What follows the digits, remainder / denominator, against one half.
  const Uint128 twice = remainder * 2;
  int half = twice < denominator ? -1 : twice > denominator ? 1 : 0;
  exponent = estimate;
  if (q >= highest) {  // one digit more than asked: it is rounded off too
    const auto last = static_cast<int>(q % 10);
    q /= 10;
    ++exponent;
    half = last < 5 ? -1 : last > 5 ? 1 : (remainder == 0 ? 0 : 1);
  }
  if (q < lowest) return false;  // the estimate one too high
  if (half > 0 || (half == 0 && q % 2 == 1)) {
    ++q;
    if (q == highest) {
      q = lowest;
      ++exponent;
    }
  }
  digits = q;
  return true;
}

// The shortest digits in fixed form, or with `eitherForm` in the shorter of
// the fixed and the exponent form (fixed on a tie).
char* writeShortestIn(double value, bool eitherForm, char* first) noexcept {
  if (!std::isfinite(value)) return writeNonFinite(value, first);
  char* at = first;
  if (std::signbit(value)) *at++ = '-';
  if (value == 0) {
    *at++ = '0';
    return at;
  }
  const double magnitude = std::fabs(value);
  DecimalDigits d;
  shortestDigits(magnitude, d);
  if (eitherForm && exponentFormLength(d) < fixedLength(d))
    return writeExponentForm(d.digits, d.count - 1, d.pointAt - 1, at);
  return writeFixed(magnitude, d, at);
}

}  // namespace

char* writeShortestFixed(double value, char* first) noexcept {
  return writeShortestIn(value, false, first);
}

char* writeShortest(double value, char* first) noexcept {
  return writeShortestIn(value, true, first);
}

char* writeScientific(double value, int fractionDigits, char* first) noexcept {
  if (!std::isfinite(value)) return writeNonFinite(value, first);
  if (fractionDigits < 0) fractionDigits = 6;  // as printf takes a negative precision
  if (fractionDigits >= DecimalDigits::kMost) fractionDigits = DecimalDigits::kMost - 1;
  char* at = first;
  if (std::signbit(value)) *at++ = '-';
  if (value == 0) {
    *at++ = '0';
    if (fractionDigits > 0) *at++ = '.';
    return writeExponent(0, writeZeros(fractionDigits, at));
  }
  const double magnitude = std::fabs(value);
  const int significant = fractionDigits + 1;
  std::uint64_t quick = 0;
  int exponent = 0;
  if (significant <= 17 && quickDigits(magnitude, significant, quick, exponent)) {
    char digits[20];
    std::to_chars(digits, digits + sizeof digits, quick);
    return writeExponentForm(digits, fractionDigits, exponent, at);
  }
  DecimalDigits d;
  roundedDigits(magnitude, significant, d);
  return writeExponentForm(d.digits, fractionDigits, d.pointAt - 1, at);
}

}  // namespace kestrix
