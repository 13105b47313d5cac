// The period table as the chart window and its report show it: a line per
// channel and period, as texts in the chart's style (dates dd/mm/yyyy, a
// '.' decimal mark), over the rows the chart covers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chart_data.hpp"
#include "periods.hpp"

namespace kestrix::chart {

// The period table of `data` over `rows` (clamped to the run); with
// `limits`, one check per channel over the same rows, the time outside them.
std::shared_ptr<const PeriodTable> periodTableOf(const ChartData& data, PeriodKind kind,
                                                 RowRange rows,
                                                 const std::vector<ChannelCheck>* limits = nullptr);

// What a choice of period reads: "Days", "ISO weeks", "Months", "Whole run".
std::string periodChoiceText(PeriodKind kind);

// The columns of a period line: Channel, Unit, Period, Rows, Values,
// Minimum, at, Maximum, at, Mean, MKT, Total, then, with limits, Time
// below and Time above.
enum class PeriodColumn {
  Channel,
  Unit,
  Period,
  Rows,
  Values,
  Minimum,
  MinimumAt,
  Maximum,
  MaximumAt,
  Mean,
  Mkt,
  Total,
  TimeBelow,
  TimeAbove,
};
inline constexpr int periodColumnCount = 14;

// The column's heading.
std::string periodHeading(PeriodColumn column);
// Whether the table has the two limit columns: some channel has a rule.
bool hasTimeOutside(const PeriodTable& table);
// The cell of `column` on the line of `channel` over period `period`
// ("1.229 kWh" for a total).
std::string periodCell(const ChartData& data, const PeriodTable& table, std::size_t channel,
                       std::size_t period, PeriodColumn column);

}  // namespace kestrix::chart
