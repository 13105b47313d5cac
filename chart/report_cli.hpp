// The PDF report for kestrix-convert: no display, no window.
#pragma once

#include <filesystem>
#include <optional>

#include "periods.hpp"
#include "row_range.hpp"
#include "run.hpp"

namespace kestrix::chart {

// Writes the chart report of `run` to `target` on Qt's offscreen platform
// (unless QT_QPA_PLATFORM names another), with an application object made
// for it alone; `includeOverflowed` as for the table's values; over `rows`
// of the table (1-based), by default the whole run; with `periods`, the
// period table of those periods. Throws ConversionError naming `target` when
// it cannot.
void writeReportWithoutDisplay(const ConversionRun& run, const std::filesystem::path& target,
                               bool includeOverflowed, std::optional<RowRange> rows = std::nullopt,
                               std::optional<PeriodKind> periods = std::nullopt);

}  // namespace kestrix::chart
