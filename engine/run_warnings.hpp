// What the user of a run is warned of, in the words both programs print: the
// files' sampling intervals differ, or a file holds fewer samples than it
// announces. The conversion goes on either way.
#pragma once

#include <string>
#include <vector>

#include "run.hpp"

namespace kestrix {

struct RunWarnings {
  // When the intervals differ: what that means for the run, then one line for
  // each file whose interval differs. Empty when they agree.
  std::vector<std::string> intervals;
  // One line for each file that holds fewer samples than it announces.
  std::vector<std::string> inconsistentFiles;

  bool empty() const noexcept { return intervals.empty() && inconsistentFiles.empty(); }
};

// The warnings for `run`, each line without a program's name before it and
// starting in lower case, e.g. "UC001.PDB samples every 60 s".
RunWarnings runWarnings(const ConversionRun& run);

}  // namespace kestrix
