#include "periods.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "dates.hpp"
#include "two_threads.hpp"

namespace kestrix {

namespace {

constexpr std::int64_t kDay = 86400;

// Whole days since 1 January 2000 of `seconds`, rounded down.
std::int64_t dayOf(std::int64_t seconds) noexcept {
  return seconds >= 0 ? seconds / kDay : -((-seconds + kDay - 1) / kDay);
}

// The first second of the month that `t` falls in.
std::int64_t startOfMonth(CivilTime t) noexcept {
  t.day = 1;
  t.hour = t.minute = t.second = 0;
  return toSeconds(t);
}

// The name of `value` in `names` (one per enumerator, in order); the last one
// for a value out of range.
template <typename Enum, std::size_t N>
std::string_view nameIn(const std::array<std::string_view, N>& names, Enum value) noexcept {
  return names[std::min<std::size_t>(static_cast<std::size_t>(value), N - 1)];
}

constexpr std::array<std::string_view, 4> kPeriodKindNames{"day", "week", "month", "all"};
constexpr std::array<std::string_view, 4> kTotalUnitTexts{"", "kWh", "Pulses", "h"};

// numerator x factor / denominator (factor >= 0, denominator > 0) to the
// nearest whole number, a half away from zero, without overflow where the
// result fits: the whole quotient of numerator / denominator times factor,
// plus the rest times factor, which share their sign.
std::int64_t scaleRoundHalfAway(std::int64_t numerator, std::int64_t factor,
                                std::int64_t denominator) noexcept {
  const std::int64_t whole = numerator / denominator * factor;
  const std::int64_t rest = numerator % denominator * factor;  // |rest| < denominator x factor
  std::int64_t q = std::abs(rest) / denominator;
  if (2 * (std::abs(rest) % denominator) >= denominator) ++q;
  return whole + (rest < 0 ? -q : q);
}

// Adds the samples of each excursion of `check` on each side to the periods
// it overlaps, both in time order.
void addTimeOutside(const ChannelCheck& check, const std::vector<Period>& periods,
                    std::vector<std::int64_t>& below, std::vector<std::int64_t>& above) {
  std::size_t p = 0;
  for (const Excursion& e : check.excursions) {
    const std::int64_t last = e.lastRow();
    while (p < periods.size() && periods[p].rows.last < e.firstRow) ++p;
    for (std::size_t q = p; q < periods.size() && periods[q].rows.first <= last; ++q) {
      // Its samples k = 0 .. rows - 1 stand on rows firstRow + k stride.
      const std::int64_t from = std::max(e.firstRow, periods[q].rows.first) - e.firstRow;
      const std::int64_t to = std::min(last, periods[q].rows.last) - e.firstRow;
      const std::int64_t samples = to / e.stride - (from + e.stride - 1) / e.stride + 1;
      if (samples > 0) (e.side == Side::Below ? below : above)[q] += samples;
    }
  }
}

}  // namespace

std::optional<PeriodKind> parsePeriodKind(std::string_view name) noexcept {
  for (const PeriodKind kind :
       {PeriodKind::Day, PeriodKind::Week, PeriodKind::Month, PeriodKind::All}) {
    if (name == periodKindName(kind)) return kind;
  }
  return std::nullopt;
}

std::string_view periodKindName(PeriodKind kind) noexcept {
  return nameIn(kPeriodKindNames, kind);
}

std::int64_t periodStartOf(PeriodKind kind, std::int64_t seconds) noexcept {
  const std::int64_t day = dayOf(seconds);
  switch (kind) {
    case PeriodKind::Week: {
      // 1 January 2000 was a Saturday, the sixth day of its ISO week.
      const std::int64_t sinceMonday = ((day + 5) % 7 + 7) % 7;
      return (day - sinceMonday) * kDay;
    }
    case PeriodKind::Month:
      return startOfMonth(fromSeconds(seconds));
    case PeriodKind::Day:
    case PeriodKind::All:
      break;
  }
  return day * kDay;
}

std::int64_t nextPeriodStart(PeriodKind kind, std::int64_t start) noexcept {
  switch (kind) {
    case PeriodKind::Week:
      return start + 7 * kDay;
    case PeriodKind::Month: {
      CivilTime t = fromSeconds(start);
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
      return startOfMonth(t);
    }
    case PeriodKind::Day:
    case PeriodKind::All:
      break;
  }
  return start + kDay;
}

std::vector<Period> periodsOf(const ConversionRun& run, RowRange rows, PeriodKind kind) {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, run.totalRows);
  std::vector<Period> periods;
  if (rows.empty()) return periods;
  if (kind == PeriodKind::All) {
    periods.push_back({run.rowDate(rows.first), rows});
    return periods;
  }
  for (std::int64_t row = rows.first; row <= rows.last;) {
    const std::int64_t date = run.rowDate(row);
    const std::int64_t start = periodStartOf(kind, date);
    // The rows from `row` on dated before the next period.
    std::int64_t last = rows.last;
    if (run.step > 0) {
      const std::int64_t span = (nextPeriodStart(kind, start) - date + run.step - 1) / run.step;
      last = std::min(last, row + span - 1);
    }
    periods.push_back({start, {row, last}});
    row = last + 1;
  }
  return periods;
}

TotalKind totalKindOf(const ColumnInfo& column) noexcept {
  if (column.unit == "Watts") return TotalKind::Energy;
  if (column.unit == "Pulses") return TotalKind::Pulses;
  if (column.unit == "Seconds") return TotalKind::BurningHours;
  return TotalKind::None;
}

