// A conversion run: logger files read into values, laid on one time axis.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "column_plan.hpp"
#include "download_groups.hpp"
#include "limits.hpp"
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

  // The file's bytes as converted (what a record of the run hashes), kept
  // alive by `samples` as long as any copy of the file.
  std::span<const std::uint8_t> bytes() const noexcept { return samples.fileBytes(); }
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

struct ConversionRun {
  std::vector<LoggerFile> files;
  std::vector<ColumnPlan> columns;  // in table order: which row shows what of which file
  std::int64_t earliestStart = 0;   // date of row 1, seconds since 1 January 2000
  // The last row that holds a sample; may be 0 or less: then the table has no row.
  std::int64_t totalRows = 0;
  // Seconds from one row to the next: the greatest common divisor of the
  // files' intervals, each file's samples standing on every (its interval /
  // step)th row (ColumnPlan::stride).
  int step = 0;
  bool inconsistentFlag = false;
  bool joined = false;  // the downloads of each logger joined into one column
  // Joined runs: the files of a logger that form a column of their own.
  std::vector<KeptApart> keptApart;

  // True when the files' own intervals are not all the same.
  bool intervalsDiffer() const noexcept;
  // Date of row r (1-based).
  std::int64_t rowDate(std::int64_t r) const noexcept { return earliestStart + (r - 1) * step; }
};

// Lays the files, in the order given, on one time axis, one column each, each
// file at its own interval on rows `step` apart; with
// `joinDownloads` one column for each group of downloads of one logger
// (groupDownloads, joinColumn). Throws ConversionError for no file, more than
// limits.maxFiles (maxJoinedFiles when joining), more than
// limits.maxJoinedColumns groups, an offset beyond limits.maxStepOffset or a
// table longer than limits.maxRows (for files of different intervals, a
// message naming the file and the one whose interval sets the step).
ConversionRun makeRun(std::vector<LoggerFile> files, const Limits& limits = {},
                      bool joinDownloads = false);

}  // namespace kestrix
