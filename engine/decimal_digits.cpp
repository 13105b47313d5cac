#include "decimal_digits.hpp"

#include <cmath>
#include <cstring>
#include <limits>

// Header-only: the engine links no library.
#ifndef FMT_HEADER_ONLY
#define FMT_HEADER_ONLY
#endif
#include <fmt/compile.h>
#include <fmt/format.h>

namespace kestrix {

namespace {

// A finite double's shortest digits: value = 0.d1d2...dn * 10^pointAt, d1 not
// 0 (for zero: one digit 0, pointAt 1).
struct Digits {
  bool negative = false;
  char digits[20] = {};
  int count = 0;
  int pointAt = 0;
};

// The shortest digits come from fmt's shortest representation ("{}"), in
// whichever form it chose: [-]digits[.digits][e(+|-)digits].
Digits shortestDigits(double value) {
  char text[40];
  const char* const end = fmt::format_to_n(text, sizeof text, FMT_COMPILE("{}"), value).out;
  Digits d;
  const char* p = text;
  if (p != end && *p == '-') {
    d.negative = true;
    ++p;
  }
  int beforePoint = 0;
  bool afterPoint = false;
  for (; p != end && *p != 'e'; ++p) {
    if (*p == '.') {
      afterPoint = true;
      continue;
    }
    if (!afterPoint) ++beforePoint;
    if (d.count == 0 && *p == '0') {
      --beforePoint;  // a leading zero moves the point
      continue;
    }
    d.digits[d.count++] = *p;
  }
  int exponent = 0;
  bool negativeExponent = false;
  if (p != end) ++p;  // 'e'
  if (p != end && (*p == '-' || *p == '+')) negativeExponent = *p++ == '-';
  for (; p != end; ++p) exponent = exponent * 10 + (*p - '0');
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  if (d.count == 0) {  // zero
    d.digits[d.count++] = '0';
    d.pointAt = 1;
    return d;
  }
  d.pointAt = beforePoint + (negativeExponent ? -exponent : exponent);
  return d;
}

char* writeNonFinite(double value, char* at) {
  const char* text =
      std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
  const std::size_t n = std::strlen(text);
  std::memcpy(at, text, n);
  return at + n;
}

// The fixed form. An integer whose shortest digits end before the point has
// them padded not with zeros but with its exact digits, as to_chars writes it:
// of the texts that read back as it, all as long, the nearest.
char* writeFixed(double value, const Digits& d, char* at) {
  if (d.pointAt > d.count)
    return fmt::format_to_n(at, kMaxDecimalText, FMT_COMPILE("{:.0f}"), value).out;
  if (d.negative) *at++ = '-';
  if (d.pointAt <= 0) {
    *at++ = '0';
    *at++ = '.';
    for (int i = d.pointAt; i < 0; ++i) *at++ = '0';
    std::memcpy(at, d.digits, static_cast<std::size_t>(d.count));
    return at + d.count;
  }
  std::memcpy(at, d.digits, static_cast<std::size_t>(d.pointAt));
  at += d.pointAt;
  if (d.count > d.pointAt) {
    *at++ = '.';
    const int rest = d.count - d.pointAt;
    std::memcpy(at, d.digits + d.pointAt, static_cast<std::size_t>(rest));
    at += rest;
  }
  return at;
}

// e+xx, e-xx or e+xxx: at least two digits, as to_chars writes them.
char* writeExponent(int exponent, char* at) {
  *at++ = 'e';
  *at++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude >= 100) *at++ = static_cast<char>('0' + magnitude / 100);
  *at++ = static_cast<char>('0' + magnitude / 10 % 10);
  *at++ = static_cast<char>('0' + magnitude % 10);
  return at;
}

char* writeExponentForm(const Digits& d, char* at) {
  if (d.negative) *at++ = '-';
  *at++ = d.digits[0];
  if (d.count > 1) {
    *at++ = '.';
    std::memcpy(at, d.digits + 1, static_cast<std::size_t>(d.count - 1));
    at += d.count - 1;
  }
  return writeExponent(d.pointAt - 1, at);
}

}  // namespace

char* writeShortestFixed(double value, char* first) {
  if (!std::isfinite(value)) return writeNonFinite(value, first);
  return writeFixed(value, shortestDigits(value), first);
}

char* writeShortest(double value, char* first) {
  if (!std::isfinite(value)) return writeNonFinite(value, first);
  const Digits d = shortestDigits(value);
  char fixed[kMaxDecimalText];
  char* const fixedEnd = writeFixed(value, d, fixed);
  char* const end = writeExponentForm(d, first);
  if (fixedEnd - fixed <= end - first) {
    std::memcpy(first, fixed, static_cast<std::size_t>(fixedEnd - fixed));
    return first + (fixedEnd - fixed);
  }
  return end;
}

char* writeScientific(double value, int fractionDigits, char* first) {
  if (!std::isfinite(value)) return writeNonFinite(value, first);
  const int kept = fractionDigits + 1;  // significant digits
  char* at = first;
  if (value == 0) {
    if (std::signbit(value)) *at++ = '-';
    *at++ = '0';
    if (fractionDigits > 0) *at++ = '.';
    for (int i = 0; i < fractionDigits; ++i) *at++ = '0';
    return writeExponent(0, at);
  }
  // The shortest digits D lie within half a unit in the last place of the
  // double x. Rounded to `kept` digits they give x's own rounding unless a
  // midpoint between two such texts lies between D and x: unless D's tail
  // beyond them is within that half unit of one half. Only then, and for
  // longer texts than a double's shortest, the slower exact rounding.
  Digits d = kept <= 17 ? shortestDigits(value) : Digits{};
  double tail = 0;
  for (int i = d.count - 1; i >= kept; --i) tail = (tail + (d.digits[i] - '0')) / 10;
  const double magnitude = std::fabs(value);
  const double halfUlp = (std::nextafter(magnitude, HUGE_VAL) - magnitude) / 2;
  const double halfUlpInUnits = halfUlp / std::pow(10.0, d.pointAt - kept);
  if (d.count == 0 || !(halfUlpInUnits < 0.25) ||
      std::fabs(tail - 0.5) <= 1.25 * halfUlpInUnits + 1e-9)
    return fmt::format_to_n(first, kMaxDecimalText, FMT_COMPILE("{:.{}e}"), value, fractionDigits)
        .out;
  if (d.count > kept) {
    d.count = kept;
    if (tail > 0.5) {  // round up, carrying
      int i = kept - 1;
      for (; i >= 0 && d.digits[i] == '9'; --i) d.digits[i] = '0';
      if (i >= 0) {
        ++d.digits[i];
      } else {
        d.digits[0] = '1';
        ++d.pointAt;
      }
    }
  }
  if (d.negative) *at++ = '-';
  *at++ = d.digits[0];
  if (fractionDigits > 0) *at++ = '.';
  for (int i = 1; i <= fractionDigits; ++i) *at++ = i < d.count ? d.digits[i] : '0';
  return writeExponent(d.pointAt - 1, at);
}

}  // namespace kestrix
