#include "check_outputs.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "cell_values.hpp"
#include "check_periods.hpp"
#include "error.hpp"
#include "excursions.hpp"
#include "fuzz_check.hpp"
#include "fuzz_input.hpp"
#include "minmax_pyramid.hpp"
#include "regional.hpp"
#include "sink.hpp"
#include "summary.hpp"
#include "table.hpp"

namespace kestrix::fuzz {

namespace {

// The values read as the table is written; with the overflowed cells
// included, only cells that read "overflow" may differ. Each column's cells
// come back in its own slots, the table's rows between them being blank.
std::vector<std::vector<CellValue>> checkValues(const TableValues& values, std::string_view table) {
  const TableValues included(values.run(), true);
  std::vector<std::vector<CellValue>> columns(values.columnCount());
  std::size_t from = 0;
  for (int header = 0; header < 4; ++header) from = table.find("\r\n", from) + 2;
  for (std::int64_t row = 1; row <= values.rowCount(); ++row) {
    const std::size_t end = table.find("\r\n", from);
    const std::vector<std::string_view> cells = tabFields(table.substr(from, end - from));
    from = end + 2;
    check(cells.size() == values.columnCount() + 1, "values: column count");
    for (std::size_t c = 0; c < values.columnCount(); ++c) {
      const CellValue cell = values.tableCell(c, row);
      const auto where = [&] {
        return "row " + std::to_string(row) + " column " + std::to_string(c + 1);
      };
      std::string text;
      appendCellValueText(cell, values.column(c).decimals, ".", text);
      check(text == cells[c + 1], "value differs from the table:", [&] {
        return where() + ": " + std::string(cells[c + 1]);
      });
      const CellValue other = included.tableCell(c, row);
      check(other == cell || cell.kind == CellKind::Overflow,
            "including the overflowed cells changed a cell that reads no overflow:", where);
      const RowRange slot = values.slotsIn(c, {row, row});
      check(slot.count() == 1 || cell.kind == CellKind::Blank,
            "values: a cell between a column's slots:", where);
      if (slot.count() == 1) {
        check(values.slotRow(c, slot.first) == row && values.cell(c, slot.first) == cell &&
                  static_cast<std::int64_t>(columns[c].size()) == slot.first - 1,
              "values: a slot on another row:", where);
        columns[c].push_back(cell);
      }
    }
  }
  for (std::size_t c = 0; c < values.columnCount() && values.rowCount() > 0; ++c) {
    check(static_cast<std::int64_t>(columns[c].size()) == values.slotCount(c),
          "values: slot count");
    // The block readers agree with the cell readers.
    std::vector<CellValue> block(columns[c].size());
    values.cells(c, 1, values.slotCount(c), block.data());
    check(block == columns[c], "values: block read differs");
    std::vector<CellValue> rows(static_cast<std::size_t>(values.rowCount()));
    values.tableCells(c, 1, values.rowCount(), rows.data());
    for (std::int64_t r = 1; r <= values.rowCount(); ++r) {
      check(rows[static_cast<std::size_t>(r - 1)] == values.tableCell(c, r),
            "values: table block read differs");
    }
  }
  return columns;
}

// The summary against a plain scan of each column, and its text's shape.
void checkSummary(const TableValues& values, const std::vector<std::vector<CellValue>>& columns) {
  const std::vector<ColumnSummary> summary = summarize(values);
  check(summary.size() == columns.size(), "summary: one line per column");
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const ColumnSummary& s = summary[c];
    std::int64_t count = 0, overflow = 0, sum = 0, nonBlankFirst = 0, nonBlankLast = 0;
    std::int64_t minRow = 0, maxRow = 0;
    for (std::size_t i = 0; i < columns[c].size(); ++i) {
      const CellValue& cell = columns[c][i];
      const auto row = static_cast<std::int64_t>(i) + 1;  // a slot
      if (cell.kind != CellKind::Blank) {
        if (nonBlankFirst == 0) nonBlankFirst = row;
        nonBlankLast = row;
      }
      overflow += cell.kind == CellKind::Overflow;
      if (cell.kind != CellKind::Number) continue;
      ++count;
      sum += cell.tenths;
      if (minRow == 0 || cell.tenths < columns[c][static_cast<std::size_t>(minRow - 1)].tenths)
        minRow = row;
      if (maxRow == 0 || cell.tenths > columns[c][static_cast<std::size_t>(maxRow - 1)].tenths)
        maxRow = row;
    }
    std::int64_t missing = 0;
    for (std::int64_t row = nonBlankFirst; row >= 1 && row < nonBlankLast; ++row)
      missing += columns[c][static_cast<std::size_t>(row - 1)].kind == CellKind::Blank;
    const std::string where = "column " + std::to_string(c + 1);
    check(s.values == count && s.overflow == overflow && s.missing == missing,
          "summary: counts differ from a scan:", where);
    if (count == 0) continue;
    check(s.minRow == values.slotRow(c, minRow) && s.maxRow == values.slotRow(c, maxRow) &&
              s.sumTenths == sum,
          "summary: extremes or sum differ from a scan:", where);
    const std::int64_t hundredths = meanHundredths(s);
    check(hundredths >= s.minTenths * 10 && hundredths <= s.maxTenths * 10,
          "summary: mean outside the extremes:", where);
  }
  for (const Encoding encoding : {Encoding::Windows1252, Encoding::Utf8}) {
    StringSink sink;
    writeSummary(summary, values.run(), sink, Regional{}, encoding);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < sink.data.size(); ++lines) {
      const std::size_t end = sink.data.find("\r\n", at);
      check(end != std::string::npos, "summary: a line without CR LF");
      const std::string_view line = std::string_view(sink.data).substr(at, end - at);
      check(line.find_first_of("\r\n") == std::string_view::npos, "summary: line break in a line");
      check(tabFields(line).size() == tabFields(sink.data.substr(0, sink.data.find("\r\n"))).size(),
            "summary: lines of different widths");
      at = end + 2;
    }
    check(lines == summary.size() + 1, "summary: line count");
  }
}

