// The table writer's cell texts by raw value: each file's cell formula
// reduced to what its texts depend on, and for each reduced formula a table
// holding, per raw value, the field as it goes into a row, computed the first
// time the value is met.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "channels.hpp"

namespace kestrix {

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

// A field as it goes into a row: its TAB, then its text. A slot holds a field
// of up to kSlotText bytes and, in its last byte, the field's size; it is
// copied as one block of kSlotBytes, the bytes past the field landing where
// what follows overwrites them.
inline constexpr std::size_t kSlotBytes = 16;
inline constexpr std::size_t kSlotText = kSlotBytes - 1;
using Slot = std::array<char, kSlotBytes>;

// Sizes with a meaning of their own.
inline constexpr std::uint8_t kNotYet = 0;  // in a table: not computed yet; in a row: a long field
inline constexpr std::uint8_t kTooLong =
    0xFF;  // in a table: longer than a slot, computed every time

constexpr std::uint8_t sizeOf(const Slot& slot) noexcept {
  return static_cast<std::uint8_t>(slot[kSlotText]);
}
// True for a slot holding its field (neither kNotYet nor kTooLong).
constexpr bool ready(const Slot& slot) noexcept {
  return static_cast<std::uint8_t>(sizeOf(slot) - 1) < kSlotText;
}
constexpr Slot slotOf(std::string_view field) noexcept {
  Slot slot{'\t'};
  for (std::size_t i = 0; i < field.size(); ++i) slot[1 + i] = field[i];
  slot[kSlotText] = static_cast<char>(1 + field.size());
  return slot;
}
inline constexpr Slot kBlank = slotOf("");
inline constexpr Slot kOverflow = slotOf("overflow");

// The field tables of every reduced formula of a run: by channel, a slot per
// raw value (as unsigned).
class CellTexts {
 public:
  using Tables = std::array<Slot*, 2>;  // null: no table

  explicit CellTexts(std::string decimalMark) : decimalMark_(std::move(decimalMark)) {}

  const std::string& decimalMark() const noexcept { return decimalMark_; }

  // The tables of `reduced`, or none when they cannot be had: a decimal mark
  // holding a TAB (a two-field text could not be split) or no table left.
  Tables tablesFor(const CellParams& reduced);

  // Computes the fields of raw value v in every channel's table of `reduced`.
  void fill(const CellParams& reduced, const Tables& tables, std::int16_t v);

 private:
  struct Known {
    CellParams params;
    Tables tables;
  };
  struct Free {
    void operator()(void* p) const noexcept;
  };

  std::string decimalMark_;
  std::vector<Known> known_;
  std::vector<std::unique_ptr<void, Free>> storage_;
  std::size_t tableCount_ = 0;
  std::string scratch_;
};

}  // namespace kestrix
