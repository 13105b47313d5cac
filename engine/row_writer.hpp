// The row writer: rows 2 onward built a block at a time from the cell-text
// cache's slots, byte for byte the rows of TableText (in the table's form or
// the CSV's).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "cell_texts.hpp"
#include "dates.hpp"
#include "regional.hpp"
#include "run.hpp"
#include "table.hpp"

namespace kestrix {

// Rows 2 onward, TableText's rows byte for byte, built a block of rows at a
// time: first each file's fields for the whole block, one file's samples after
// the other, as pointers to their slots; then the rows from those slots.
class RowWriter {
 public:
  static constexpr std::int64_t blockRows = 256;

  RowWriter(const ConversionRun& run, const Regional& regional, bool includeOverflowed = false)
      : RowWriter(run, regionalRows(regional), includeOverflowed) {}
  RowWriter(const ConversionRun& run, const RowForm& form, bool includeOverflowed = false);
  // The blank and overflow slots are its own: it stays where it was made.
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // The next row written is row `first` instead of the one after the last.
  void seek(std::int64_t first);

  // Writes rows first to first + count - 1 (first >= 2, count <= blockRows)
  // at out.w, after out.ensure() made room for them.
  template <class Out>
  void write(std::int64_t first, std::int64_t count, Out& out) {
    longSlots_.clear();
    longTexts_.clear();
    longBytes_ = 0;
    for (const Column& c : columns_) gather(c, first, count);

    const auto rows = static_cast<std::size_t>(count);
    const std::size_t rowBytes = date_.text().size() + crlf.size() + fields_ * kSlotBytes;
    out.ensure(rows * rowBytes + longBytes_);
    char* w = out.w;
    const Slot* const* piece = pieces_.data();
    for (std::size_t k = 0; k < rows; ++k) {
      date_.next();
      const std::string_view date = date_.text();
      std::memcpy(w, date.data(), date.size());
      w += date.size();
      const Slot* const* end = piece + fields_;
      if (longTexts_.empty()) [[likely]] {
        for (; piece != end; ++piece) {
          std::memcpy(w, (*piece)->data(), kSlotBytes);
          w += sizeOf(**piece);
        }
      }
      for (; piece != end; ++piece) {
        const Slot& slot = **piece;
        const std::uint8_t size = sizeOf(slot);
        if (size != kNotYet) {
          std::memcpy(w, slot.data(), kSlotBytes);
          w += size;
        } else {
          const std::string& text = longTexts_[longIndex(slot)];
          std::memcpy(w, text.data(), text.size());
          w += text.size();
        }
      }
      *w++ = '\r';
      *w++ = '\n';
    }
    out.w = w;
  }

 private:
  // A column as the writer reads it: its plan, and where its fields go. The
  // files of a joined column share their formula, and so their tables.
  struct Column {
    const ColumnPlan* plan = nullptr;
    const std::vector<ColumnPiece>* pieces = nullptr;  // the plan's, for the run's margin
    std::size_t field = 0;                             // the index of its first field in a row
    bool two = false;
    std::int16_t rawOffset = 0;  // the files' reduced formula's
    CellTexts::Tables tables{nullptr, nullptr};
  };

  // One column's fields in rows first to first + count - 1 (its slots among them).
  void gather(const Column& c, std::int64_t first, std::int64_t count);

  // The fields of `count` slots from slot `first`, all inside a piece showing
  // the samples of `file`, `stride` pointers apart in out.
  void sampleFields(const Column& c, const FilePlan& file, std::int64_t first, std::int64_t count,
                    const Slot** out, std::size_t stride);

  // `count` fields of a one-channel file from the samples in raw_, `stride`
  // pointers apart in out. False when some field was not ready.
  bool values1(const Column& c, std::int64_t count, const Slot** out, std::size_t stride) const;

  // The same for a two-channel file.
  bool values2(const Column& c, std::int64_t count, const Slot** out, std::size_t stride) const;

  // The field(s) of position p of `file`, inside a piece showing its samples, the careful way:
  // samples never read give blanks; fields not computed yet are computed into the tables; cells
  // with a field too long for a slot, or without tables, are computed in full
  // as TableText does.
  void value(const Column& c, const FilePlan& file, std::int64_t p, const Slot** out);

  // A slot standing for a text of any length, kept until the block is written.
  const Slot* longSlot(std::string text);
  static std::size_t longIndex(const Slot& slot) noexcept {
    std::size_t index = 0;
    std::memcpy(&index, slot.data(), sizeof index);
    return index;
  }

  const ConversionRun& run_;
  DateForm dateForm_;
  bool includeOverflowed_ = false;
  CellTexts cells_;
  Slot blank_;        // an empty field
  Slot overflow_;     // "overflow", or an empty field where only numbers are written
  RowDateText date_;  // the date of the row last written
  std::vector<Column> columns_;
  std::size_t fields_ = 0;                         // in a row, after the date
  std::vector<const Slot*> pieces_;                // the block's fields, row by row
  std::array<std::int16_t, 2 * blockRows> raw_{};  // one file's samples in a block
  std::deque<Slot> longSlots_;                     // the block's cells computed in full ...
  std::vector<std::string> longTexts_;             // ... and their texts
  std::size_t longBytes_ = 0;
};

// Writes the rows of options.rows (every row by default) of the table in
// `form` to `sink`, each ending in CR LF: row 1 as TableText builds it, the
// others by row writers, on two threads where it pays (see writeTable).
// options.progress is told each whole percentage of those rows written.
void writeTableRows(const ConversionRun& run, const RowForm& form, const TableOptions& options,
                    Sink& sink);

}  // namespace kestrix