// The chart's pyramid of each column against a scan of the column's cells.
void checkPyramids(const TableValues& values, const std::vector<std::vector<CellValue>>& columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const MinMaxPyramid pyramid = columnPyramid(values, c);
    const std::vector<CellValue>& column = columns[c];
    const std::int64_t n = values.rowCount();
    check(pyramid.size() == n, "pyramid: row count");
    float low = INFINITY, high = -INFINITY;
    std::size_t overflowStretches = 0;
    const auto valueOf = [](const CellValue& cell) {
      return static_cast<float>(static_cast<double>(cell.tenths) / 10.0);
    };
    for (std::size_t i = 0; i < column.size(); ++i) {
      const auto slot = static_cast<std::int64_t>(i) + 1;
      const std::int64_t row = values.slotRow(c, slot) - 1;
      if (column[i].kind == CellKind::Number) {
        const float v = valueOf(column[i]);
        check(pyramid.value(row) == v, "pyramid: a value differs from its cell");
        low = std::min(low, v);
        high = std::max(high, v);
      } else {
        check(std::isnan(pyramid.value(row)), "pyramid: a value where the cell holds none");
      }
      check(pyramid.overflowed(row) == (column[i].kind == CellKind::Overflow),
            "pyramid: overflow differs from the cell");
      overflowStretches += column[i].kind == CellKind::Overflow &&
                           (i == 0 || column[i - 1].kind != CellKind::Overflow);
      // The rows before its next slot: on the line between two values, else none.
      const bool last = i + 1 == column.size();
      const std::int64_t next = last ? n : values.slotRow(c, slot + 1) - 1;
      const bool line =
          !last && column[i].kind == CellKind::Number && column[i + 1].kind == CellKind::Number;
      for (std::int64_t between = row + 1; between < next; ++between) {
        const float v = pyramid.value(between);
        if (!line) {
          check(std::isnan(v), "pyramid: a value between slots without two values");
          continue;
        }
        const float a = valueOf(column[i]), b = valueOf(column[i + 1]);
        check(v >= std::min(a, b) && v <= std::max(a, b),
              "pyramid: off the line between two values");
      }
    }
    const RowSummary all = pyramid.summarize(0, n);
    check(all.hasValue() == (low <= high), "pyramid: values found or not");
    if (all.hasValue())
      check(all.min == low && all.max == high, "pyramid: extremes differ from a scan");
    for (const int width : {1, 7, 300}) {
      std::vector<PlotPoint> points;
      pyramid.decimate(0, n, width, points);
      float drawnLow = INFINITY, drawnHigh = -INFINITY;
      for (std::size_t i = 0; i < points.size(); ++i) {
        check(points[i].row >= 0 && points[i].row < static_cast<double>(n) &&
                  (i == 0 || points[i].row > points[i - 1].row),
              "pyramid: points out of order or range");
        if (std::isnan(points[i].value)) continue;
        drawnLow = std::min(drawnLow, points[i].value);
        drawnHigh = std::max(drawnHigh, points[i].value);
      }
      check(drawnLow == low && drawnHigh == high, "pyramid: an extreme vanished from the picture");
    }
    check(pyramid.overflowIn(0, n).size() == overflowStretches, "pyramid: overflow stretches");
  }
}

