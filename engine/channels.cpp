#include "channels.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "decimal_digits.hpp"

namespace kestrix {

namespace {

// Label and unit of one type code; two-channel types carry two TAB-joined fields.
struct TypeInfo {
  std::string_view label;
  std::string_view unit;
  int channels;
};

constexpr TypeInfo kUnknownType{"Unknown data type", "?", 1};

// "\260" is the degree sign, byte B0 (octal, since a hex escape would swallow the C).
constexpr TypeInfo kTypes[] = {
    {"Ulmacorder Temp", "\260C", 1},
    {"Ulmacorder Impulse", "Pulses", 1},
    {"Ulmacorder Temp\tHumidity", "\260C\t%RH", 2},
    {"Inline Wattmeter", "Watts", 1},
    {"Ulmacorder Temp", "\260C", 1},
    {"type K1\ttype K2", "\260C\t\260C", 2},
    {"Wattmeter\tV", "Watts\tVolts", 2},
    {"Ulmacorder Lamp", "Seconds", 1},
    {"Inline Wattmeter", "Watts", 1},
    {"type S\ttype K", "\260C\t\260C", 2},
};

const TypeInfo& typeInfo(std::uint8_t code) noexcept {
  if (code >= 1 && code <= 10) return kTypes[code - 1];
  return kUnknownType;
}

}  // namespace

std::string_view firstRowTextOf(std::uint8_t code) noexcept {
  switch (code) {
    case 2:
      return "0";
    case 4:
    case 9:
      return "-";
    case 7:
      return "-\t-";
    default:
      return {};
  }
}

namespace {

void appendInteger(std::int16_t s, std::string& out) {
  char buf[8];
  const auto result = std::to_chars(buf, buf + sizeof buf, s);
  out.append(buf, result.ptr);
}

// The field text of channel 0 or 1 for raw sample s.
void appendChannelText(const CellParams& params, int channel, std::int16_t s,
                       std::string_view decimalMark, std::string& out) {
  constexpr auto kOne = NumberFormat::OneDecimal;
  switch (params.typeCode) {
    case 1:
      formatNumber(s / 16.0, kOne, decimalMark, out);
      return;
    case 2:
    case 8:
      appendInteger(s, out);
      return;
    case 3:
      if (channel == 0) {
        // The offset wraps like the logger's own 16-bit arithmetic.
        const auto difference = static_cast<std::int16_t>(s - 3960);
        formatNumber(difference / 100.0, kOne, decimalMark, out);
      } else {
        formatNumber((0.0405 - s * 0.0000028) * s - 4, kOne, decimalMark, out);
      }
      return;
    case 4:
    case 9:
      formatNumber(powerRate(s, params.interval), kOne, decimalMark, out);
      return;
    case 5: {
      const auto sum = static_cast<std::int16_t>(s + params.offsetParam);
      formatNumber(sum / 256.0, kOne, decimalMark, out);
      return;
    }
    case 6:
      formatNumber(s / 8.0, kOne, decimalMark, out);
      return;
    case 7:
      if (channel == 0) {
        formatNumber(powerRate(s, params.interval), kOne, decimalMark, out);
      } else {
        const double doubled = s * 2;
        formatNumber(doubled / 25 * params.factorParam / 2300, kOne, decimalMark, out);
      }
      return;
    case 10:
      if (channel == 0) {
        formatNumber(s / 8.0 * 3.93 * 1.09, NumberFormat::Whole, decimalMark, out);
      } else {
        formatNumber(s / 8.0, kOne, decimalMark, out);
      }
      return;
    default:
      appendInteger(s, out);
      return;
  }
}

}  // namespace

std::string_view channelLabels(std::uint8_t typeCode) noexcept {
  return typeInfo(typeCode).label;
}

std::string_view channelUnits(std::uint8_t typeCode) noexcept {
  return typeInfo(typeCode).unit;
}

int channelCountOf(std::uint8_t typeCode) noexcept {
  return typeInfo(typeCode).channels;
}

double powerRate(std::int16_t s, int interval) noexcept {
  // The logger counts unsigned, except that 0xFFFF means nothing counted.
  int u = s;
  if (s == -1) {
    u = 0;
  } else if (s < 0) {
    u = s + 65536;
  }
  const double v = u / 10.0;
  int n = 0;
  switch (interval) {
    case 1:
    case 2:
      return v;
    case 5:
      n = 4;
      break;
    case 10:
      n = 8;
      break;
    case 15:
    case 20:
      n = 16;
      break;
    case 30:
      n = 32;
      break;
    case 60:
      n = 64;
      break;
    case 120:
    case 180:
    case 240:
      n = 128;
      break;
    case 300:
      n = 256;
      break;
    case 600:
      n = 512;
      break;
    case 3600:
      n = 4096;
      break;
    default:
      return 0;
  }
  return v * n / interval;
}

void formatNumber(double value, NumberFormat format, std::string_view decimalMark,
                  std::string& out) {
  if (!std::isfinite(value)) {
    out += std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
    return;
  }
  const int fracDigits = format == NumberFormat::OneDecimal ? 1 : 0;

  // Most cells: below 10^8 units of the last digit kept, the 15 significant
  // digits move a value by less than 10^-7 units and the product below by
  // less than 10^-8; away from a half, both roundings are then the nearest
  // whole number of units to the double itself.
  const double scaled = std::fabs(fracDigits == 1 ? value * 10 : value);
  if (scaled < 1e8) {
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact
    if (std::fabs(fraction - 0.5) > 1e-6) {
      const auto units = static_cast<std::uint32_t>(whole) + (fraction > 0.5 ? 1U : 0U);
      char digits[12];
      char* end = std::to_chars(digits, digits + sizeof digits, units).ptr;
      if (end - digits <= fracDigits) {  // 0.d
        *end++ = digits[0];
        digits[0] = '0';
      }
      if (std::signbit(value) && units != 0) out += '-';
      out.append(digits, end - fracDigits);
      if (fracDigits > 0) {
        out += decimalMark;
        out.append(end - fracDigits, end);
      }
      return;
    }
  }

  // The value to 15 significant digits, rounded from its exact decimal
  // expansion: [-]d.ddddddddddddddde(+|-)x, independent of the C locale.
  constexpr int kSignificant = 15;
  char sci[kMaxDecimalText];
  const char* const printedEnd = writeScientific(value, kSignificant - 1, sci);
  const char* p = sci;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[kSignificant];
  digits[0] = *p++;
  ++p;  // the point
  std::memcpy(digits + 1, p, kSignificant - 1);
  p += kSignificant - 1;
  ++p;  // 'e'
  const bool negativeExponent = *p++ == '-';
  int exponent = 0;
  std::from_chars(p, printedEnd, exponent);
  if (negativeExponent) exponent = -exponent;

  // Digit i stands for 10^(exponent - i); keep those down to 10^-fracDigits.
  // `units` holds the kept part in units of 10^-fracDigits behind enough
  // zeros for one digit before the mark and for a carry.
  const int kept = exponent + fracDigits + 1;
  char units[kSignificant + 320];  // exponents reach 308
  int n = 0;
  while (n <= fracDigits) units[n++] = '0';
  for (int i = 0; i < kept; ++i) units[n++] = i < kSignificant ? digits[i] : '0';
  // Halves go away from zero: round the magnitude up from 5 on.
  if (kept >= 0 && kept < kSignificant && digits[kept] >= '5') {
    int i = n - 1;
    while (units[i] == '9') units[i--] = '0';
    ++units[i];
  }

  int start = 0;
  while (start < n && units[start] == '0') ++start;
  const bool zero = start == n;  // then no minus sign
  start = std::min(start, n - fracDigits - 1);
  if (negative && !zero) out += '-';
  out.append(units + start, units + n - fracDigits);
  if (fracDigits > 0) {
    out += decimalMark;
    out.append(units + n - fracDigits, units + n);
  }
}

void appendCellText(const CellParams& params, std::int16_t s1, std::int16_t s2, bool firstRow,
                    std::string_view decimalMark, std::string& out) {
  if (firstRow) {
    const std::string_view text = firstRowTextOf(params.typeCode);
    if (!text.empty()) {
      out += text;
      return;
    }
  }
  appendChannelText(params, 0, s1, decimalMark, out);
  if (channelCountOf(params.typeCode) == 2) {
    out += '\t';
    appendChannelText(params, 1, s2, decimalMark, out);
  }
}

ReducedFormula reduceFormula(const CellParams& params) noexcept {
  ReducedFormula reduced;
  reduced.params.typeCode = params.typeCode;
  switch (params.typeCode) {
    case 4:
    case 9:
      reduced.params.interval = params.interval;
      break;
    case 5:
      reduced.rawOffset = params.offsetParam;
      break;
    case 7:
      reduced.params.interval = params.interval;
      reduced.params.factorParam = params.factorParam;
      break;
    default:
      break;
  }
  return reduced;
}

}  // namespace kestrix
