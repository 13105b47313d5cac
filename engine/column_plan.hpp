// The plan of the table's columns: which row shows which sample of which
// file, "overflow", or nothing. makeRun works it out once per column; the
// plain rule (TableText), the fast writer (RowWriter) and the values
// (TableValues) take their cells from it.
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
  std::int64_t offset = 0;   // row r shows the file's position r - offset (1-based)
  RowRange rows;             // the rows of positions 1 .. sampleCount
  Stretches withMargin;      // the table's rule (see overflowPositions)
  Stretches withoutMargin;   // the samples the memory still held shown (includeOverflowed)
  bool twoChannels = false;  // samples interleaved, channel 1 first; two table columns
  CellParams formula;        // the file's cell formula, with the run's interval
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

// A column of the run: one logger's channel (two adjacent table columns for a
// two-channel logger), with the plans of the files it shows. Today a column
// shows exactly one file. A column joined from repeated downloads of one
// logger lists every download, and its cell in a row merges what each file's
// plan shows there.
struct ColumnPlan {
  std::vector<FilePlan> files;

  // The file of a column that shows one.
  const FilePlan& file() const noexcept { return files.front(); }
};

// How many of a file's first positions read "overflow" in a run stepping
// every `runInterval` seconds: the samples the logger's memory no longer held
// (sampleCount - memorySize, once it went round), and for safety the samples
// of two more minutes (120 / runInterval, rounded down), whether or not the
// memory went round; never more than the file's positions. With
// `includeOverflowed` the safety margin is left out.
std::int64_t overflowPositions(const LoggerFile& file, int runInterval,
                               bool includeOverflowed = false) noexcept;

// The plan of `file`, index `index` of a run stepping every `runInterval`
// seconds, whose first position falls on row offset + 1.
FilePlan planFile(const LoggerFile& file, std::size_t index, std::int64_t offset, int runInterval);

}  // namespace kestrix
