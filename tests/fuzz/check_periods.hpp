// The period tables of a run (days, ISO weeks, months, the whole run),
// checked line by line against a plain scan of the table's cells.
#pragma once

#include <span>
#include <vector>

#include "cell_values.hpp"
#include "limit_rules.hpp"
#include "periods.hpp"
#include "row_range.hpp"

namespace kestrix::fuzz {

// The tables of `kinds` over `rows`. `columns` holds every column's cells as
// the table shows them; `rules` the limits the time below and above is
// counted against.
void checkPeriods(const TableValues& values, const std::vector<std::vector<CellValue>>& columns,
                  const std::vector<LimitRule>& rules, RowRange rows,
                  std::span<const PeriodKind> kinds);

}  // namespace kestrix::fuzz
