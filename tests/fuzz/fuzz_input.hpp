// What every fuzz target makes of its bytes first: one to four logger files,
// read and checked, and the run of those that read well; the first file
// joined with a shifted copy of itself; and the settings the input's bytes
// pick for the outputs (limits, a period kind).
//
// The input is one logger file, or several joined by the 8 bytes "KSTXNEXT"
// (at most four files), so that runs where the time axis combines files are
// fuzzed too. Refusals (ConversionError) are the expected outcome for most
// inputs; their messages are checked, anything else escaping is a finding.
//
// Tables are bounded: a few header bytes can ask for up to limits::maxRows
// (16,777,216) rows, some 300 MiB of text, which is legitimate output but
// would make each such input take seconds and gigabytes. Under the
// sanitizers the checks of the values take some 10 microseconds a row, so
// that a 400-byte input of 11,000 rows takes 100 milliseconds. So the run is
// made with a smaller row limit (kLimits), which the engine enforces as it
// does its own: a longer table is refused like any other. 4,096 rows still
// make several of the summary's 1,024-row chunks and of the writer's 512-row
// segments; the tests of long tables are the test suite's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "excursions.hpp"
#include "limits.hpp"
#include "run.hpp"

namespace kestrix::fuzz {

inline constexpr int kMaxFiles = 4;
inline constexpr Limits kLimits{.maxFiles = kMaxFiles, .maxRows = 4'096};

// Messages name the file they are about and say something.
void checkMessage(const ConversionError& e, const std::string& file);

// The run of the input's files that read well, each file and the run
// checked; nothing when no file reads or the run is refused.
std::optional<ConversionRun> readRun(std::string_view input);

// The table's columns after the date: one per channel of every file.
int channelCount(const ConversionRun& run);

// `file` joined with a copy of itself shifted along its sampling grid by
// `steps` intervals (picked by the input's length), and the same two files
// kept apart; nothing when the pair is refused.
struct JoinedCopy {
  ConversionRun joined;
  ConversionRun apart;
  std::int64_t steps = 0;
};
std::optional<JoinedCopy> joinCopy(const LoggerFile& file, std::string_view input);

// The run whose outputs are checked: the input's run, or for some inputs
// (picked by their length) its first file joined with the shifted copy,
// when that pair is not refused.
std::optional<ConversionRun> runOfOutputs(std::string_view input);

// FNV-1a of the input, from `basis`: where the settings come from.
std::uint64_t inputHash(std::string_view input, std::uint64_t basis);

// Limits taken from the input's bytes, for every unit: low and high on a
// cell's tenths or halfway between two, either of them left out at times, a
// delay and a total of a few rows.
std::vector<LimitRule> limitsFrom(std::string_view input, int interval);

// How often `what` occurs in `text`.
std::size_t count(std::string_view text, std::string_view what);

}  // namespace kestrix::fuzz
