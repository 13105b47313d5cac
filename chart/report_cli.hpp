// The PDF report for kestrix-convert: no display, no window.
#pragma once

#include <filesystem>

#include "run.hpp"

namespace kestrix::chart {

// Writes the chart report of `run` to `target` on Qt's offscreen platform
// (unless QT_QPA_PLATFORM names another), with an application object made
// for it alone; `includeOverflowed` as for the table's values. Throws
// ConversionError naming `target` when it cannot.
void writeReportWithoutDisplay(const ConversionRun& run, const std::filesystem::path& target,
                               bool includeOverflowed);

}  // namespace kestrix::chart