// The excursions of each column over `rows` against a plain scan of its
// cells, and the texts made of them.
void checkExcursions(const TableValues& values, const std::vector<std::vector<CellValue>>& columns,
                     const std::vector<LimitRule>& rules, RowRange rows) {
  const std::vector<ChannelCheck> checks = checkLimits(values, rules, rows);
  const LimitRule& rule = rules.front();
  std::size_t total = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int interval = values.interval(c);
    const RowRange slots = values.slotsIn(c, rows);
    const std::vector<CellValue>& cells = columns[c];
    const auto cell = [&](std::int64_t row) { return cells[static_cast<std::size_t>(row - 1)]; };
    const auto sideOf = [&](std::int64_t row) -> int {  // 1 above, -1 below, 0 neither
      const CellValue v = cell(row);
      if (v.kind != CellKind::Number) return 0;
      const double value = static_cast<double>(v.tenths) / 10.0;
      if (rule.high && value > *rule.high) return 1;
      if (rule.low && value < *rule.low) return -1;
      return 0;
    };
    std::vector<Excursion> expected;
    for (std::int64_t row = slots.first; row <= slots.last;) {
      const int side = sideOf(row);
      if (side == 0) {
        ++row;
        continue;
      }
      Excursion e;
      e.side = side > 0 ? Side::Above : Side::Below;
      e.firstRow = e.peakRow = row;
      e.peakTenths = static_cast<std::int32_t>(cell(row).tenths);
      std::int64_t end = row;
      for (; end <= slots.last && sideOf(end) == side; ++end) {
        const auto t = static_cast<std::int32_t>(cell(end).tenths);
        if (side > 0 ? t > e.peakTenths : t < e.peakTenths) {
          e.peakTenths = t;
          e.peakRow = end;
        }
      }
      e.rows = static_cast<std::int32_t>(end - row);
      bool valueAfter = false;
      for (std::int64_t later = end; later <= slots.last && !valueAfter; ++later)
        valueAfter = cell(later).kind == CellKind::Number;
      if (!valueAfter) {
        e.note = ExcursionNote::Open;
      } else if (cell(end).kind != CellKind::Number) {
        e.note = ExcursionNote::Gap;
      }
      e.alarm = e.rows * std::int64_t{interval} > rule.delaySeconds;
      expected.push_back(e);
      row = end;
    }
    for (Excursion& e : expected) {  // from the column's slots to the table's rows
      e.firstRow = values.slotRow(c, e.firstRow);
      e.peakRow = values.slotRow(c, e.peakRow);
      e.stride = static_cast<std::uint16_t>(values.slotRow(c, 2) - values.slotRow(c, 1));
    }
    check(checks[c].rule.has_value(), "excursions: a column without its rule");
    check(checks[c].excursions == expected, "excursions differ from a plain scan:",
          "column " + std::to_string(c + 1) + " rows " + std::to_string(rows.first) + " to " +
              std::to_string(rows.last));
    total += expected.size();
  }
  const std::vector<ColumnSummary> summary = summarize(values, rows);
  for (const Encoding encoding : {Encoding::Windows1252, Encoding::Utf8}) {
    StringSink sink;
    TextFormat format;
    format.encoding = encoding;
    writeExcursions(checks, values, sink, format);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < sink.data.size(); ++lines) {
      const std::size_t end = sink.data.find("\r\n", at);
      check(end != std::string::npos, "excursions: a line without CR LF");
      const std::string_view line = std::string_view(sink.data).substr(at, end - at);
      check(tabFields(line).size() == 12, "excursions: a line of another width", std::string(line));
      at = end + 2;
    }
    check(lines == total + 1, "excursions: line count");
    StringSink withLimits;
    writeSummary(summary, values.run(), withLimits, format, &checks);
    const std::string_view first =
        std::string_view(withLimits.data).substr(0, withLimits.data.find("\r\n"));
    check(tabFields(first).size() == 22, "summary with limits: column count");
  }
}

}  // namespace

void checkOutputs(const ConversionRun& run, std::string_view table, std::string_view input) {
  const TableValues values(run);
  const std::vector<std::vector<CellValue>> columns = checkValues(values, table);
  checkSummary(values, columns);
  const std::vector<LimitRule> limits = limitsFrom(input, run.step);
  const std::int64_t n = values.rowCount();
  checkExcursions(values, columns, limits, RowRange{1, n});
  checkExcursions(values, columns, limits, RowRange{1 + n / 3, n - n / 4});  // a stretch
  // A kind of period over the whole run and one over the stretch, as the
  // input's length picks them (the mutations of an input pick every kind).
  constexpr PeriodKind kinds[] = {PeriodKind::Day, PeriodKind::Week, PeriodKind::Month,
                                  PeriodKind::All};
  checkPeriods(values, columns, limits, RowRange{1, n},
               std::span(kinds).subspan(input.size() % 4, 1));
  checkPeriods(values, columns, limits, RowRange{1 + n / 3, n - n / 4},
               std::span(kinds).subspan(input.size() / 4 % 4, 1));
  checkPyramids(values, columns);
}

}  // namespace kestrix::fuzz
