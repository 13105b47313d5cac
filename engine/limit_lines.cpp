#include "limit_lines.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "cell_values.hpp"
#include "text_format.hpp"

namespace kestrix {

namespace {

constexpr const char* cellNames[] = {"Low", "High", "Delay", "Total"};

// The white space a text field passes over at either end: the ASCII
// controls from TAB to CR, U+0085, and Unicode's space, line and paragraph
// separators.
constexpr std::string_view wideSpaces[] = {"\u0085", "\u00a0", "\u1680", "\u2000", "\u2001",
                                           "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
                                           "\u2007", "\u2008", "\u2009", "\u200a", "\u2028",
                                           "\u2029", "\u202f", "\u205f", "\u3000"};

std::size_t spaceAtFront(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == ' ' || (text[0] >= '\t' && text[0] <= '\r')) return 1;
  for (const std::string_view space : wideSpaces)
    if (text.starts_with(space)) return space.size();
  return 0;
}

std::size_t spaceAtBack(std::string_view text) {
  if (text.empty()) return 0;
  const char last = text.back();
  if (last == ' ' || (last >= '\t' && last <= '\r')) return 1;
  for (const std::string_view space : wideSpaces)
    if (text.ends_with(space)) return space.size();
  return 0;
}

std::string_view trimmed(std::string_view text) {
  while (const std::size_t n = spaceAtFront(text)) text.remove_prefix(n);
  while (const std::size_t n = spaceAtBack(text)) text.remove_suffix(n);
  return text;
}

std::string quoted(std::string_view text) {
  return "\u201c" + std::string(text) + "\u201d";
}

// Whether `text` is a whole number as std::from_chars reads one: an optional
// '-', digits with at most one '.' among or around them, an optional exponent.
bool plainNumber(std::string_view text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at - from;
  };
  if (at < text.size() && text[at] == '-') ++at;
  std::size_t mantissa = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return false;
  }
  return at == text.size();
}

// The finite double nearest to a plain number; none beyond a double's range.
std::optional<double> numberOf(const std::string& text) {
  if (!plainNumber(text)) return std::nullopt;
  double value = 0;
#if defined(__cpp_lib_to_chars)
  const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
#else
  // The browser's library reads no floating point with from_chars; its
  // strtod knows no locale but C's. It rounds a number too small to zero,
  // which from_chars refuses.
  errno = 0;
  value = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE && value == 0) return std::nullopt;
#endif
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// A limit as typed: empty, or a number with '.' or ',' as its mark.
std::optional<double> parseLimitCell(std::string_view cell, std::string& problem) {
  const std::string_view typed = trimmed(cell);
  if (typed.empty()) return std::nullopt;
  std::string number(typed);
  for (char& c : number)
    if (c == ',') c = '.';
  const std::optional<double> value = numberOf(number);
  if (!value) problem = quoted(typed) + " is not a number";
  return value;
}

// A duration as typed: empty, "90s", "30m", "2h", "1h30m" or seconds.
std::optional<std::int64_t> parseDurationCell(std::string_view cell, std::string& problem) {
  const std::string_view typed = trimmed(cell);
  if (typed.empty()) return std::nullopt;
  std::int64_t seconds = 0;
  const char* end = typed.data() + typed.size();
  const auto [at, error] = std::from_chars(typed.data(), end, seconds);
  if (error == std::errc() && at == end && seconds >= 0 && seconds <= maxDurationSeconds)
    return seconds;
  if (const auto parsed = parseDuration(typed)) return parsed;
  problem = quoted(typed) + " is not a duration such as 90s, 30m, 2h or 1h30m";
  return std::nullopt;
}

std::string limitText(const std::optional<double>& value) {
  std::string out;
  if (value) appendShortestDecimal(*value, ".", out);
  return out;
}

bool fills(const LimitRule& rule, const LimitLine& line) {
  if (line.unit) return !rule.logger && rule.unit == line.unit;
  return line.logger && rule.logger == line.logger &&
         (!rule.channel || *rule.channel == line.channel) &&
         (!rule.unit || *rule.unit == line.channelUnit);
}

}  // namespace

