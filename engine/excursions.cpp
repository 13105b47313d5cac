#include "excursions.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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

void ExcursionScanner::peakAmong(const CellValue* from, const CellValue* to, const CellValue* cells,
                                 std::int64_t firstRow) {
  // The first cell beyond the peak so far, if any, in the current excursion's direction.
  const CellValue* peak = nullptr;
  std::int64_t best = current_.peakTenths;
  if (current_.side == Side::Above) {
    for (const CellValue* p = from; p < to; ++p) {
      if (p->tenths > best) {
        best = p->tenths;
        peak = p;
      }
    }
  } else {
    for (const CellValue* p = from; p < to; ++p) {
      if (p->tenths < best) {
        best = p->tenths;
        peak = p;
      }
    }
  }
  if (peak) {
    current_.peakTenths = static_cast<std::int32_t>(best);
    current_.peakRow = firstRow + (peak - cells);
  }
}

void ExcursionScanner::add(const CellValue* cells, std::int64_t n, std::int64_t firstRow) {
  const std::int64_t above = aboveFrom_;
  const std::int64_t below = belowTo_;
  const CellValue* const end = cells + n;
  const CellValue* at = cells;
  // One tight loop per state, each running to the cell that changes it. A
  // cell that holds no number has tenths 0: where 0 cannot stay in the
  // state, its kind need not be looked at.
  const auto run = [&at, end](bool checkKind, auto stays) {
    if (checkKind) {
      while (at < end && at->kind == CellKind::Number && stays(at->tenths)) ++at;
    } else {
      while (at < end && stays(at->tenths)) ++at;
    }
  };
  // below < t < above in one unsigned comparison.
  const auto from = static_cast<std::uint64_t>(below) + 1;
  const auto width = static_cast<std::uint64_t>(above) - from;
  const auto inside = [from, width](std::int64_t t) {
    return static_cast<std::uint64_t>(t) - from < width;
  };
  while (at < end) {
    switch (state_) {
      case State::Inside:
        run(inside(0), inside);
        break;
      case State::Above: {
        const CellValue* before = at;
        run(0 >= above, [above](std::int64_t t) { return t >= above; });
        peakAmong(before, at, cells, firstRow);
        break;
      }
      case State::Below: {
        const CellValue* before = at;
        run(0 <= below, [below](std::int64_t t) { return t <= below; });
        peakAmong(before, at, cells, firstRow);
        break;
      }
      case State::NoValue:
        while (at < end && at->kind != CellKind::Number) ++at;
        break;
    }
    if (at == end) break;
    State now = State::Inside;
    if (at->kind != CellKind::Number) {
      now = State::NoValue;
    } else if (at->tenths >= above) {
      now = State::Above;
    } else if (at->tenths <= below) {
      now = State::Below;
    }
    enter(now, firstRow + (at - cells), at->tenths);
    ++at;
  }
  nextRow_ = firstRow + n;
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

LimitChecker::LimitChecker() : cells_(kChunk) {}

ChannelCheck LimitChecker::check(const TableValues& values, std::size_t c, const LimitRule& rule,
                                 RowRange rows) {
  ExcursionScanner scanner(rule, values.run().interval);
  for (std::int64_t first = rows.first; first <= rows.last; first += kChunk) {
    const std::int64_t n = std::min(kChunk, rows.last - first + 1);
    values.cells(c, first, n, cells_.data());
    scanner.add(cells_.data(), n, first);
  }
  return scanner.finish();
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
  std::string text =
      "Title\tLogger\tLabel\tUnit\tSide\tStart\tEnd\tDuration\tPeak\tPeak at\tAlarm\tNote\r\n";
  // Per column, what every line of each side starts with; per line, what
  // the alarm and the note add.
  std::string starts[2];
  for (std::size_t c = 0; c < checks.size(); ++c) {
    const ColumnInfo& column = values.column(c);
    for (const Side side : {Side::Below, Side::Above}) {
      std::string& start = starts[static_cast<int>(side)];
      start.clear();
      out.channel(column, start);
      ((start += '\t') += sideText(side)) += '\t';
    }
    for (const Excursion& e : checks[c].excursions) {
      text += starts[static_cast<int>(e.side)];
      out.date(run.rowDate(e.firstRow), text);
      text += '\t';
      out.date(run.rowDate(e.endRow()), text);
      text += '\t';
      appendDuration(e.seconds(run.interval), text);
      text += '\t';
      out.number(e.peakTenths, column.decimals, text);
      text += '\t';
      out.date(run.rowDate(e.peakRow), text);
      text += e.alarm ? "\tyes\t" : "\tno\t";
      text += noteText(e.note);
      text += "\r\n";
      if (text.size() >= kFlushBytes) {
        sink.write(text);
        text.clear();
      }
    }
  }
  sink.write(text);
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
