#include "limit_rules.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "cell_values.hpp"
#include "channels.hpp"
#include "text.hpp"
#include "text_format.hpp"

namespace kestrix {

namespace {

// A limit as short as it reads back, for messages: "9", "8.5".
std::string limitText(double value) {
  std::string text;
  appendShortestDecimal(value, ".", text);
  return text;
}

}  // namespace

std::span<const std::string_view> tableUnits() noexcept {
  // Every type code's units, the unknown type's "?" included; the usual
  // ones first, in the order a user meets them.
  static const std::vector<std::string> owned = [] {
    std::vector<std::string> units;
    for (const int code : {1, 3, 7, 2, 8, 0, 4, 5, 6, 9, 10}) {
      const std::string_view joined = channelUnits(static_cast<std::uint8_t>(code));
      for (std::size_t from = 0; from <= joined.size();) {
        const std::size_t tab = std::min(joined.find('\t', from), joined.size());
        std::string unit = windows1252ToUtf8(joined.substr(from, tab - from));
        if (std::find(units.begin(), units.end(), unit) == units.end())
          units.push_back(std::move(unit));
        from = tab + 1;
      }
    }
    return units;
  }();
  static const std::vector<std::string_view> views(owned.begin(), owned.end());
  return views;
}

std::optional<RuleProblem> ruleProblem(const LimitRule& rule) {
  if (!rule.unit && !rule.logger) return RuleProblem{"", "a [[limit]] rule needs unit or logger"};
  if (rule.unit) {
    const auto units = tableUnits();
    if (std::find(units.begin(), units.end(), *rule.unit) == units.end()) {
      std::string known;
      for (const std::string_view unit : units)
        ((known += known.empty() ? "\"" : ", \"") += unit) += '"';
      return RuleProblem{
          "unit", "unknown unit \"" + *rule.unit + "\" (the table's units are " + known + ")"};
    }
  }
  if (rule.channel && !rule.logger) {
    return RuleProblem{"channel", "channel needs logger: a channel belongs to one logger"};
  }
  if (rule.channel && *rule.channel != 1 && *rule.channel != 2) {
    return RuleProblem{"channel", "channel must be 1 or 2"};
  }
  if (!rule.low && !rule.high) return RuleProblem{"", "a [[limit]] rule needs low, high or both"};
  for (const auto& [key, value] : {std::pair{"low", rule.low}, std::pair{"high", rule.high}}) {
    if (value && !std::isfinite(*value))
      return RuleProblem{key, std::string(key) + " must be a finite number"};
  }
  if (rule.low && rule.high && *rule.low > *rule.high) {
    return RuleProblem{
        "low", "low (" + limitText(*rule.low) + ") is above high (" + limitText(*rule.high) + ")"};
  }
  if (rule.delaySeconds < 0 || rule.delaySeconds > maxDurationSeconds) {
    return RuleProblem{"delay",
                       "delay must be a duration from 0 to " + durationText(maxDurationSeconds)};
  }
  if (rule.totalSeconds && (*rule.totalSeconds < 0 || *rule.totalSeconds > maxDurationSeconds)) {
    return RuleProblem{"total",
                       "total must be a duration from 0 to " + durationText(maxDurationSeconds)};
  }
  return std::nullopt;
}

std::optional<std::size_t> ruleFor(std::span<const LimitRule> rules, const ColumnInfo& column) {
  const std::string unit = windows1252ToUtf8(column.unit);
  const std::optional<std::uint32_t> logger = parseLoggerIdentity(column.loggerId);
  std::optional<std::size_t> byUnit, byLogger;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const LimitRule& rule = rules[i];
    if (rule.unit && *rule.unit != unit) continue;
    if (rule.logger && rule.logger != logger) continue;
    if (rule.channel && *rule.channel != column.channel + 1) continue;
    (rule.logger ? byLogger : byUnit) = i;
  }
  return byLogger ? byLogger : byUnit;
}

std::optional<std::int64_t> parseDuration(std::string_view text) {
  static constexpr std::pair<char, std::int64_t> kUnits[] = {{'h', 3600}, {'m', 60}, {'s', 1}};
  std::size_t next = 0;  // the first unit still allowed
  std::int64_t seconds = 0;
  std::size_t at = 0;
  if (text.empty()) return std::nullopt;
  while (at < text.size()) {
    std::int64_t number = 0;
    const std::size_t digitsFrom = at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      number = number * 10 + (text[at] - '0');
      if (number > maxDurationSeconds) return std::nullopt;
    }
    if (at == digitsFrom || at == text.size()) return std::nullopt;
    while (next < std::size(kUnits) && kUnits[next].first != text[at]) ++next;
    if (next == std::size(kUnits)) return std::nullopt;
    seconds += number * kUnits[next++].second;
    if (seconds > maxDurationSeconds) return std::nullopt;
    ++at;
  }
  return seconds;
}

std::string durationText(std::int64_t seconds) {
  if (seconds <= 0) return "0s";
  std::string text;
  if (seconds >= 3600) text += std::to_string(seconds / 3600) + "h";
  if (seconds / 60 % 60 != 0) text += std::to_string(seconds / 60 % 60) + "m";
  if (seconds % 60 != 0) text += std::to_string(seconds % 60) + "s";
  return text;
}

std::optional<std::uint32_t> parseLoggerIdentity(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  std::uint32_t id = 0;
  for (const char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    id = id << 4 | static_cast<std::uint32_t>(digit);
  }
  return id;
}

}  // namespace kestrix
