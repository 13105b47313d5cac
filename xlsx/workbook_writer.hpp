// The merged table as an XLSX workbook: dates as date-times, numbers as numbers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "run.hpp"
#include "workbook_options.hpp"

namespace kestrix {

// Name of sheet `index` (0-based): "uc1", then "uc1 (2)", "uc1 (3)", ...
std::string sheetName(std::size_t index);

// The spreadsheet's serial of a date (seconds since 1 January 2000): days
// since 30 December 1899, the time of day as the fraction.
double spreadsheetSerial(std::int64_t seconds) noexcept;

// Writes the table of `run` as a workbook to `target` and returns the closing
// status. The workbook is written to a temporary file beside `target` and
// renamed over it when complete: `target` is either the earlier file,
// untouched, or the whole new workbook. Throws ConversionError (CannotWrite)
// naming `target`. A WorkbookWriter for the conversion (convert_files.hpp).
std::string writeWorkbook(const ConversionRun& run, const std::filesystem::path& target,
                          const WorkbookOptions& options = {});

}  // namespace kestrix
