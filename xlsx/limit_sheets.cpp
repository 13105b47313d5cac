#include "limit_sheets.hpp"

#include <cstdint>
#include <vector>

#include "excursions.hpp"
#include "sheet_writer.hpp"
#include "summary.hpp"
#include "text.hpp"
#include "workbook_writer.hpp"

namespace kestrix {

namespace {

constexpr double kTextWidth = SheetWriter::textWidth;
constexpr double kDateWidth = SheetWriter::dateWidth;

void writeSummarySheet(SheetWriter& sheet, const TableValues& values,
                       const std::vector<ChannelCheck>& checks, RowRange rows) {
  sheet.start("Summary", {"Title",      "Logger",     "Label",   "Unit",  "First",  "Last",
                          "Values",     "Overflow",   "Missing", "Min",   "Min at", "Max",
                          "Max at",     "Mean",       "MKT",     "Low",   "High",   "Time below",
                          "Time above", "Excursions", "Alarms",  "Result"},
              {kTextWidth, 10, kTextWidth, 8, kDateWidth, kDateWidth, 9,  9,  9, 9, kDateWidth, 9,
               kDateWidth, 9,  9,          9, 9,          11,         11, 11, 9, 9});
  const std::vector<ColumnSummary> summary = summarize(values, rows);
  for (std::size_t c = 0; c < summary.size(); ++c, sheet.next()) {
    const ColumnSummary& s = summary[c];
    sheet.channel(0, s.info);
    if (s.values > 0) {
      sheet.date(4, s.firstRow);
      sheet.date(5, s.lastRow);
    }
    sheet.number(6, static_cast<double>(s.values));
    sheet.number(7, static_cast<double>(s.overflow));
    sheet.number(8, static_cast<double>(s.missing));
    if (s.values > 0) {
      sheet.cellNumber(9, s.minTenths, s.info.decimals);
      sheet.date(10, s.minRow);
      sheet.cellNumber(11, s.maxTenths, s.info.decimals);
      sheet.date(12, s.maxRow);
      sheet.hundredths(13, meanHundredths(s));
    }
    if (const auto mkt = meanKineticHundredths(s)) sheet.hundredths(14, *mkt);
    const ChannelCheck& check = checks[c];
    if (!check.rule) continue;
    if (check.rule->low) sheet.number(15, *check.rule->low);
    if (check.rule->high) sheet.number(16, *check.rule->high);
    sheet.duration(17, check.secondsBelow);
    sheet.duration(18, check.secondsAbove);
    sheet.number(19, static_cast<double>(check.excursions.size()));
    sheet.number(20, static_cast<double>(check.alarms));
    sheet.text(21, std::string(verdictText(check.verdict)));
  }
}

void writeExcursionSheets(SheetWriter& sheet, const TableValues& values,
                          const std::vector<ChannelCheck>& checks) {
  const std::vector<std::string> header = {"Title", "Logger",  "Label", "Unit",
                                           "Side",  "Start",   "End",   "Duration",
                                           "Peak",  "Peak at", "Alarm", "Note"};
  const std::vector<double> widths = {kTextWidth, 10, kTextWidth, 8,          7, kDateWidth,
                                      kDateWidth, 10, 9,          kDateWidth, 6, 6};
  std::size_t sheets = 0;
  sheet.start(excursionSheetName(sheets++), header, widths);
  for (std::size_t c = 0; c < checks.size(); ++c) {
    const ColumnInfo& info = values.column(c);
    for (const Excursion& e : checks[c].excursions) {
      if (sheet.row() >= spreadsheetRows) sheet.start(excursionSheetName(sheets++), header, widths);
      sheet.channel(0, info);
      sheet.text(4, std::string(sideText(e.side)));
      sheet.date(5, e.firstRow);
      sheet.date(6, e.endRow());
      sheet.duration(7, e.seconds(values.interval(c)));
      sheet.cellNumber(8, e.peakTenths, info.decimals);
      sheet.date(9, e.peakRow);
      sheet.text(10, e.alarm ? "yes" : "no");
      sheet.text(11, std::string(noteText(e.note)));
      sheet.next();
    }
  }
}

}  // namespace

std::string excursionSheetName(std::size_t index) {
  return index == 0 ? "Excursions" : "Excursions (" + std::to_string(index + 1) + ")";
}

void writeLimitSheets(SheetHost& host, const TableValues& values, std::span<const LimitRule> rules,
                      RowRange rows) {
  const std::vector<ChannelCheck> checks = checkLimits(values, rules, rows);
  SheetWriter sheet(host, values);
  writeSummarySheet(sheet, values, checks, rows);
  writeExcursionSheets(sheet, values, checks);
}

}  // namespace kestrix
