// What a workbook of a run is written with, and the writer that a program
// built with the workbook library (xlsx/, libxlsxwriter) hands to the
// conversion: io itself writes no workbook and loads no such library.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "limit_rules.hpp"
#include "periods.hpp"
#include "row_range.hpp"
#include "run.hpp"

namespace kestrix {

struct WorkbookOptions {
  // Called with each whole percentage of the work done as it rises.
  std::function<void(int percent)> progress;
  // Called with the temporary file that becomes the workbook, once it exists.
  std::function<void(const std::filesystem::path&)> temporaryReady;
  // Cells that only the safety margin marks "overflow" show their values.
  bool includeOverflowed = false;
  // With rules, every column is checked against the one that applies to it,
  // and the sheets "Summary" and "Excursions" follow the table's.
  std::optional<std::vector<LimitRule>> limits;
  // Only these table rows (1-based; a time window), the limit sheets worked
  // out over them too. None: every row.
  std::optional<RowRange> rows;
  // With a period, the sheet "Periods" follows them (with the time outside
  // the limits when there are rules).
  std::optional<PeriodKind> periods;
};

// Writes the table of a run as a workbook to a file and returns the closing
// status (writeWorkbook of xlsx/workbook_writer.hpp). Throws ConversionError
// (CannotWrite) naming the file.
using WorkbookWriter = std::function<std::string(
    const ConversionRun& run, const std::filesystem::path& target, const WorkbookOptions& options)>;

}  // namespace kestrix
