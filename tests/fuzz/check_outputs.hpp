// The outputs made from a run besides the table: its cells as values, the
// summary, the excursions, the period tables, the chart's pyramids and the
// workbook, each checked against the table's text or a plain scan.
#pragma once

#include <string_view>

#include "run.hpp"

namespace kestrix::fuzz {

// `table` is the run's whole table as written with the default regional
// settings in Windows-1252. `workbook`: also write the run as a workbook.
// The limits the excursions are checked against come from `input`'s bytes.
void checkOutputs(const ConversionRun& run, std::string_view table, bool workbook,
                  std::string_view input);

}  // namespace kestrix::fuzz
