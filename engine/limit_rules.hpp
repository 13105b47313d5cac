// Limit rules: which channels a rule names, the limits it sets, and the
// checks every rule passes whatever file or editor it comes from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

struct ColumnInfo;

// One rule of a limits file. It names a unit (every channel of that unit) or
// a logger (both its channels, or one of them); given both, it names the
// logger's channels of that unit. A rule naming a logger beats one naming a
// unit only; among equals the later rule wins.
struct LimitRule {
  std::optional<std::string> unit;      // as the table writes it, in UTF-8: "°C", "%RH", ...
  std::optional<std::uint32_t> logger;  // the logger's identity
  std::optional<int> channel;           // 1 or 2, with `logger`
  std::optional<double> low;            // a value below it is outside
  std::optional<double> high;           // a value above it is outside
  std::int64_t delaySeconds = 0;        // an excursion raises an alarm only when it lasts longer
  std::optional<std::int64_t> totalSeconds;  // the time on one side that fails the channel

  friend bool operator==(const LimitRule&, const LimitRule&) = default;
};

// What is wrong with a rule: the key at fault ("" for the rule as a whole)
// and why, in words for the user.
struct RuleProblem {
  std::string key;
  std::string message;
};

// The first problem of `rule`: neither unit nor logger, a unit no table
// writes, a channel other than 1 or 2 or without a logger, neither low nor
// high, a limit that is no finite number, low above high, a negative delay or
// total.
std::optional<RuleProblem> ruleProblem(const LimitRule& rule);

// The units the table writes, in UTF-8, in the order the channel types bring them.
std::span<const std::string_view> tableUnits() noexcept;

// The index of the rule that applies to `column`, or nothing.
std::optional<std::size_t> ruleFor(std::span<const LimitRule> rules, const ColumnInfo& column);

// Durations as a limits file writes them: "90s", "30m", "2h", "1h30m" (hours,
// minutes and seconds in that order, each at most once). Nothing for any other
// text or one beyond maxDurationSeconds.
std::optional<std::int64_t> parseDuration(std::string_view text);
// The shortest such text for `seconds` (>= 0): "0s", "45s", "1h30m", "26h".
std::string durationText(std::int64_t seconds);
// The longest duration a rule takes: a million hours, longer than any table.
inline constexpr std::int64_t maxDurationSeconds = std::int64_t{3'600'000'000};

// A logger's identity from 8 hexadecimal digits in any letter case.
std::optional<std::uint32_t> parseLoggerIdentity(std::string_view text);

}  // namespace kestrix
