// A conversion run made ready for the chart: one value series per table
// column, grouped by unit, on the table's time axis.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cell_values.hpp"
#include "minmax_pyramid.hpp"
#include "row_range.hpp"
#include "run.hpp"

namespace kestrix::chart {

struct ChartChannel {
  std::size_t column = 0;  // in the run's TableValues
  std::string title;       // the file's title, UTF-8
  std::string label;       // UTF-8
  std::string unit;        // UTF-8; "?" for a column without unit
  int decimals = 1;
  MinMaxPyramid series;  // row r of the table is series row r - 1

  std::string name() const;  // "title — label"
};

// One line of the summary under the chart, as texts; empty where nothing applies.
struct SummaryLine {
  std::string values, first, last, min, minAt, max, maxAt, mean, mkt;
};

class ChartData {
 public:
  // Reads every column of the run, on two threads where there are two cores.
  explicit ChartData(std::shared_ptr<const ConversionRun> run, bool includeOverflowed = false);

  const ConversionRun& run() const noexcept { return *run_; }
  const TableValues& values() const noexcept { return values_; }
  const std::vector<ChartChannel>& channels() const noexcept { return channels_; }
  // The units in panel order: °C, %RH, Watts, Volts, Pulses, Seconds, then any other.
  const std::vector<std::string>& units() const noexcept { return units_; }
  std::int64_t rowCount() const noexcept { return values_.rowCount(); }

  // Time axis: seconds since 1970 of the row's date read as UTC (the table's
  // dates carry no time zone), and back.
  double keyOfRow(double row0) const noexcept {  // row0: 0-based
    return epoch2000 + static_cast<double>(run_->earliestStart) + row0 * step_;
  }
  double rowOfKey(double key) const noexcept {
    return (key - epoch2000 - static_cast<double>(run_->earliestStart)) / step_;
  }
  // "dd/mm/yyyy hh:mm:ss" of a 0-based row.
  std::string dateText(std::int64_t row0) const;
  // The cell text as the table shows it with a '.' mark: a number, "overflow", "-" or "".
  std::string cellText(std::size_t channel, std::int64_t row0) const;
  // Every row of the table (1-based, as RowRange counts them).
  RowRange allRows() const noexcept { return {1, rowCount()}; }
  // The file names of the run, comma separated.
  std::string fileList() const;
  // For a channel joined from two or more downloads: "Joined from 3 files:",
  // then their names, comma separated, on lines of a few; else empty.
  std::string joinedFrom(std::size_t channel) const;
  // "first date to last date" of the run, or of `rows`; "no rows" when empty.
  std::string periodText() const { return periodText(allRows()); }
  std::string periodText(RowRange rows) const;

  // Per channel, in channel order, over the whole run.
  const std::vector<SummaryLine>& summary() const noexcept { return summary_; }
  // The same, worked out over `rows` only.
  std::vector<SummaryLine> summaryOver(RowRange rows) const;
  // The column headers of the summary: "Channel", "Unit", then one per SummaryLine field.
  static const std::vector<std::string>& summaryHeaders();
  // The channel's line of the summary, a cell under each of summaryHeaders():
  // of the whole run, or `line` (one of summaryOver's).
  std::vector<std::string> summaryRow(std::size_t channel) const {
    return summaryRow(channel, summary_[channel]);
  }
  std::vector<std::string> summaryRow(std::size_t channel, const SummaryLine& line) const;

  std::size_t memoryBytes() const noexcept;

 private:
  // 1 January 2000 in seconds since 1970.
  static constexpr double epoch2000 = 946'684'800.0;

  std::shared_ptr<const ConversionRun> run_;
  TableValues values_;
  std::vector<ChartChannel> channels_;
  std::vector<std::string> units_;
  std::vector<SummaryLine> summary_;
  int step_ = 1;
};

}  // namespace kestrix::chart
