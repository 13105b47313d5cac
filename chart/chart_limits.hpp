// The limits applied to a chart: the rules, the file they came from, and each
// channel's check over a stretch of rows; with the texts the window and the
// report show of them (dates and numbers as the chart's summary writes them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart_data.hpp"
#include "excursions.hpp"
#include "limit_lines.hpp"
#include "limit_rules.hpp"
#include "row_range.hpp"

namespace kestrix::chart {

// The limits file the rules were read from, as a record of the run names it.
struct LimitsSource {
  std::string path;   // as the user knows it, UTF-8
  std::string bytes;  // its content as read: what its SHA-256 is of
};

class ChartLimits {
 public:
  // Checks every channel of `data` over `rows` (by default every row)
  // against the rule of `rules` that applies to it.
  ChartLimits(const ChartData& data, std::vector<LimitRule> rules,
              std::optional<LimitsSource> source = std::nullopt);
  ChartLimits(const ChartData& data, std::vector<LimitRule> rules,
              std::optional<LimitsSource> source, RowRange rows);

  const std::vector<LimitRule>& rules() const noexcept { return rules_; }
  const std::optional<LimitsSource>& source() const noexcept { return source_; }
  RowRange rows() const noexcept { return rows_; }
  // One per channel, in channel order; without a rule where none applies.
  const std::vector<ChannelCheck>& checks() const noexcept { return checks_; }
  std::size_t excursionCount() const noexcept { return excursions_; }
  std::size_t alarmCount() const noexcept { return alarms_; }

 private:
  std::vector<LimitRule> rules_;
  std::optional<LimitsSource> source_;
  RowRange rows_;
  std::vector<ChannelCheck> checks_;
  std::size_t excursions_ = 0;
  std::size_t alarms_ = 0;
};

// The summary's seven limit columns: "Low", "High", "Time below", "Time
// above", "Excursions", "Alarms", "Result".
const std::vector<std::string>& limitHeaders();
// A channel's cells under limitHeaders(): limits with no more digits than
// they need, durations h:mm:ss; all empty without a rule.
std::vector<std::string> limitCells(const ChannelCheck& check);

// The excursion list's column names, those of the excursion list file:
// "Title", "Logger", "Label", "Unit", "Side", "Start", "End", "Duration",
// "Peak", "Peak at", "Alarm", "Note".
const std::vector<std::string>& excursionHeaders();
// The cells of one excursion of `channel` under excursionHeaders().
std::vector<std::string> excursionCells(const ChartData& data, std::size_t channel,
                                        const Excursion& excursion);

// A rule's limits in words: "low 2, high 8, delay 0:30:00, total 2:00:00"
// (delay only when it is not 0, total only when given).
std::string ruleText(const LimitRule& rule);
// A channel's verdict in words: "fail: 3 excursions, 1 alarm, 0:20:00 below,
// 1:10:00 above"; "no limits" without a rule.
std::string verdictSentence(const ChannelCheck& check);

// The limits editor's lines of `data`: a line per unit, in panel order, then
// a line per channel.
std::vector<LimitLine> limitLines(const ChartData& data);

// The rows an excursion is best looked at over: itself and half its length
// (at least two rows) on each side, within the table's `rowCount` rows.
RowRange excursionView(const Excursion& excursion, std::int64_t rowCount);

}  // namespace kestrix::chart
