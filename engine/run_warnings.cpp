#include "run_warnings.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

namespace kestrix {

namespace {

// 32768 as "32,768".
std::string grouped(std::int64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > (n < 0 ? 1 : 0); at -= 3)
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  return digits;
}

// How much of what it announces a file cut short holds.
std::string shortFileLine(const LoggerFile& file) {
  const SampleColumn& samples = file.samples;
  std::int64_t absent = 0;
  for (const auto& [first, last] : samples.absentPositions()) absent += last - first + 1;
  return file.displayName + ": the file holds " + grouped(samples.size() - absent) + " of the " +
         grouped(samples.size()) + " samples it announces";
}

}  // namespace

RunWarnings runWarnings(const ConversionRun& run) {
  RunWarnings warnings;
  if (run.intervalsDiffer()) {
    // Each interval once, in the order met, with its first file and how many more.
    std::vector<std::pair<int, std::vector<const LoggerFile*>>> byInterval;
    for (const LoggerFile& file : run.files) {
      auto at = std::find_if(byInterval.begin(), byInterval.end(),
                             [&file](const auto& entry) { return entry.first == file.interval; });
      if (at == byInterval.end()) at = byInterval.insert(byInterval.end(), {file.interval, {}});
      at->second.push_back(&file);
    }
    std::string& note = warnings.intervalNote;
    for (const auto& [interval, files] : byInterval) {
      if (!note.empty()) note += ", ";
      note += files.front()->displayName;
      if (files.size() > 1) {
        note +=
            " and " + std::to_string(files.size() - 1) + (files.size() == 2 ? " other" : " others");
      }
      note += " every " + std::to_string(interval) + " s";
    }
    note += ": one row every " + std::to_string(run.step) + " s";
  }
  for (const LoggerFile& file : run.files) {
    if (file.inconsistent) {
      warnings.inconsistentFiles.push_back(shortFileLine(file));
    }
  }
  return warnings;
}

}  // namespace kestrix
