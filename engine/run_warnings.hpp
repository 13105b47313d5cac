// What the user of a run is told, in the words both programs print: the row
// step when the files' sampling intervals differ (a note), a file that holds
// fewer samples than it announces (a warning). The conversion goes on either way.
#pragma once

#include <string>
#include <vector>

#include "run.hpp"

namespace kestrix {

struct RunWarnings {
  // When the intervals differ, the files at each and the table's row step:
  // "UC001.PDB every 60 s, UC002.PDB every 600 s: one row every 60 s". Empty
  // when they agree. A note, not a warning: each file keeps its own dates.
  std::string intervalNote;
  // One line for each file that holds fewer samples than it announces, and
  // how many: "UC009.PDB: the file holds 594 of the 32,768 samples it announces".
  std::vector<std::string> inconsistentFiles;

  // No warning (the note is none).
  bool empty() const noexcept { return inconsistentFiles.empty(); }
};

// The warnings for `run`, each line without a program's name before it and
// starting in lower case or with a file's name.
RunWarnings runWarnings(const ConversionRun& run);

}  // namespace kestrix
