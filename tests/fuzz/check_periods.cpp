#include "check_periods.hpp"

#include <cstdint>
#include <string>
#include <string_view>

#include "dates.hpp"
#include "excursions.hpp"
#include "fuzz_check.hpp"
#include "periods.hpp"
#include "sink.hpp"

namespace kestrix::fuzz {

namespace {

constexpr std::int64_t kDay = 86400;
__extension__ typedef __int128 Wide;  // room for any sum times any interval

// The first second of the period holding `seconds`, from the civil date
// alone: the weekday by Sakamoto's rule, the month by its first day.
std::int64_t startOf(PeriodKind kind, std::int64_t seconds) {
  CivilTime t = fromSeconds(seconds);
  t.hour = t.minute = t.second = 0;
  if (kind == PeriodKind::Month) t.day = 1;
  const std::int64_t midnight = toSeconds(t);
  if (kind != PeriodKind::Week) return midnight;
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = t.year - (t.month < 3 ? 1 : 0);
  const int sunday0 = (y + y / 4 - y / 100 + y / 400 + offsets[t.month - 1] + t.day) % 7;
  return midnight - (sunday0 + 6) % 7 * kDay;
}

// numerator / denominator to the nearest whole number, halves away from zero.
std::int64_t roundedQuotient(Wide numerator, Wide denominator) {
  const bool negative = numerator < 0;
  const Wide magnitude = negative ? -numerator : numerator;
  Wide q = magnitude / denominator;
  if (2 * (magnitude % denominator) >= denominator) ++q;
  return static_cast<std::int64_t>(negative ? -q : q);
}

// A period's figures for one column, from its cells one by one.
struct Scan {
  std::int64_t values = 0, minTenths = 0, minRow = 0, maxTenths = 0, maxRow = 0, sum = 0;
  std::int64_t below = 0, above = 0;  // rows outside the limits
};

void checkKind(const TableValues& values, const std::vector<std::vector<CellValue>>& columns,
               const std::vector<LimitRule>& rules, const std::vector<ChannelCheck>& checks,
               RowRange rows, PeriodKind kind) {
  const ConversionRun& run = values.run();
  const PeriodTable table = makePeriodTable(values, rows, kind, &checks);
  const std::string what = "periods (" + std::string(periodKindName(kind)) + "): ";
  // The periods: consecutive rows sharing a start.
  std::vector<Period> expected;
  for (std::int64_t row = rows.first; row <= rows.last; ++row) {
    const std::int64_t start =
        kind == PeriodKind::All ? run.rowDate(rows.first) : startOf(kind, run.rowDate(row));
    if (expected.empty() || expected.back().start != start) {
      expected.push_back({start, {row, row}});
    } else {
      expected.back().rows.last = row;
    }
  }
  check(table.periods == expected, (what + "periods differ from a scan of the dates").c_str());
  check(table.columns == columns.size(), (what + "column count").c_str());
  const LimitRule& rule = rules.front();
  std::size_t held = 0;  // lines written
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const TotalKind totalKind = totalKindOf(values.column(c));
    const int interval = values.interval(c);
    for (std::size_t p = 0; p < expected.size(); ++p) {
      Scan s;
      // The column's own samples among the period's rows.
      const RowRange slots = values.slotsIn(c, expected[p].rows);
      for (std::int64_t slot = slots.first; slot <= slots.last; ++slot) {
        const CellValue cell = columns[c][static_cast<std::size_t>(slot - 1)];
        if (cell.kind != CellKind::Number) continue;
        const std::int64_t row = values.slotRow(c, slot);
        const std::int64_t t = cell.tenths;
        if (s.values == 0 || t < s.minTenths) s.minTenths = t, s.minRow = row;
        if (s.values == 0 || t > s.maxTenths) s.maxTenths = t, s.maxRow = row;
        ++s.values;
        s.sum += t;
        const double value = static_cast<double>(t) / 10.0;
        if (rule.high && value > *rule.high) ++s.above;
        if (rule.low && value < *rule.low) ++s.below;
      }
      const PeriodLine& line = table.line(c, p);
      const auto where = [&] {
        return what + "column " + std::to_string(c + 1) + " period " + std::to_string(p + 1);
      };
      held += line.held ? 1 : 0;
      check(line.held || s.values == 0, "period: values in a period left out:", where);
      const ColumnFigures& got = line.summary;
      check(line.rows == slots.count(), "period: its slot count differs:", where);
      check(got.values == s.values && got.sumTenths == s.sum,
            "period: values or sum differ:", where);
      check(s.values == 0 || (got.minTenths == s.minTenths && got.minRow == s.minRow &&
                              got.maxTenths == s.maxTenths && got.maxRow == s.maxRow),
            "period: extremes differ:", where);
      std::optional<FixedDecimal> total;
      if (totalKind == TotalKind::Energy) {
        total = FixedDecimal{roundedQuotient(Wide{s.sum} * interval, 36'000), 3};
      } else if (totalKind == TotalKind::BurningHours) {
        total = FixedDecimal{roundedQuotient(s.sum, 360), 2};
      } else if (totalKind == TotalKind::Pulses) {
        total = values.column(c).decimals > 0 ? FixedDecimal{s.sum, 1}
                                              : FixedDecimal{roundedQuotient(s.sum, 10), 0};
      }
      check(line.total == total, "period: total differs:", where);
      check(line.secondsBelow == std::optional<std::int64_t>(s.below * interval) &&
                line.secondsAbove == std::optional<std::int64_t>(s.above * interval),
            "period: time outside the limits differs:", where);
    }
  }
  // The text: a line of names, then one of 17 fields per column and period.
  for (const Encoding encoding : {Encoding::Windows1252, Encoding::Utf8}) {
    StringSink sink;
    TextFormat format;
    format.encoding = encoding;
    format.dates = encoding == Encoding::Utf8 ? DateStyle::Iso : DateStyle::Regional;
    writePeriods(table, values, sink, format);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < sink.data.size(); ++lines) {
      const std::size_t end = sink.data.find("\r\n", at);
      check(end != std::string::npos, "periods: a line without CR LF");
      const std::string_view line = std::string_view(sink.data).substr(at, end - at);
      std::size_t tabs = 0;
      for (const char ch : line) tabs += ch == '\t' ? 1 : 0;
      check(tabs == 16, "periods: a line of another width", std::string(line));
      at = end + 2;
    }
    check(lines == held + 1, "periods: line count");
  }
}

}  // namespace

void checkPeriods(const TableValues& values, const std::vector<std::vector<CellValue>>& columns,
                  const std::vector<LimitRule>& rules, RowRange rows,
                  std::span<const PeriodKind> kinds) {
  const std::vector<ChannelCheck> checks = checkLimits(values, rules, rows);
  for (const PeriodKind kind : kinds) checkKind(values, columns, rules, checks, rows, kind);
}

}  // namespace kestrix::fuzz
