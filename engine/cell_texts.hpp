// The table writer's cell texts by raw value: for each reduced cell formula
// (reduceFormula) a table holding, per raw value, the field as it goes into a
// row, computed the first time the value is met.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "channels.hpp"

namespace kestrix {

// For each reduced formula of a run, by channel, a table of one Entry per raw
// value (as unsigned). Tables are allocated zeroed and left untouched until
// written: only the pages of the raw values met ever take memory. An Entry of
// zero bytes means "not computed yet".
template <class Entry>
class FormulaTables {
 public:
  using Tables = std::array<Entry*, 2>;  // null: no table

  // At most `maxTables` tables (one a channel); formulas past them get none.
  explicit FormulaTables(std::size_t maxTables = std::numeric_limits<std::size_t>::max())
      : maxTables_(maxTables) {}

  // The tables of `reduced`, made the first time it is asked for.
  Tables tablesFor(const CellParams& reduced) {
    for (const Known& k : known_) {
      const CellParams& p = k.params;
      if (p.typeCode == reduced.typeCode && p.offsetParam == reduced.offsetParam &&
          p.factorParam == reduced.factorParam && p.interval == reduced.interval)
        return k.tables;
    }
    Tables tables{nullptr, nullptr};
    const auto channels = static_cast<std::size_t>(channelCountOf(reduced.typeCode));
    if (channels <= maxTables_ - tableCount_) {
      for (std::size_t c = 0; c < channels; ++c) {
        void* entries = std::calloc(kRawValues, sizeof(Entry));
        if (!entries) throw std::bad_alloc();
        storage_.emplace_back(entries);
        tables[c] = static_cast<Entry*>(entries);
      }
      tableCount_ += channels;
    }
    known_.push_back({reduced, tables});
    return tables;
  }

  // Computes raw value v in every channel's table of `reduced`: its cell text
  // cut into the channels' fields, each handed to put(entry, field).
  template <class Put>
  void fill(const CellParams& reduced, const Tables& tables, std::int16_t v,
            std::string_view decimalMark, Put&& put) {
    text_.clear();
    appendCellText(reduced, v, v, false, decimalMark, text_);
    const auto at = static_cast<std::uint16_t>(v);
    const std::string_view text(text_);
    if (!tables[1]) {
      put(tables[0][at], text);
      return;
    }
    const std::size_t tab = text.find('\t');
    put(tables[0][at], text.substr(0, tab));
    put(tables[1][at], tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1));
  }

 private:
  static constexpr std::size_t kRawValues = 65536;
  struct Known {
    CellParams params;
    Tables tables;
  };
  struct Free {
    void operator()(void* p) const noexcept { std::free(p); }
  };

  std::size_t maxTables_;
  std::size_t tableCount_ = 0;
  std::vector<Known> known_;
  std::vector<std::unique_ptr<void, Free>> storage_;
  std::string text_;
};

// A field as it goes into a row: its separator (a TAB, or a CSV's comma), then its text. A slot
// holds a field of up to kSlotText bytes and, in its last byte, the field's size; it is copied as
// one block of kSlotBytes, the bytes past the field landing where what follows overwrites them.
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
constexpr Slot slotOf(std::string_view field, char separator = '\t') noexcept {
  Slot slot{separator};
  for (std::size_t i = 0; i < field.size(); ++i) slot[1 + i] = field[i];
  slot[kSlotText] = static_cast<char>(1 + field.size());
  return slot;
}

// The field tables of every reduced formula of a run: by channel, a slot per
// raw value (as unsigned).
class CellTexts {
 public:
  using Tables = FormulaTables<Slot>::Tables;

  // Fields are numbers with `decimalMark`, each after `separator`.
  explicit CellTexts(std::string decimalMark, char separator = '\t');

  const std::string& decimalMark() const noexcept { return decimalMark_; }
  char separator() const noexcept { return separator_; }

  // The tables of `reduced`, or none when they cannot be had: a decimal mark
  // holding a TAB (a two-field text could not be split) or no table left.
  Tables tablesFor(const CellParams& reduced) { return tables_.tablesFor(reduced); }

  // Computes the fields of raw value v in every channel's table of `reduced`.
  void fill(const CellParams& reduced, const Tables& tables, std::int16_t v);

 private:
  std::string decimalMark_;
  char separator_;
  FormulaTables<Slot> tables_;
};

}  // namespace kestrix
