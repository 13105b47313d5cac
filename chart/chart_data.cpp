#include "chart_data.hpp"

#include <algorithm>
#include <cmath>

#include "dates.hpp"
#include "summary.hpp"
#include "text.hpp"
#include "two_threads.hpp"

namespace kestrix::chart {

namespace {

std::string hundredthsText(std::int64_t hundredths) {
  std::string text;
  appendDecimal(hundredths, 2, 2, ".", text);
  return text;
}

int unitRank(const std::string& unit) {
  static const char* const order[] = {"\u00b0C", "%RH", "Watts", "Volts", "Pulses", "Seconds"};
  for (int i = 0; i < static_cast<int>(std::size(order)); ++i)
    if (unit == order[i]) return i;
  return static_cast<int>(std::size(order));
}

}  // namespace

std::string ChartChannel::name() const {
  return title + " \u2014 " + label;
}

ChartData::ChartData(std::shared_ptr<const ConversionRun> run, bool includeOverflowed)
    : run_(std::move(run)), values_(*run_, includeOverflowed), step_(std::max(run_->step, 1)) {
  const std::size_t count = values_.columnCount();
  channels_.resize(count);
  for (std::size_t c = 0; c < count; ++c) {
    const ColumnInfo& info = values_.column(c);
    ChartChannel& channel = channels_[c];
    channel.column = c;
    channel.title = windows1252ToUtf8(info.title);
    channel.label = windows1252ToUtf8(info.label);
    channel.unit = info.unit.empty() ? "?" : windows1252ToUtf8(info.unit);
    channel.decimals = info.decimals;
    if (std::find(units_.begin(), units_.end(), channel.unit) == units_.end())
      units_.push_back(channel.unit);
  }
  std::stable_sort(units_.begin(), units_.end(), [](const std::string& a, const std::string& b) {
    return unitRank(a) < unitRank(b);
  });

  forEachOnTwoThreads(count,
                      [this](std::size_t c) { channels_[c].series = columnPyramid(values_, c); });
  summary_ = summaryOver(allRows());
}

std::vector<SummaryLine> ChartData::summaryOver(RowRange rows) const {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, rowCount());
  const std::vector<ColumnSummary> columns = summarize(values_, rows);
  std::vector<SummaryLine> lines(channels_.size());
  for (std::size_t c = 0; c < lines.size() && c < columns.size(); ++c) {
    const ColumnSummary& column = columns[c];
    SummaryLine& line = lines[c];
    line.values = std::to_string(column.values);
    if (column.values <= 0) continue;
    auto valueAndDate = [&](std::int64_t row) {
      return cellText(c, row - 1) + " (" + dateText(row - 1) + ")";
    };
    line.first = valueAndDate(column.firstRow);
    line.last = valueAndDate(column.lastRow);
    line.min = cellText(c, column.minRow - 1);
    line.minAt = dateText(column.minRow - 1);
    line.max = cellText(c, column.maxRow - 1);
    line.maxAt = dateText(column.maxRow - 1);
    line.mean = hundredthsText(meanHundredths(column));
    if (const auto mkt = meanKineticHundredths(column)) line.mkt = hundredthsText(*mkt);
  }
  return lines;
}

const std::vector<std::string>& ChartData::summaryHeaders() {
  static const std::vector<std::string> headers = {"Channel", "Unit",    "Values", "First",
                                                   "Last",    "Minimum", "at",     "Maximum",
                                                   "at",      "Mean",    "MKT"};
  return headers;
}

std::vector<std::string> ChartData::summaryRow(std::size_t channel, const SummaryLine& s) const {
  const ChartChannel& ch = channels_[channel];
  return {ch.name(), ch.unit, s.values, s.first, s.last, s.min,
          s.minAt,   s.max,   s.maxAt,  s.mean,  s.mkt};
}

std::string ChartData::dateText(std::int64_t row0) const {
  const CivilTime t = fromSeconds(run_->rowDate(row0 + 1));
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

std::string ChartData::cellText(std::size_t channel, std::int64_t row0) const {
  if (row0 < 0 || row0 >= rowCount()) return {};
  const ChartChannel& ch = channels_[channel];
  std::string out;
  appendCellValueText(values_.tableCell(ch.column, row0 + 1), ch.decimals, ".", out);
  return out;
}

std::string ChartData::fileList() const {
  std::string out;
  for (const LoggerFile& file : run_->files) {
    if (!out.empty()) out += ", ";
    out += file.displayName;
  }
  return out;
}

std::string ChartData::joinedFrom(std::size_t channel) const {
  const ColumnPlan& column = run_->columns[values_.column(channels_[channel].column).column];
  if (column.files.size() < 2) return {};
  // A tooltip shows no more than a screen holds: the first and last names
  // of a long list, and how many stand between.
  constexpr std::size_t kNamesPerLine = 6;
  constexpr std::size_t kShownAtEachEnd = 30;
  const std::size_t count = column.files.size();
  const bool cut = count > 2 * kShownAtEachEnd;
  std::string out = "Joined from " + std::to_string(count) + " files:";
  std::size_t onLine = kNamesPerLine;
  for (std::size_t k = 0; k < count; ++k) {
    if (cut && k == kShownAtEachEnd) {
      out += "\n\u2026 " + std::to_string(count - 2 * kShownAtEachEnd) + " more \u2026";
      k = count - kShownAtEachEnd;
      onLine = kNamesPerLine;
    }
    out += onLine == kNamesPerLine ? "\n" : ", ";
    onLine = onLine == kNamesPerLine ? 1 : onLine + 1;
    out += run_->files[column.files[k].file].displayName;
  }
  return out;
}

std::string ChartData::periodText(RowRange rows) const {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, rowCount());
  if (rows.count() <= 0) return "no rows";
  return dateText(rows.first - 1) + " to " + dateText(rows.last - 1);
}

std::size_t ChartData::memoryBytes() const noexcept {
  std::size_t bytes = 0;
  for (const ChartChannel& c : channels_) bytes += c.series.memoryBytes();
  return bytes;
}

}  // namespace kestrix::chart
