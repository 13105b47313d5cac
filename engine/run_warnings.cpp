#include "run_warnings.hpp"

#include <algorithm>
#include <utility>

namespace kestrix {

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
      warnings.inconsistentFiles.push_back(file.displayName +
                                           ": fewer samples in the file than it announces");
    }
  }
  return warnings;
}

}  // namespace kestrix
