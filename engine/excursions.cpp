#include "excursions.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "code_scans.hpp"

namespace kestrix {

namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kAlways = std::numeric_limits<std::int64_t>::min();
// Beyond this a limit lies past every cell (they stay far inside +-2^30 tenths).
constexpr double kReach = 1e15;

double valueOf(std::int64_t tenths) {
  return static_cast<double>(tenths) / 10.0;
}

// The smallest tenths t whose value t / 10.0 is greater than `high`: the
// cells' values grow with their tenths, so a cell is above from there on.
std::int64_t aboveFromOf(const std::optional<double>& high) {
  if (!high || *high >= kReach) return kNever;
  if (*high < -kReach) return kAlways;
  auto t = static_cast<std::int64_t>(std::floor(*high * 10.0)) - 2;
  while (!(valueOf(t) > *high)) ++t;
  while (valueOf(t - 1) > *high) --t;
  return t;
}

// The largest tenths t whose value is less than `low`.
std::int64_t belowToOf(const std::optional<double>& low) {
  if (!low || *low <= -kReach) return kAlways;
  if (*low > kReach) return kNever;
  auto t = static_cast<std::int64_t>(std::floor(*low * 10.0)) + 2;
  while (!(valueOf(t) < *low)) --t;
  while (valueOf(t + 1) < *low) ++t;
  return t;
}

}  // namespace

std::string_view verdictText(Verdict verdict) noexcept {
  switch (verdict) {
    case Verdict::Pass:
      return "pass";
    case Verdict::Fail:
      return "fail";
    case Verdict::None:
      break;
  }
  return {};
}

std::string_view sideText(Side side) noexcept {
  return side == Side::Above ? "above" : "below";
}

std::string_view noteText(ExcursionNote note) noexcept {
  switch (note) {
    case ExcursionNote::Gap:
      return "gap";
    case ExcursionNote::Open:
      return "open";
    case ExcursionNote::None:
      break;
  }
  return {};
}

ExcursionScanner::ExcursionScanner(const LimitRule& rule, int interval)
    : rule_(rule),
      interval_(interval),
      aboveFrom_(aboveFromOf(rule.high)),
      belowTo_(belowToOf(rule.low)) {}

void ExcursionScanner::close(std::int64_t endRow, ExcursionNote note) {
  current_.rows = static_cast<std::int32_t>(endRow - current_.firstRow);
  current_.note = note;
  current_.alarm = current_.seconds(interval_) > rule_.delaySeconds;
  excursions_.push_back(current_);
}

void ExcursionScanner::enter(State now, std::int64_t row, std::int64_t tenths) {
  if (now != State::NoValue && endedByNoValue_) {
    excursions_[*endedByNoValue_].note = ExcursionNote::Gap;
    endedByNoValue_.reset();
  }
  if (state_ == State::Above || state_ == State::Below) {
    if (now == State::NoValue) {
      close(row, ExcursionNote::Open);  // a gap once a value follows
      endedByNoValue_ = excursions_.size() - 1;
    } else {
      close(row, ExcursionNote::None);
    }
  }
  if (now == State::Above || now == State::Below) {
    current_ = Excursion{};
    current_.side = now == State::Above ? Side::Above : Side::Below;
    current_.firstRow = row;
    current_.peakTenths = static_cast<std::int32_t>(tenths);
    current_.peakRow = row;
  }
  state_ = now;
}

// How the scan reads a cell: whether it holds a number, and its number on a
// scale that keeps the order of the tenths (the tenths themselves, or the
// tenths plus a bias), as a Value. A cell without a number reads as
// noNumberLow or noNumberHigh on it.
struct ExcursionScanner::ValueCells {
  using Cell = CellValue;
  using Value = std::int64_t;
  static constexpr std::int64_t bias = 0;
  static constexpr Value noNumberLow = 0, noNumberHigh = 0;
  static bool number(const Cell& c) { return c.kind == CellKind::Number; }
  static Value value(const Cell& c) { return c.tenths; }
};

