// A conversion run: logger files read into values, laid on one time axis.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "samples.hpp"

namespace kestrix {

// One logger file as the table needs it.
struct LoggerFile {
  std::string displayName;  // how the user named the file; used in messages
  // The container name (Windows-1252 bytes), control bytes blanked: the column title.
  std::string containerName;
  std::int32_t loggerId = 0;
  std::uint8_t typeCode = 0;
  int channelCount = 1;
  std::int16_t offsetParam = 0;
  std::int16_t factorParam = 0;
  std::int32_t sampleCount = 0;  // sampling instants: per channel
  std::int32_t memorySize = 0;   // memory slots per channel
  std::int64_t startDate = 0;    // seconds since 1 January 2000
  int interval = 0;              // this file's own interval in seconds
  bool inconsistent = false;     // needed records it lacks, or bytes past its end
  SampleColumn samples;          // raw positions, channels interleaved
};

// Reads one logger file: container, recording header, samples. Throws
// ConversionError naming `displayName` when the file cannot be converted.
// The samples stay in `bytes`, which `owner` keeps alive as long as any copy
// of the file's samples.
LoggerFile readLoggerFile(std::string displayName, std::span<const std::uint8_t> bytes,
                          std::shared_ptr<const void> owner);
// The same with a copy of the bytes, which the file then owns.
LoggerFile readLoggerFile(std::string displayName, std::span<const std::uint8_t> bytes);
// The same taking over the bytes.
LoggerFile readLoggerFile(std::string displayName, std::vector<std::uint8_t>&& bytes);

// True when `bytes` begin as a logger file does: a container header and
// record index the reader takes, then a recording header with a known interval
// code and a valid start date. A table, a workbook or a report never does.
bool startsLikeLoggerFile(std::span<const std::uint8_t> bytes) noexcept;

// How many of a file's first positions read "overflow" in a run stepping
// every `runInterval` seconds: the samples the logger's memory no longer held
// (sampleCount - memorySize, once it went round), and for safety the samples
// of two more minutes (120 / runInterval, rounded down), whether or not the
// memory went round; never more than the file's positions.
std::int64_t overflowPositions(const LoggerFile& file, int runInterval,
                               bool includeOverflowed = false) noexcept;
// True when position `position` (1-based) of `file` reads "overflow".
bool readsOverflow(const LoggerFile& file, int runInterval, std::int64_t position,
                   bool includeOverflowed = false) noexcept;

// The positions of `file` whose cells can show values: past the overflow and
// inside the stored samples (both channels' for a two-channel file). Empty
// when from > to.
struct PositionRange {
  std::int64_t from = 1;
  std::int64_t to = 0;
};
PositionRange valuePositions(const LoggerFile& file, int runInterval,
                             bool includeOverflowed = false) noexcept;

struct ConversionRun {
  std::vector<LoggerFile> files;
  std::vector<std::int32_t> stepOffsets;  // per file: rows from row 1 to its first sample
  std::int64_t earliestStart = 0;         // date of row 1, seconds since 1 January 2000
  std::int64_t totalRows = 0;             // may be 0 or less: then the table has no row
  int interval = 0;                       // the last file's interval; serves every file
  bool inconsistentFlag = false;

  // True when some file's own interval differs from the one that serves the run.
  bool intervalsDiffer() const noexcept;
  // Date of row r (1-based).
  std::int64_t rowDate(std::int64_t r) const noexcept { return earliestStart + (r - 1) * interval; }
};

// Lays the files, in the order given, on one time axis. Throws ConversionError
// for no file, more than limits::maxFiles, an offset beyond 32 bits or a table
// longer than limits::maxRows.
ConversionRun makeRun(std::vector<LoggerFile> files);

}  // namespace kestrix
