// The workbook's "Periods" sheet: the period table with dates as date cells,
// numbers and totals as numbers with their decimals, durations as times.
#pragma once

#include <span>
#include <string>

#include "cell_values.hpp"
#include "limit_rules.hpp"
#include "periods.hpp"
#include "row_range.hpp"
#include "sheet_writer.hpp"

namespace kestrix {

// Name of the period sheet `index` (0-based): "Periods", then "Periods (2)",
// ...: a table longer than a sheet goes on in the next.
std::string periodSheetName(std::size_t index);

// Adds the period table of `values` over `rows`, by `kind`; with `rules`, the
// time each channel spent below and above the rule that applies to it.
void writePeriodSheets(SheetHost& host, const TableValues& values, PeriodKind kind,
                       const std::vector<LimitRule>* rules, RowRange rows);

}  // namespace kestrix