// Codes compare as they are, four bytes each: the loops over them vectorise.
struct ExcursionScanner::CodeCells {
  using Cell = std::int32_t;
  using Value = std::int32_t;
  static constexpr std::int64_t bias = cellCodeBias;
  static constexpr Value noNumberLow = 0, noNumberHigh = cellCodeNoNumber;
  static bool number(Cell c) { return c > cellCodeNoNumber; }
  static Value value(Cell c) { return c; }
};

template <class Cells>
void ExcursionScanner::peakAmong(const typename Cells::Cell* from, const typename Cells::Cell* to,
                                 const typename Cells::Cell* cells, std::int64_t firstRow) {
  using Value = typename Cells::Value;
  if (from == to) return;
  const bool above = current_.side == Side::Above;
  // A few cells (most excursions are short): one plain pass, the first cell
  // beyond the peak so far taken.
  if (to - from < 32) {
    auto extreme = static_cast<Value>(current_.peakTenths + Cells::bias);
    const typename Cells::Cell* found = nullptr;
    for (auto* p = from; p < to; ++p) {
      const Value v = Cells::value(*p);
      if (above ? v > extreme : v < extreme) {
        extreme = v;
        found = p;
      }
    }
    if (found) {
      current_.peakTenths = static_cast<std::int32_t>(extreme - Cells::bias);
      current_.peakRow = firstRow + (found - cells);
    }
    return;
  }
  // Else the most extreme value in the current excursion's direction, then
  // the first cell holding it: two loops without an early exit, which vectorise.
  Value extreme = Cells::value(*from);
  if (above) {
    for (auto* p = from; p < to; ++p) extreme = std::max(extreme, Cells::value(*p));
  } else {
    for (auto* p = from; p < to; ++p) extreme = std::min(extreme, Cells::value(*p));
  }
  const std::int64_t best = current_.peakTenths + Cells::bias;
  if (above ? extreme <= best : extreme >= best) return;
  std::int64_t at = 0;
  if constexpr (std::is_same_v<Cells, CodeCells>) {
    at = firstCodeEqual(from, to - from, extreme);
  } else {
    while (Cells::value(from[at]) != extreme) ++at;
  }
  current_.peakTenths = static_cast<std::int32_t>(extreme - Cells::bias);
  current_.peakRow = firstRow + (from + at - cells);
}

namespace {

// A limit in tenths on a scale `bias` above: the limits that no cell reaches stay so.
std::int64_t onScale(std::int64_t limit, std::int64_t bias) {
  return limit == kNever || limit == kAlways ? limit : limit + bias;
}

}  // namespace

template <class Cells>
void ExcursionScanner::scan(const typename Cells::Cell* cells, std::int64_t n,
                            std::int64_t firstRow) {
  using Cell = typename Cells::Cell;
  using Value = typename Cells::Value;
  // The limits on the scale, as Values: one no cell reaches stays so.
  const auto toValue = [](std::int64_t limit) {
    return static_cast<Value>(std::clamp<std::int64_t>(limit, std::numeric_limits<Value>::min(),
                                                       std::numeric_limits<Value>::max()));
  };
  const Value above = toValue(onScale(aboveFrom_, Cells::bias));
  const Value below = toValue(onScale(belowTo_, Cells::bias));
  const Cell* const end = cells + n;
  const Cell* at = cells;
  // One tight loop per state, each running to the cell that changes it: the
  // state's values as one range [low, high]. A cell that holds no number
  // reads as noNumberLow or noNumberHigh: where either lies in the range, a
  // cell's number is looked for too. Codes: the ranges compared four at a
  // time (leadingCodesWithin), the number check folded in (a code holds a
  // number from cellCodeNoNumber + 1 on).
  constexpr Value kLowest = std::numeric_limits<Value>::min();
  constexpr Value kHighest = std::numeric_limits<Value>::max();
  const auto runWithin = [&at, end](Value low, Value high) {
    const bool numbersOnly = (low <= Cells::noNumberLow && Cells::noNumberLow <= high) ||
                             (low <= Cells::noNumberHigh && Cells::noNumberHigh <= high);
    if constexpr (std::is_same_v<Cells, CodeCells>) {
      if (numbersOnly) low = std::max(low, cellCodeNoNumber + 1);
      at += leadingCodesWithin(at, end - at, low, high);
    } else {
      while (at < end && (!numbersOnly || Cells::number(*at)) && Cells::value(*at) >= low &&
             Cells::value(*at) <= high)
        ++at;
    }
  };
  while (at < end) {
    const Cell* before = at;
    switch (state_) {
      case State::Inside:  // below < v < above
        runWithin(below == kHighest ? kHighest : below + 1, above == kLowest ? kLowest : above - 1);
        break;
      case State::Above:
        runWithin(above, kHighest);
        peakAmong<Cells>(before, at, cells, firstRow);
        break;
      case State::Below:
        runWithin(kLowest, below);
        peakAmong<Cells>(before, at, cells, firstRow);
        break;
      case State::NoValue:
        if constexpr (std::is_same_v<Cells, CodeCells>) {
          at += leadingCodesWithin(at, end - at, kLowest, cellCodeNoNumber);
        } else {
          while (at < end && !Cells::number(*at)) ++at;
        }
        break;
    }
    if (at == end) break;
    State now = State::Inside;
    const Value v = Cells::value(*at);
    if (!Cells::number(*at)) {
      now = State::NoValue;
    } else if (v >= above) {
      now = State::Above;
    } else if (v <= below) {
      now = State::Below;
    }
    enter(now, firstRow + (at - cells), std::int64_t{v} - Cells::bias);
    ++at;
  }
  nextRow_ = firstRow + n;
}

