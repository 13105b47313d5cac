#include "chart_limits.hpp"

#include <algorithm>

#include "text_format.hpp"

namespace kestrix::chart {

namespace {

std::string decimalText(double value) {
  std::string text;
  appendShortestDecimal(value, ".", text);
  return text;
}

std::string durationCell(std::int64_t seconds) {
  std::string text;
  appendDuration(seconds, text);
  return text;
}

// "3 excursions", "1 alarm".
std::string counted(std::size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

ChartLimits::ChartLimits(const ChartData& data, std::vector<LimitRule> rules,
                         std::optional<LimitsSource> source)
    : ChartLimits(data, std::move(rules), std::move(source), data.allRows()) {}

ChartLimits::ChartLimits(const ChartData& data, std::vector<LimitRule> rules,
                         std::optional<LimitsSource> source, RowRange rows)
    : rules_(std::move(rules)), source_(std::move(source)) {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, data.rowCount());
  rows_ = rows;
  checks_ = checkLimits(data.values(), rules_, rows_);
  for (const ChannelCheck& check : checks_) {
    excursions_ += check.excursions.size();
    alarms_ += static_cast<std::size_t>(check.alarms);
  }
}

const std::vector<std::string>& limitHeaders() {
  static const std::vector<std::string> headers = {
      "Low", "High", "Time below", "Time above", "Excursions", "Alarms", "Result"};
  return headers;
}

std::vector<std::string> limitCells(const ChannelCheck& check) {
  if (!check.rule) return std::vector<std::string>(limitHeaders().size());
  const LimitRule& rule = *check.rule;
  return {rule.low ? decimalText(*rule.low) : std::string(),
          rule.high ? decimalText(*rule.high) : std::string(),
          durationCell(check.secondsBelow),
          durationCell(check.secondsAbove),
          std::to_string(check.excursions.size()),
          std::to_string(check.alarms),
          std::string(verdictText(check.verdict))};
}

const std::vector<std::string>& excursionHeaders() {
  static const std::vector<std::string> headers = {"Title", "Logger",  "Label", "Unit",
                                                   "Side",  "Start",   "End",   "Duration",
                                                   "Peak",  "Peak at", "Alarm", "Note"};
  return headers;
}

std::vector<std::string> excursionCells(const ChartData& data, std::size_t channel,
                                        const Excursion& e) {
  const ChartChannel& ch = data.channels()[channel];
  const std::int64_t interval = data.values().interval(ch.column);
  return {ch.title,
          data.values().column(ch.column).loggerId,
          ch.label,
          ch.unit,
          std::string(sideText(e.side)),
          data.dateText(e.firstRow - 1),
          data.dateText(e.endRow() - 1),
          durationCell(e.rows * interval),
          data.cellText(channel, e.peakRow - 1),
          data.dateText(e.peakRow - 1),
          e.alarm ? "yes" : "no",
          std::string(noteText(e.note))};
}

std::string ruleText(const LimitRule& rule) {
  std::string text;
  const auto add = [&text](const std::string& part) { (text += text.empty() ? "" : ", ") += part; };
  if (rule.low) add("low " + decimalText(*rule.low));
  if (rule.high) add("high " + decimalText(*rule.high));
  if (rule.delaySeconds != 0) add("delay " + durationCell(rule.delaySeconds));
  if (rule.totalSeconds) add("total " + durationCell(*rule.totalSeconds));
  return text;
}

std::string verdictSentence(const ChannelCheck& check) {
  if (!check.rule) return "no limits";
  std::string text = std::string(verdictText(check.verdict)) + ": " +
                     counted(check.excursions.size(), "excursion") + ", " +
                     counted(static_cast<std::size_t>(check.alarms), "alarm");
  if (check.rule->low) text += ", " + durationCell(check.secondsBelow) + " below";
  if (check.rule->high) text += ", " + durationCell(check.secondsAbove) + " above";
  return text;
}

std::vector<LimitLine> limitLines(const ChartData& data) {
  std::vector<LimitLine> lines;
  for (const std::string& unit : data.units()) lines.push_back(unitLimitLine(unit));
  for (const ChartChannel& channel : data.channels())
    lines.push_back(
        channelLimitLine(channel.name(), channel.unit, data.values().column(channel.column)));
  return lines;
}

RowRange excursionView(const Excursion& e, std::int64_t rowCount) {
  const std::int64_t around = std::max<std::int64_t>(e.rows / 2, 2);
  return {std::max<std::int64_t>(e.firstRow - around, 1),
          std::min(e.endRow() + around, std::max<std::int64_t>(rowCount, 1))};
}

}  // namespace kestrix::chart