LimitLine unitLimitLine(const std::string& unit) {
  return {unit,
          std::nullopt,
          0,
          unit,
          "Every " + unit + " channel",
          "The limits of every channel in " + unit + " that has none of its own"};
}

LimitLine channelLimitLine(std::string name, std::string unit, const ColumnInfo& column) {
  const int channel = column.channel + 1;
  return {std::nullopt,    parseLoggerIdentity(column.loggerId),
          channel,         std::move(unit),
          std::move(name), "Logger " + column.loggerId + ", channel " + std::to_string(channel)};
}

FilledLimitLines fillLimitLines(std::span<const LimitLine> lines,
                                std::span<const LimitRule> rules) {
  std::vector<const LimitRule*> filledBy(lines.size(), nullptr);
  FilledLimitLines filled;
  for (const LimitRule& rule : rules) {
    bool shown = false;
    for (std::size_t row = 0; row < lines.size(); ++row) {
      if (!fills(rule, lines[row])) continue;
      filledBy[row] = &rule;
      shown = true;
    }
    if (!shown) filled.kept.push_back(rule);
  }
  for (const LimitRule* rule : filledBy) {
    if (!rule) {
      filled.cells.emplace_back();
      continue;
    }
    filled.cells.push_back({limitText(rule->low), limitText(rule->high),
                            rule->delaySeconds != 0 ? durationText(rule->delaySeconds) : "",
                            rule->totalSeconds ? durationText(*rule->totalSeconds) : ""});
  }
  return filled;
}

std::optional<LimitRule> lineRule(const LimitLine& line, const LimitCells& cells,
                                  CellFault& fault) {
  fault = {};
  const auto fail = [&](LimitCell cell, const std::string& why) -> std::optional<LimitRule> {
    fault = {cell, std::string(cellNames[cell]) + ": " + why};
    return std::nullopt;
  };
  bool empty = true;
  for (const std::string& cell : cells) empty = empty && trimmed(cell).empty();
  if (empty || !line.editable()) return std::nullopt;

  LimitRule rule;
  rule.unit = line.unit;
  rule.logger = line.logger;
  if (line.logger) rule.channel = line.channel;
  std::string why;
  rule.low = parseLimitCell(cells[LowCell], why);
  if (!why.empty()) return fail(LowCell, why);
  rule.high = parseLimitCell(cells[HighCell], why);
  if (!why.empty()) return fail(HighCell, why);
  rule.delaySeconds = parseDurationCell(cells[DelayCell], why).value_or(0);
  if (!why.empty()) return fail(DelayCell, why);
  rule.totalSeconds = parseDurationCell(cells[TotalCell], why);
  if (!why.empty()) return fail(TotalCell, why);
  if (!rule.low && !rule.high)
    return fail(LowCell, "a delay or a total needs a low or a high limit");
  if (const std::optional<RuleProblem> p = ruleProblem(rule)) {
    const LimitCell cell = p->key == "high"    ? HighCell
                           : p->key == "delay" ? DelayCell
                           : p->key == "total" ? TotalCell
                                               : LowCell;
    return fail(cell, p->message);
  }
  return rule;
}

EditedLimits editedLimits(std::span<const LimitLine> lines, std::span<const LimitCells> cells,
                          std::vector<LimitRule> kept) {
  EditedLimits edited;
  edited.rules = std::move(kept);
  for (std::size_t row = 0; row < lines.size() && row < cells.size(); ++row) {
    CellFault fault;
    std::optional<LimitRule> rule = lineRule(lines[row], cells[row], fault);
    if (fault.cell >= 0) {
      if (edited.faults.empty()) edited.problem = lines[row].name + ", " + fault.message;
      edited.faults.push_back({row, std::move(fault)});
    } else if (rule) {
      edited.rules.push_back(std::move(*rule));
    }
  }
  if (!edited.faults.empty()) edited.rules.clear();
  return edited;
}

}  // namespace kestrix
