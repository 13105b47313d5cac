// Limits on untrusted input, in one place. Every reader of a logger file and
// every run checks against a Limits value, whose defaults are the constants
// below; a caller may set tighter ones (the fuzz target does).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrix {

namespace limits {

// Files in one run (indices 0 to 100).
inline constexpr int maxFiles = 101;

// Files in one run that joins the downloads of each logger into one column,
// and the columns (groups of downloads) such a run makes: a year of weekly
// downloads of a hundred loggers.
inline constexpr int maxJoinedFiles = 10'000;
inline constexpr int maxJoinedColumns = 101;

// Rows of one table. No logger records that long: a count beyond it is corrupt.
inline constexpr std::int64_t maxRows = 16'777'216;

// Largest logger file read. The largest real file is 78 + 8 * 130 index bytes,
// a recording header and 128 records of 2048 bytes: well under 1 MiB.
inline constexpr std::size_t maxFileBytes = std::size_t{64} << 20;

// Offsets on the time axis must fit in 32 bits.
inline constexpr std::int64_t maxStepOffset = INT32_MAX;

// Largest limits file read: a rule takes a few lines, so thousands fit in far less.
inline constexpr std::size_t maxLimitsFileBytes = std::size_t{1} << 20;

}  // namespace limits

// The limits one run is held to.
struct Limits {
  int maxFiles = limits::maxFiles;
  int maxJoinedFiles = limits::maxJoinedFiles;
  int maxJoinedColumns = limits::maxJoinedColumns;
  std::int64_t maxRows = limits::maxRows;
  std::size_t maxFileBytes = limits::maxFileBytes;
  std::int64_t maxStepOffset = limits::maxStepOffset;
};

}  // namespace kestrix