void ExcursionScanner::add(const CellValue* cells, std::int64_t n, std::int64_t firstRow) {
  scan<ValueCells>(cells, n, firstRow);
}

void ExcursionScanner::addCodes(const std::int32_t* codes, std::int64_t n, std::int64_t firstRow) {
  scan<CodeCells>(codes, n, firstRow);
}

ChannelCheck ExcursionScanner::finish() {
  if (state_ == State::Above || state_ == State::Below) close(nextRow_, ExcursionNote::Open);
  state_ = State::NoValue;
  endedByNoValue_.reset();
  ChannelCheck check;
  check.rule = rule_;
  // An exact copy: a run's checks may hold a hundred thousand excursions,
  // and the growing list's memory serves the next column.
  check.excursions.assign(excursions_.begin(), excursions_.end());
  excursions_.clear();
  for (const Excursion& e : check.excursions) {
    (e.side == Side::Above ? check.secondsAbove : check.secondsBelow) += e.seconds(interval_);
    check.alarms += e.alarm ? 1 : 0;
  }
  const bool totalPassed = rule_.totalSeconds && (check.secondsAbove > *rule_.totalSeconds ||
                                                  check.secondsBelow > *rule_.totalSeconds);
  check.verdict = check.alarms > 0 || totalPassed ? Verdict::Fail : Verdict::Pass;
  return check;
}

LimitChecker::LimitChecker() : codes_(kChunk) {}

ChannelCheck LimitChecker::check(const TableValues& values, std::size_t c, const LimitRule& rule,
                                 RowRange rows) {
  ExcursionScanner scanner(rule, values.interval(c));
  const RowRange slots = values.slotsIn(c, rows);
  for (std::int64_t first = slots.first; first <= slots.last; first += kChunk) {
    const std::int64_t n = std::min(kChunk, slots.last - first + 1);
    values.cellCodes(c, first, n, codes_.data());
    scanner.addCodes(codes_.data(), n, first);
  }
  ChannelCheck check = scanner.finish();
  // From the column's slots to the table's rows.
  const std::int64_t stride = values.slotRow(c, 2) - values.slotRow(c, 1);
  if (stride != 1 || values.slotRow(c, 1) != 1) {
    for (Excursion& e : check.excursions) {
      e.firstRow = values.slotRow(c, e.firstRow);
      e.peakRow = values.slotRow(c, e.peakRow);
      e.stride = static_cast<std::uint16_t>(stride);
    }
  }
  return check;
}

std::vector<ChannelCheck> checkLimits(const TableValues& values, std::span<const LimitRule> rules,
                                      RowRange rows) {
  std::vector<ChannelCheck> checks(values.columnCount());
  LimitChecker checker;
  for (std::size_t c = 0; c < values.columnCount(); ++c) {
    if (const auto rule = ruleFor(rules, values.column(c)))
      checks[c] = checker.check(values, c, rules[*rule], rows);
  }
  return checks;
}

