// The plan of the table's columns: which row shows which sample of which
// file, "overflow", or nothing. makeRun works it out once per column; the
// plain rule (TableText), the fast writer (RowWriter) and the values
// (TableValues) take their cells from it.
//
// A column has a time axis of its own, its slots: one every interval of its
// files. Its plans and pieces count in slots. When every file of the run has
// one interval a slot is a table row; otherwise the table steps by the
// greatest common divisor of the intervals and a column's slot s stands on
// table row tableRow(s), the rows between its slots blank in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "channels.hpp"
#include "row_range.hpp"

namespace kestrix {

struct LoggerFile;

// What a row shows of one file.
enum class RowShows : std::uint8_t {
  Nothing,   // a blank cell: before or after the file, or a position it never stored
  Overflow,  // "overflow"
  Samples,   // the file's sample(s) at the row's position; blank where the file lacks one
};

// One file's share of a column.
struct FilePlan {
  // The rows reading "overflow" and the rows showing samples, for one choice
  // of the safety margin; the two never meet.
  struct Stretches {
    RowRange overflow;
    RowRange samples;
  };

  std::size_t file = 0;      // index in ConversionRun::files
  std::int64_t offset = 0;   // slot r shows the file's position r - offset (1-based)
  RowRange rows;             // the slots of positions 1 .. sampleCount
  Stretches withMargin;      // the table's rule (see overflowPositions)
  Stretches withoutMargin;   // the samples the memory still held shown (includeOverflowed)
  bool twoChannels = false;  // samples interleaved, channel 1 first; two table columns
  CellParams formula;        // the file's cell formula, with its own interval
  ReducedFormula reduced;    // what its cell texts depend on

  const Stretches& stretches(bool includeOverflowed) const noexcept {
    return includeOverflowed ? withoutMargin : withMargin;
  }
  RowShows shows(std::int64_t row, bool includeOverflowed) const noexcept {
    const Stretches& s = stretches(includeOverflowed);
    if (s.samples.contains(row)) return RowShows::Samples;
    if (s.overflow.contains(row)) return RowShows::Overflow;
    return RowShows::Nothing;
  }
  std::int64_t position(std::int64_t row) const noexcept { return row - offset; }
};

// A stretch of a column's rows that shows one thing: "overflow", or the
// samples of one of the column's files (rows outside every piece show nothing).
struct ColumnPiece {
  RowRange rows;
  RowShows shows = RowShows::Nothing;  // Overflow or Samples
  std::uint32_t file = 0;              // Samples: index in ColumnPlan::files
};

// What joining found in a column's rows, for one choice of the safety margin.
struct JoinCounts {
  std::int64_t rowsWithValues = 0;  // rows where some file has a value
  std::int64_t overlapping = 0;     // rows where two or more files have a value
  std::int64_t conflicting = 0;     // of those, rows where their raw samples differ
  std::int64_t firstConflict = 0;   // the first conflicting row; 0: none
};

// Rows where two or more of a joined column's files have a value: `files`
// (indexes in ColumnPlan::files) are those files, the one shown first.
struct ColumnOverlap {
  RowRange rows;
  std::vector<std::uint32_t> files;
};

// A column of the run: one logger's channel (two adjacent table columns for a
// two-channel logger), with the plans of the files it shows. A plain column
// shows one file. A column joined from repeated downloads of one logger lists
// every download; in each row it shows the newest file that has a value there,
// else "overflow" when some file reads so, else nothing (joined_column.hpp).
// Either way the column's cells come from its pieces.
struct ColumnPlan {
  std::vector<FilePlan> files;                   // in the order given
  std::size_t newest = 0;                        // in `files`: the file that names the column
  std::vector<ColumnPiece> piecesWithMargin;     // in row order, never meeting
  std::vector<ColumnPiece> piecesWithoutMargin;  // the same with includeOverflowed
  JoinCounts countsWithMargin;                   // joined columns only
  JoinCounts countsWithoutMargin;
  std::vector<ColumnOverlap> overlapsWithMargin;  // joined columns only, in row order
  std::vector<ColumnOverlap> overlapsWithoutMargin;
  // The column's slots on the table: slot s stands on row phase + 1 + (s - 1) * stride.
  std::int64_t stride = 1;
  std::int64_t phase = 0;  // 0 .. stride - 1
  int interval = 0;        // seconds from one slot to the next: its files' interval

  std::int64_t tableRow(std::int64_t slot) const noexcept {
    return phase + 1 + (slot - 1) * stride;
  }
  // The slot on table row `row`, or 0 where the row lies before or between slots.
  std::int64_t slotAt(std::int64_t row) const noexcept;
  // The slots standing on the table rows `rows` (empty where none does).
  RowRange slotsIn(RowRange rows) const noexcept;

  // The file that names the column: its only one, or the newest download.
  const FilePlan& file() const noexcept { return files[newest]; }
  bool twoChannels() const noexcept { return files.front().twoChannels; }
  const std::vector<ColumnPiece>& pieces(bool includeOverflowed) const noexcept {
    return includeOverflowed ? piecesWithoutMargin : piecesWithMargin;
  }
  const JoinCounts& counts(bool includeOverflowed) const noexcept {
    return includeOverflowed ? countsWithoutMargin : countsWithMargin;
  }
  const std::vector<ColumnOverlap>& overlaps(bool includeOverflowed) const noexcept {
    return includeOverflowed ? overlapsWithoutMargin : overlapsWithMargin;
  }
  // The piece holding row r, or nullptr when the row shows nothing.
  const ColumnPiece* pieceAt(std::int64_t row, bool includeOverflowed) const noexcept;
  // The index in pieces(includeOverflowed) of the first piece ending at or after `row`.
  std::size_t firstPieceFrom(std::int64_t row, bool includeOverflowed) const noexcept;
};

// The column that shows one file: its plan's stretches as pieces.
ColumnPlan plainColumn(FilePlan plan);

// How many of a file's first positions read "overflow": the samples the
// logger's memory no longer held (sampleCount - memorySize, once it went
// round), and for safety the samples of two more minutes (120 / its interval,
// rounded down), whether or not the memory went round; never more than the
// file's positions. With `includeOverflowed` the safety margin is left out.
std::int64_t overflowPositions(const LoggerFile& file, bool includeOverflowed = false) noexcept;

// The plan of `file`, index `index` of a run, whose first position falls on
// its column's slot offset + 1.
FilePlan planFile(const LoggerFile& file, std::size_t index, std::int64_t offset);

}  // namespace kestrix
