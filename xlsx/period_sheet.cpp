#include "period_sheet.hpp"

#include <vector>

#include "excursions.hpp"
#include "table.hpp"

namespace kestrix {

std::string periodSheetName(std::size_t index) {
  return index == 0 ? "Periods" : "Periods (" + std::to_string(index + 1) + ")";
}

void writePeriodSheets(SheetHost& host, const TableValues& values, PeriodKind kind,
                       const std::vector<LimitRule>* rules, RowRange rows) {
  std::vector<ChannelCheck> checks;
  if (rules) checks = checkLimits(values, *rules, rows);
  const PeriodTable table = makePeriodTable(values, rows, kind, rules ? &checks : nullptr);

  const std::vector<std::string> header = {
      "Title",  "Logger", "Label",      "Unit",       "Period",    "Rows",
      "Values", "Min",    "Min at",     "Max",        "Max at",    "Mean",
      "MKT",    "Total",  "Total unit", "Time below", "Time above"};
  constexpr double text = SheetWriter::textWidth;
  constexpr double date = SheetWriter::dateWidth;
  const std::vector<double> widths = {text, 10,   text, 8, 11, 8,  8,  9, date,
                                      9,    date, 9,    9, 11, 10, 11, 11};
  SheetWriter sheet(host, values);
  std::size_t sheets = 0;
  sheet.start(periodSheetName(sheets++), header, widths);
  for (std::size_t c = 0; c < table.columns; ++c) {
    const ColumnInfo& info = values.column(c);
    const std::string unit(totalUnitText(totalKindOf(info)));
    for (std::size_t p = 0; p < table.periods.size(); ++p) {
      const PeriodLine& line = table.line(c, p);
      if (!line.held) continue;  // none of the channel's samples in it
      if (sheet.row() >= spreadsheetRows) sheet.start(periodSheetName(sheets++), header, widths);
      const ColumnFigures& s = line.summary;
      sheet.channel(0, info);
      sheet.day(4, table.periods[p].start);
      sheet.number(5, static_cast<double>(line.rows));
      sheet.number(6, static_cast<double>(s.values));
      if (s.values > 0) {
        sheet.cellNumber(7, s.minTenths, info.decimals);
        sheet.date(8, s.minRow);
        sheet.cellNumber(9, s.maxTenths, info.decimals);
        sheet.date(10, s.maxRow);
        sheet.hundredths(11, meanHundredths(s));
      }
      if (const auto mkt = meanKineticHundredths(s)) sheet.hundredths(12, *mkt);
      if (line.total) sheet.decimal(13, line.total->units, line.total->digits);
      sheet.text(14, unit);
      if (line.secondsBelow) sheet.duration(15, *line.secondsBelow);
      if (line.secondsAbove) sheet.duration(16, *line.secondsAbove);
      sheet.next();
    }
  }
}

}  // namespace kestrix
