#include "period_lines.hpp"

#include <algorithm>
#include <cstdio>

#include "dates.hpp"
#include "text_format.hpp"

namespace kestrix::chart {

std::shared_ptr<const PeriodTable> periodTableOf(const ChartData& data, PeriodKind kind,
                                                 RowRange rows,
                                                 const std::vector<ChannelCheck>* limits) {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, data.rowCount());
  return std::make_shared<const PeriodTable>(makePeriodTable(data.values(), rows, kind, limits));
}

std::string periodChoiceText(PeriodKind kind) {
  switch (kind) {
    case PeriodKind::Day:
      return "Days";
    case PeriodKind::Week:
      return "ISO weeks";
    case PeriodKind::Month:
      return "Months";
    case PeriodKind::All:
      break;
  }
  return "Whole run";
}

std::string periodHeading(PeriodColumn column) {
  static const char* const headings[periodColumnCount] = {
      "Channel", "Unit", "Period", "Rows", "Values", "Minimum",    "at",
      "Maximum", "at",   "Mean",   "MKT",  "Total",  "Time below", "Time above"};
  return headings[static_cast<int>(column)];
}

bool hasTimeOutside(const PeriodTable& table) {
  return std::any_of(table.lines.begin(), table.lines.end(),
                     [](const PeriodLine& line) { return line.secondsAbove.has_value(); });
}

std::string periodCell(const ChartData& data, const PeriodTable& table, std::size_t channel,
                       std::size_t period, PeriodColumn column) {
  const ChartChannel& ch = data.channels()[channel];
  const PeriodLine& line = table.line(ch.column, period);
  const ColumnFigures& s = line.summary;
  const bool any = s.values > 0;
  std::string out;
  switch (column) {
    case PeriodColumn::Channel:
      return ch.name();
    case PeriodColumn::Unit:
      return ch.unit;
    case PeriodColumn::Period: {
      const CivilTime t = fromSeconds(table.periods[period].start);
      char text[16];
      std::snprintf(text, sizeof text, "%02d/%02d/%04d", t.day, t.month, t.year);
      return text;
    }
    case PeriodColumn::Rows:
      return std::to_string(line.rows);
    case PeriodColumn::Values:
      return std::to_string(s.values);
    case PeriodColumn::Minimum:
      if (any) appendNumberText(s.minTenths, ch.decimals, ".", out);
      return out;
    case PeriodColumn::MinimumAt:
      return any ? data.dateText(s.minRow - 1) : out;
    case PeriodColumn::Maximum:
      if (any) appendNumberText(s.maxTenths, ch.decimals, ".", out);
      return out;
    case PeriodColumn::MaximumAt:
      return any ? data.dateText(s.maxRow - 1) : out;
    case PeriodColumn::Mean:
      if (any) appendDecimal(meanHundredths(s), 2, 2, ".", out);
      return out;
    case PeriodColumn::Mkt:
      if (const auto mkt = meanKineticHundredths(s)) appendDecimal(*mkt, 2, 2, ".", out);
      return out;
    case PeriodColumn::Total:
      if (line.total) {
        appendDecimal(line.total->units, line.total->digits, line.total->digits, ".", out);
        (out += ' ') += totalUnitText(totalKindOf(data.values().column(ch.column)));
      }
      return out;
    case PeriodColumn::TimeBelow:
      if (line.secondsBelow) appendDuration(*line.secondsBelow, out);
      return out;
    case PeriodColumn::TimeAbove:
      if (line.secondsAbove) appendDuration(*line.secondsAbove, out);
      return out;
  }
  return out;
}

}  // namespace kestrix::chart
