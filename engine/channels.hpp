// Channel types: label, unit and channel count by type code, and the
// conversion of raw samples into cell text.
//
// Texts are Windows-1252 bytes: the degree sign of "°C" is the single byte B0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix {

// Label of the file's column(s); two labels joined by a TAB for two-channel types.
std::string_view channelLabels(std::uint8_t typeCode) noexcept;
// Unit of the file's column(s); two units joined by a TAB for two-channel types.
std::string_view channelUnits(std::uint8_t typeCode) noexcept;
// 2 for the types 3, 6, 7 and 10, 1 for every other code.
int channelCountOf(std::uint8_t typeCode) noexcept;

// The cell that replaces the computed one on the table's first row (two
// fields joined by a TAB for two-channel types), or nothing when the first
// row is converted like any other.
std::string_view firstRowTextOf(std::uint8_t typeCode) noexcept;

// A power channel's raw sample rescaled by its file's interval.
double powerRate(std::int16_t s, int interval) noexcept;

enum class NumberFormat {
  OneDecimal,  // "0.0"
  Whole,       // "0"
};

// Appends `value` in `format`: first rounded to 15 significant digits, then to
// the format's digits with halves away from zero; a value that rounds to zero
// has no minus sign. `decimalMark` stands between the digits.
void formatNumber(double value, NumberFormat format, std::string_view decimalMark,
                  std::string& out);

// What a file's cells depend on besides its samples.
struct CellParams {
  std::uint8_t typeCode = 0;
  std::int16_t offsetParam = 0;  // type 5
  std::int16_t factorParam = 0;  // type 7
  int interval = 0;              // the file's interval, for the power channels
};

// Appends the cell text of one time step: the value(s) of raw sample s1 (and
// s2 for two-channel types; ignored otherwise), two fields joined by a TAB for
// two-channel types. `firstRow` is true on the table's first data row. For a
// type code outside 1 to 10 the cell is the raw sample as a signed integer.
void appendCellText(const CellParams& params, std::int16_t s1, std::int16_t s2, bool firstRow,
                    std::string_view decimalMark, std::string& out);

// A file's cell formula reduced to what its texts depend on, so that files
// with equal reduced formulas share their cell texts: the parameters the
// type's formula does not read are zero, and the offset of type 5 is moved
// onto the raw value. appendCellText(params, s1, s2, false, ...) equals
// appendCellText(reduced.params, s1 + rawOffset, s2 + rawOffset, false, ...), the
// sums wrapping to 16 bits.
struct ReducedFormula {
  CellParams params;
  std::int16_t rawOffset = 0;
};
ReducedFormula reduceFormula(const CellParams& params) noexcept;

}  // namespace kestrix
