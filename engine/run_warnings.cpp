#include "run_warnings.hpp"

namespace kestrix {

RunWarnings runWarnings(const ConversionRun& run) {
  RunWarnings warnings;
  if (run.intervalsDiffer()) {
    warnings.intervals.push_back(
        "the files' sampling intervals differ; the last file's interval (" +
        std::to_string(run.interval) + " s) serves every file");
    for (const LoggerFile& file : run.files) {
      if (file.interval != run.interval) {
        warnings.intervals.push_back(file.displayName + " samples every " +
                                     std::to_string(file.interval) + " s");
      }
    }
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
