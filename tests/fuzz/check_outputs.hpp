// The outputs made from a run besides the table and the workbook: its cells
// as values, the summary, the excursions, the period tables and the chart's
// pyramids, each checked against the table's text or a plain scan.
#pragma once

#include <string_view>

#include "run.hpp"

namespace kestrix::fuzz {

// `table` is the run's whole table as written with the default regional
// settings. The limits the excursions are checked against come from
// `input`'s bytes (limitsFrom).
void checkOutputs(const ConversionRun& run, std::string_view table, std::string_view input);

}  // namespace kestrix::fuzz