std::string_view totalUnitText(TotalKind kind) noexcept {
  return nameIn(kTotalUnitTexts, kind);
}

std::optional<FixedDecimal> periodTotal(TotalKind kind, std::int64_t sumTenths, int interval,
                                        int decimals) noexcept {
  switch (kind) {
    case TotalKind::Energy:
      // Watt seconds to thousandths of a kWh: tenths x interval / 10 / 3,600,000 x 1000.
      return FixedDecimal{scaleRoundHalfAway(sumTenths, std::max(interval, 0), 36'000), 3};
    case TotalKind::Pulses:
      if (decimals >= 1) return FixedDecimal{sumTenths, 1};
      return FixedDecimal{scaleRoundHalfAway(sumTenths, 1, 10), 0};
    case TotalKind::BurningHours:
      // Seconds to hundredths of an hour: tenths / 10 / 3,600 x 100.
      return FixedDecimal{scaleRoundHalfAway(sumTenths, 1, 360), 2};
    case TotalKind::None:
      break;
  }
  return std::nullopt;
}

PeriodTable makePeriodTable(const TableValues& values, RowRange rows, PeriodKind kind,
                            const std::vector<ChannelCheck>* limits) {
  PeriodTable table;
  table.kind = kind;
  table.periods = periodsOf(values.run(), rows, kind);
  table.columns = values.columnCount();
  const std::size_t periods = table.periods.size();
  table.lines.resize(table.columns * periods);
  // One summarizer a thread, each reusing its buffers from period to period.
  std::array<std::unique_ptr<ColumnSummarizer>, 2> summarizers;
  forEachOnTwoThreads(table.columns, [&](std::size_t c, int worker) {
    std::unique_ptr<ColumnSummarizer>& summarizer = summarizers[static_cast<std::size_t>(worker)];
    if (!summarizer) summarizer = std::make_unique<ColumnSummarizer>();
    const ColumnInfo& info = values.column(c);
    const TotalKind total = totalKindOf(info);
    const int interval = values.interval(c);
    const RowRange held = values.heldRows(c);
    PeriodLine* lines = table.lines.data() + c * periods;
    for (std::size_t p = 0; p < periods; ++p) {
      const RowRange& period = table.periods[p].rows;
      lines[p].held = period.first <= held.last && period.last >= held.first;
      lines[p].rows = values.slotsIn(c, period).count();
      lines[p].summary = summarizer->figures(values, c, table.periods[p].rows);
      lines[p].total = periodTotal(total, lines[p].summary.sumTenths, interval, info.decimals);
    }
    if (limits == nullptr || !(*limits)[c].rule) return;
    std::vector<std::int64_t> below(periods), above(periods);
    addTimeOutside((*limits)[c], table.periods, below, above);
    const LimitRule& rule = *(*limits)[c].rule;
    for (std::size_t p = 0; p < periods; ++p) {
      // A side without a limit has no time outside it: 0, as in the summary.
      lines[p].secondsBelow = rule.low ? below[p] * interval : 0;
      lines[p].secondsAbove = rule.high ? above[p] * interval : 0;
    }
  });
  return table;
}

const std::string_view periodColumnNames =
    "Title\tLogger\tLabel\tUnit\tPeriod\tRows\tValues\tMin\tMin at\tMax\tMax at\tMean\tMKT\tTotal\t"
    "Total unit\tTime below\tTime above";

void writePeriods(const PeriodTable& table, const TableValues& values, Sink& sink,
                  const TextFormat& format) {
  const TextFormatter out(format);
  const ConversionRun& run = values.run();
  const std::string_view mark = out.decimalMark();
  std::string text(periodColumnNames);
  text += "\r\n";
  for (std::size_t c = 0; c < table.columns; ++c) {
    const ColumnInfo& info = values.column(c);
    const std::string_view unit = totalUnitText(totalKindOf(info));
    for (std::size_t p = 0; p < table.periods.size(); ++p) {
      const Period& period = table.periods[p];
      const PeriodLine& line = table.line(c, p);
      if (!line.held) continue;
      const ColumnFigures& s = line.summary;
      out.channel(info, text);
      text += '\t';
      out.day(period.start, text);
      (text += '\t') += std::to_string(line.rows);
      (text += '\t') += std::to_string(s.values);
      text += '\t';
      if (s.values > 0) {
        out.number(s.minTenths, info.decimals, text);
        text += '\t';
        out.date(run.rowDate(s.minRow), text);
        text += '\t';
        out.number(s.maxTenths, info.decimals, text);
        text += '\t';
        out.date(run.rowDate(s.maxRow), text);
        text += '\t';
        appendDecimal(meanHundredths(s), 2, 2, mark, text);
      } else {
        text += "\t\t\t\t";  // Min, Min at, Max, Max at and Mean left empty
      }
      text += '\t';
      if (const auto mkt = meanKineticHundredths(s)) appendDecimal(*mkt, 2, 2, mark, text);
      text += '\t';
      if (line.total)
        appendDecimal(line.total->units, line.total->digits, line.total->digits, mark, text);
      (text += '\t') += unit;
      text += '\t';
      if (line.secondsBelow) appendDuration(*line.secondsBelow, text);
      text += '\t';
      if (line.secondsAbove) appendDuration(*line.secondsAbove, text);
      text += "\r\n";
    }
    // A column at a time: the text of a long table is never held whole.
    sink.write(text);
    text.clear();
  }
  if (!text.empty()) sink.write(text);
}

}  // namespace kestrix
