// The worker's chart instance: the run kept in memory for the page's chart,
// shared by the parts that answer the page about it (points, rows, summary,
// limits).
#pragma once

#include <memory>
#include <string>

#include "chart_data.hpp"
#include "json_text.hpp"
#include "row_range.hpp"
#include "text_format.hpp"

namespace kestrix::web {

struct Session {
  std::shared_ptr<const chart::ChartData> data;
  RowRange rows;  // of the table, 1-based: what the time window holds
  DateForm dates;
  std::string decimalMark = ".";
  TextFormat text;           // of the text outputs, in UTF-8 for the page
  std::string summary;       // summaryText without limits, worked out with the run
  bool limitsGiven = false;  // the command line named a limits file
};

// The run last opened, or null before one is or when it failed.
const Session* chartSession() noexcept;

}  // namespace kestrix::web
