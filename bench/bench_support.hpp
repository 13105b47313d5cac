// What the benchmark programs share: a wall clock and the run of the files
// named on the command line, read as kestrix-convert reads them.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "input_files.hpp"
#include "mapped_file.hpp"
#include "run.hpp"

namespace kestrix::bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The files as kestrix-convert reads them.
inline ConversionRun readRun(int count, char** names) {
  const std::vector<std::string> displayNames(names, names + count);
  const std::vector<std::filesystem::path> paths(names, names + count);
  return makeRun(readLoggerFiles(paths, displayNames, mapInputFile));
}

}  // namespace kestrix::bench
