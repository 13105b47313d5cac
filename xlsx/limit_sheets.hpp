// The sheets a workbook gains with limits, after the table's: "Summary" (the
// summary with the limit columns) and "Excursions" (the excursion list), with
// numbers, dates and durations as cells.
#pragma once

#include <xlsxwriter.h>

#include <span>
#include <string>

#include "cell_values.hpp"
#include "limit_rules.hpp"
#include "row_range.hpp"

namespace kestrix {

// What the sheets need of the workbook being written.
class SheetHost {
 public:
  virtual ~SheetHost() = default;
  // A new sheet at the end, kept for packing; fails (throws) when none can be made.
  virtual lxw_worksheet* addSheet(const std::string& name) = 0;
  // A new cell format; fails when none can be made.
  virtual lxw_format* addFormat() = 0;
  // Fails on any error of the library.
  virtual void check(lxw_error error) = 0;
};

// Name of the excursion sheet `index` (0-based): "Excursions", then
// "Excursions (2)", ...: a list longer than a sheet goes on in the next.
std::string excursionSheetName(std::size_t index);

// Adds the sheets "Summary" and "Excursions" of `values` over `rows`, each
// column checked against the rule of `rules` that applies to it.
void writeLimitSheets(SheetHost& host, const TableValues& values, std::span<const LimitRule> rules,
                      RowRange rows);

}  // namespace kestrix