void writeExcursions(std::span<const ChannelCheck> checks, const TableValues& values, Sink& sink,
                     const TextFormat& format) {
  constexpr std::size_t kFlushBytes = 64 * 1024;
  const TextFormatter out(format);
  const ConversionRun& run = values.run();
  sink.write(
      "Title\tLogger\tLabel\tUnit\tSide\tStart\tEnd\tDuration\tPeak\tPeak at\tAlarm\tNote\r\n");
  // Lines are written at once into room for the longest, and handed on in
  // pieces of some 64 KiB.
  std::vector<char> text;
  std::size_t used = 0;
  // What the alarm and the note add, and the line's end, per alarm and note.
  struct LineEnd {
    char bytes[16] = {};
    std::size_t size = 0;
  };
  LineEnd ends[2][3];
  for (const bool alarm : {false, true}) {
    for (const ExcursionNote note :
         {ExcursionNote::None, ExcursionNote::Gap, ExcursionNote::Open}) {
      LineEnd& tail = ends[alarm ? 1 : 0][static_cast<int>(note)];
      std::string bytes = alarm ? "\tyes\t" : "\tno\t";
      (bytes += noteText(note)) += "\r\n";
      std::copy(bytes.begin(), bytes.end(), tail.bytes);
      tail.size = bytes.size();
    }
  }
  // Per column, what every line of each side starts with.
  std::string starts[2];
  for (std::size_t c = 0; c < checks.size(); ++c) {
    const ColumnInfo& column = values.column(c);
    for (const Side side : {Side::Below, Side::Above}) {
      std::string& start = starts[static_cast<int>(side)];
      start.clear();
      out.channel(column, start);
      ((start += '\t') += sideText(side)) += '\t';
    }
    const std::size_t longest = std::max(starts[0].size(), starts[1].size()) + 3 * out.dateSize() +
                                kLongestDuration + out.numberSizeMost() +
                                std::string_view("\t\t\t\t\tyes\topen\r\n").size();
    if (text.size() < kFlushBytes + longest + sizeof(LineEnd::bytes))
      text.resize(kFlushBytes + longest + sizeof(LineEnd::bytes));
    const auto put = [](char* at, std::string_view part) {
      return std::copy(part.begin(), part.end(), at);
    };
    for (const Excursion& e : checks[c].excursions) {
      char* at = put(text.data() + used, starts[static_cast<int>(e.side)]);
      at = out.date(run.rowDate(e.firstRow), at);
      *at++ = '\t';
      at = out.date(run.rowDate(e.endRow()), at);
      *at++ = '\t';
      at = writeDuration(e.seconds(values.interval(c)), at);
      *at++ = '\t';
      at = out.number(e.peakTenths, column.decimals, at);
      *at++ = '\t';
      at = out.date(run.rowDate(e.peakRow), at);
      const LineEnd& tail = ends[e.alarm ? 1 : 0][static_cast<int>(e.note)];
      std::memcpy(at, tail.bytes, sizeof tail.bytes);  // whole: the buffer has room past the line
      at += tail.size;
      used = static_cast<std::size_t>(at - text.data());
      if (used >= kFlushBytes) {
        sink.write({text.data(), used});
        used = 0;
      }
    }
  }
  sink.write({text.data(), used});
}

const std::string_view limitColumnNames =
    "\tLow\tHigh\tTime below\tTime above\tExcursions\tAlarms\tResult";

void appendLimitColumns(const ChannelCheck& check, const TextFormatter& out, std::string& text) {
  if (!check.rule) {
    text += "\t\t\t\t\t\t\t";
    return;
  }
  const LimitRule& rule = *check.rule;
  text += '\t';
  if (rule.low) out.decimal(*rule.low, text);
  text += '\t';
  if (rule.high) out.decimal(*rule.high, text);
  text += '\t';
  appendDuration(check.secondsBelow, text);
  text += '\t';
  appendDuration(check.secondsAbove, text);
  (text += '\t') += std::to_string(check.excursions.size());
  (text += '\t') += std::to_string(check.alarms);
  (text += '\t') += verdictText(check.verdict);
}

}  // namespace kestrix
