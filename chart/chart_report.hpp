// The chart report: one A4 landscape PDF with the run's files, the period it
// covers, the chart of that period, the summary over the same rows, the date
// it was made and the program's version; with limits, their verdicts and the
// excursion list; last, each file's size and SHA-256.
#pragma once

#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "chart_data.hpp"
#include "chart_limits.hpp"

namespace kestrix::chart {

// What the report shows of the chart; by default every channel over the whole run.
struct ReportView {
  // The table rows it covers (1-based; a time window, or the rows in view);
  // none: the whole run. The period line and the summary state these rows;
  // the chart shows them, or the narrowest view of a few rows around them.
  std::optional<RowRange> rows;
  std::vector<bool> visible;  // per channel; empty: all
  // The limits the rows drawn are checked against (lines and shading on the
  // chart, a verdict per channel, the excursion list); none: no limits.
  std::optional<std::vector<LimitRule>> limitRules;
  // The limits file they came from, named with its SHA-256 in the file list.
  std::optional<LimitsSource> limitsSource;
};

// Writes the report to a temporary file beside `target` and renames it over
// `target` when complete. Needs a QApplication (any platform, offscreen too).
// Throws ConversionError (CannotWrite) naming `target` and the reason when it
// cannot be written.
void writeChartReport(std::shared_ptr<const ChartData> data, const std::filesystem::path& target,
                      const ReportView& view = {});

// "Kestrix 1.0.0": the program and its version, as the report names them.
QString kestrixVersionText();

}  // namespace kestrix::chart
