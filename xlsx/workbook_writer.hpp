// The merged table as an XLSX workbook: dates as date-times, numbers as numbers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "limit_rules.hpp"
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
};

// Name of sheet `index` (0-based): "uc1", then "uc1 (2)", "uc1 (3)", ...
std::string sheetName(std::size_t index);

// The spreadsheet's serial of a date (seconds since 1 January 2000): days
// since 30 December 1899, the time of day as the fraction.
double spreadsheetSerial(std::int64_t seconds) noexcept;

// Writes the table of `run` as a workbook to `target` and returns the closing
// status. The workbook is written to a temporary file beside `target` and
// renamed over it when complete: `target` is either the earlier file,
// untouched, or the whole new workbook. Throws ConversionError (CannotWrite)
// naming `target`.
std::string writeWorkbook(const ConversionRun& run, const std::filesystem::path& target,
                          const WorkbookOptions& options = {});

}  // namespace kestrix
