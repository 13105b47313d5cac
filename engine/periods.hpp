// Days, ISO weeks and months of a run: each channel's figures over each
// period (the summary's, a total by the channel's unit, the time outside its
// limits), as a spreadsheet works them out on the table's rows of that period.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "cell_values.hpp"
#include "excursions.hpp"
#include "row_range.hpp"
#include "sink.hpp"
#include "summary.hpp"
#include "text_format.hpp"

namespace kestrix {

enum class PeriodKind : std::uint8_t {
  Day,
  Week,  // the ISO week, from Monday
  Month,
  All,  // the whole of the rows, one period
};

// "day", "week", "month" or "all", and back.
std::optional<PeriodKind> parsePeriodKind(std::string_view name) noexcept;
std::string_view periodKindName(PeriodKind kind) noexcept;

// The first second of the day, ISO week or month holding `seconds` (seconds
// since 1 January 2000, on the loggers' clock), and of the one after the
// period starting at `start`. `kind` is not All.
std::int64_t periodStartOf(PeriodKind kind, std::int64_t seconds) noexcept;
std::int64_t nextPeriodStart(PeriodKind kind, std::int64_t start) noexcept;

struct Period {
  // Midnight of its first calendar day (the day, the week's Monday, the
  // month's 1st), even before the first row; for All the first row's date.
  std::int64_t start = 0;
  RowRange rows;  // the table rows dated in it: at least one

  friend bool operator==(const Period&, const Period&) = default;
};

// The periods of `kind` holding rows of `rows`, in time order, by the dates
// the rows carry.
std::vector<Period> periodsOf(const ConversionRun& run, RowRange rows, PeriodKind kind);

// What a period's values add up to, by the channel's unit.
enum class TotalKind : std::uint8_t {
  None,          // no total
  Energy,        // Watts: kWh
  Pulses,        // Pulses: their sum
  BurningHours,  // Seconds: hours
};

// The total of a column of that unit ("Watts", "Pulses", "Seconds").
TotalKind totalKindOf(const ColumnInfo& column) noexcept;
// "kWh", "Pulses", "h", or "" for None.
std::string_view totalUnitText(TotalKind kind) noexcept;

// A decimal number: units / 10^digits.
struct FixedDecimal {
  std::int64_t units = 0;
  int digits = 0;

  friend bool operator==(const FixedDecimal&, const FixedDecimal&) = default;
};

// The total of values summing to `sumTenths` tenths, each lasting `interval`
// seconds, exactly, its last digit rounded half away from zero: kWh with 3
// decimals (sum x interval / 3,600,000), the sum with the column's
// `decimals`, hours with 2 decimals (sum / 3,600). None for TotalKind::None.
std::optional<FixedDecimal> periodTotal(TotalKind kind, std::int64_t sumTenths, int interval,
                                        int decimals) noexcept;

// One channel over one period.
struct PeriodLine {
  // The period holds some of the channel's samples (it lies between the
  // first and the last position of its files); the outputs leave the others out.
  bool held = false;
  std::int64_t rows = 0;  // the channel's own sample slots in the period
  ColumnFigures summary;  // over them
  std::optional<FixedDecimal> total;
  // With limits and a rule for the channel: the period's samples below and
  // above its limits, times the channel's interval.
  std::optional<std::int64_t> secondsBelow;
  std::optional<std::int64_t> secondsAbove;
};

struct PeriodTable {
  PeriodKind kind = PeriodKind::Day;
  std::vector<Period> periods;
  std::size_t columns = 0;
  std::vector<PeriodLine> lines;  // column after column, each period after period

  const PeriodLine& line(std::size_t column, std::size_t period) const {
    return lines[column * periods.size() + period];
  }
};

// Every column of `values` over each period of `rows`. `limits`, when given,
// holds one check per column over the same rows (checkLimits).
PeriodTable makePeriodTable(const TableValues& values, RowRange rows, PeriodKind kind,
                            const std::vector<ChannelCheck>* limits = nullptr);

// The column names of the period table, TAB-separated.
extern const std::string_view periodColumnNames;

// The period table as text: the column names, then one TAB-separated line per
// channel and period, channels in table order, each ending in CR LF; dates,
// numbers and texts as `format` writes them.
void writePeriods(const PeriodTable& table, const TableValues& values, Sink& sink,
                  const TextFormat& format);

}  // namespace kestrix
