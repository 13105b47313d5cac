// The PDF report for kestrix-convert: no display, no window.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "limit_rules.hpp"

#include "row_range.hpp"
#include "run.hpp"

namespace kestrix::chart {

// The limits a report checks the run against, and the file they were read from.
struct ReportLimits {
  std::vector<LimitRule> rules;
  std::string path;      // as given, for the report's file list
  std::string fileText;  // the file's content as read: what its SHA-256 is of
};

// Writes the chart report of `run` to `target` on Qt's offscreen platform
// (unless QT_QPA_PLATFORM names another), with an application object made
// for it alone; `includeOverflowed` as for the table's values; over `rows`
// of the table (1-based), by default the whole run; with `limits`, their
// lines, shading, verdicts and excursions. Throws ConversionError naming
// `target` when it cannot.
void writeReportWithoutDisplay(const ConversionRun& run, const std::filesystem::path& target,
                               bool includeOverflowed, std::optional<RowRange> rows = std::nullopt,
                               const ReportLimits* limits = nullptr);

}  // namespace kestrix::chart
