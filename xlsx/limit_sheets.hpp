// The sheets a workbook gains with limits, after the table's: "Summary" (the
// summary with the limit columns) and "Excursions" (the excursion list), with
// numbers, dates and durations as cells.
#pragma once

#include <span>
#include <string>

#include "cell_values.hpp"
#include "limit_rules.hpp"
#include "row_range.hpp"
#include "sheet_writer.hpp"

namespace kestrix {

// Name of the excursion sheet `index` (0-based): "Excursions", then
// "Excursions (2)", ...: a list longer than a sheet goes on in the next.
std::string excursionSheetName(std::size_t index);

// Adds the sheets "Summary" and "Excursions" of `values` over `rows`, each
// column checked against the rule of `rules` that applies to it.
void writeLimitSheets(SheetHost& host, const TableValues& values, std::span<const LimitRule> rules,
                      RowRange rows);

}  // namespace kestrix
