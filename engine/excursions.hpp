// Limits applied to the table's values, as a spreadsheet on the table would
// apply them: the excursions of each channel, their alarms, the time spent on
// each side and the channel's verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "cell_values.hpp"
#include "limit_rules.hpp"
#include "row_range.hpp"
#include "sink.hpp"
#include "text_format.hpp"

namespace kestrix {

enum class Side : std::uint8_t { Below, Above };

enum class ExcursionNote : std::uint8_t {
  None,  // ended by a value inside the limits, or by one on the other side
  Gap,   // ended by a blank, "overflow" or "-" cell, with values after it
  Open,  // still outside at the last value of the rows checked
};

// A longest run of a column's consecutive samples whose cells are all above
// (or all below) the limits.
// (A run may have a hundred thousand: they are kept small.)
struct Excursion {
  std::int64_t firstRow = 0;    // the table row it starts at (1-based)
  std::int64_t peakRow = 0;     // the first row holding the peak
  std::int32_t rows = 0;        // its length in samples (a table has at most limits::maxRows)
  std::int32_t peakTenths = 0;  // the highest value (above) or the lowest (below), in tenths
  Side side = Side::Above;
  ExcursionNote note = ExcursionNote::None;
  bool alarm = false;        // it lasted longer than the rule's delay
  std::uint16_t stride = 1;  // table rows from one of its samples to the next

  // The row of its last sample.
  std::int64_t lastRow() const noexcept { return firstRow + (std::int64_t{rows} - 1) * stride; }
  // The row of the column's sample after its last: its date is the excursion's end.
  std::int64_t endRow() const noexcept { return firstRow + std::int64_t{rows} * stride; }
  // Its duration at `interval` seconds a sample (the column's interval).
  std::int64_t seconds(int interval) const noexcept { return std::int64_t{rows} * interval; }

  friend bool operator==(const Excursion&, const Excursion&) = default;
};

enum class Verdict : std::uint8_t {
  None,  // no rule names the channel
  Pass,  // limits given, no alarm and no total passed
  Fail,  // an excursion alarmed, or the time on one side passed the total
};

// "pass", "fail" or "".
std::string_view verdictText(Verdict verdict) noexcept;
// "above" or "below".
std::string_view sideText(Side side) noexcept;
// "gap", "open" or "".
std::string_view noteText(ExcursionNote note) noexcept;

// One table column checked against the rule that applies to it.
struct ChannelCheck {
  std::optional<LimitRule> rule;      // none: no rule names the channel, nothing below counts
  std::vector<Excursion> excursions;  // in order of their start
  std::int64_t secondsBelow = 0;      // the excursions' durations on each side
  std::int64_t secondsAbove = 0;
  std::int64_t alarms = 0;  // excursions whose alarm is raised
  Verdict verdict = Verdict::None;
};

// Finds the excursions of one column from its cells, given block after block
// in order. `interval` is the column's: a cell lasts that many seconds. Rows
// here are the column's slots (TableValues); LimitChecker puts them on the table.
class ExcursionScanner {
 public:
  ExcursionScanner(const LimitRule& rule, int interval);

  // Cells of rows firstRow .. firstRow + n - 1, following the last ones given,
  // as TableValues gives them: a cell that holds no number has tenths 0.
  void add(const CellValue* cells, std::int64_t n, std::int64_t firstRow);
  // The same, the cells as codes (TableValues::cellCodes).
  void addCodes(const std::int32_t* codes, std::int64_t n, std::int64_t firstRow);
  // The check of the cells given: a run still outside at the end is open.
  ChannelCheck finish();

  // Cells whose tenths are at least aboveFrom are above the rule's high; at
  // most belowTo, below its low: the values t / 10.0 that compare so.
  std::int64_t aboveFrom() const noexcept { return aboveFrom_; }
  std::int64_t belowTo() const noexcept { return belowTo_; }

 private:
  enum class State : std::uint8_t { Inside, Below, Above, NoValue };
  void close(std::int64_t endRow, ExcursionNote note);
  struct ValueCells;
  struct CodeCells;
  template <class Cells>
  void scan(const typename Cells::Cell* cells, std::int64_t n, std::int64_t firstRow);
  // Takes the peak of the current excursion from the cells [from, to) of a
  // block starting at `cells`, row `firstRow`.
  template <class Cells>
  void peakAmong(const typename Cells::Cell* from, const typename Cells::Cell* to,
                 const typename Cells::Cell* cells, std::int64_t firstRow);
  // Moves to state `now` at `row`, whose cell holds `tenths`.
  void enter(State now, std::int64_t row, std::int64_t tenths);

  LimitRule rule_;
  int interval_;
  std::int64_t aboveFrom_;
  std::int64_t belowTo_;
  State state_ = State::NoValue;
  std::int64_t nextRow_ = 0;  // the row after the last cell given
  Excursion current_;
  // The excursion ended by a cell without a value: a gap when a value
  // follows, open otherwise.
  std::optional<std::size_t> endedByNoValue_;
  std::vector<Excursion> excursions_;
};

// Checks columns one after the other, reusing its buffer.
class LimitChecker {
 public:
  LimitChecker();
  // Column c of `values` over the table rows `rows` against `rule`.
  ChannelCheck check(const TableValues& values, std::size_t c, const LimitRule& rule,
                     RowRange rows);

 private:
  static constexpr std::int64_t kChunk = 1024;
  std::vector<std::int32_t> codes_;
};

// Every column of `values` over `rows`, each against the rule that applies to
// it (ruleFor), in table order.
std::vector<ChannelCheck> checkLimits(const TableValues& values, std::span<const LimitRule> rules,
                                      RowRange rows);

// The excursion list: a line of column names, then one TAB-separated line per
// excursion in table-column order, then by start, each ending in CR LF; dates,
// durations and numbers as `format` writes them. `checks` holds one check per
// column of `values`.
void writeExcursions(std::span<const ChannelCheck> checks, const TableValues& values, Sink& sink,
                     const TextFormat& format);

// The column names the summary gains with limits, TAB-separated, with a TAB
// before each.
extern const std::string_view limitColumnNames;
// Appends the seven limit columns of one summary line, a TAB before each: the
// limits, the time below and above, the excursions, the alarms and the
// verdict; all empty without a rule.
void appendLimitColumns(const ChannelCheck& check, const TextFormatter& out, std::string& text);

}  // namespace kestrix
