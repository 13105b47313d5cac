// The summary: one line per table column, what a spreadsheet computes from
// the column's cells (count, extremes, mean, mean kinetic temperature).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cell_values.hpp"
#include "excursions.hpp"
#include "regional.hpp"
#include "row_range.hpp"
#include "run.hpp"
#include "table.hpp"

namespace kestrix {

// What a column's cells add up to, over some of its rows.
struct ColumnFigures {
  std::int64_t values = 0;    // cells holding a number
  std::int64_t overflow = 0;  // cells reading "overflow"
  std::int64_t missing = 0;   // blank slots between the first and last non-blank one
  // The rest only with values > 0. Rows are 1-based table rows.
  std::int64_t firstRow = 0;  // the first and last cell holding a number
  std::int64_t lastRow = 0;
  std::int64_t minTenths = 0;  // the extremes and the first rows holding them
  std::int64_t minRow = 0;
  std::int64_t maxTenths = 0;
  std::int64_t maxRow = 0;
  std::int64_t sumTenths = 0;  // exact: the mean is sumTenths / (10 * values)
  std::optional<double> mean() const {
    if (values == 0) return std::nullopt;
    return static_cast<double>(sumTenths) / 10.0 / static_cast<double>(values);
  }
  // Mean kinetic temperature in degrees, for degree Celsius columns holding
  // only values above absolute zero.
  std::optional<double> meanKineticTemperature;
};

struct ColumnSummary : ColumnFigures {
  ColumnInfo info;  // the header lines, Windows-1252
};

class ValueCounts;

// Summaries of columns over stretches of rows, one after the other, reusing
// what the work needs (a period table asks for thousands).
class ColumnSummarizer {
 public:
  ColumnSummarizer();
  ~ColumnSummarizer();
  ColumnSummarizer(const ColumnSummarizer&) = delete;
  ColumnSummarizer& operator=(const ColumnSummarizer&) = delete;

  // Column c of `values` over the table rows `rows`: as a spreadsheet works
  // it out on the column's own samples among them alone.
  ColumnSummary summarize(const TableValues& values, std::size_t c, RowRange rows);
  // The same without the header lines (a period table holds thousands).
  ColumnFigures figures(const TableValues& values, std::size_t c, RowRange rows);

 private:
  static constexpr std::int64_t kChunk = 1024;
  // Values whose sum over a chunk fits in four bytes.
  static constexpr std::int64_t kSmallTenths = (std::int64_t{1} << 31) / kChunk - 1;
  std::vector<std::int32_t> codes_;      // TableValues::cellCodes
  std::unique_ptr<ValueCounts> counts_;  // taken for the first degree Celsius column
};

// One summary per column of `values`, in table order, over every row or over `rows`.
std::vector<ColumnSummary> summarize(const TableValues& values);
std::vector<ColumnSummary> summarize(const TableValues& values, RowRange rows);

// The mean to two decimals, the exact one rounded with halves away from zero,
// as a whole number of hundredths.
std::int64_t meanHundredths(const ColumnFigures& summary);
// The mean kinetic temperature to two decimals (halves away from zero, as for
// the mean) in hundredths, when the column has one.
std::optional<std::int64_t> meanKineticHundredths(const ColumnFigures& summary);

// The summary as TAB-separated text lines ending in CR LF, a line of column
// names first: numbers with the regional decimal mark, row dates as the table
// writes them, in the table's encoding (the regional texts are UTF-8). With
// `limits` (one check per column, over the same rows) each line ends in the
// seven limit columns (appendLimitColumns).
void writeSummary(const std::vector<ColumnSummary>& summary, const ConversionRun& run, Sink& sink,
                  const TextFormat& format, const std::vector<ChannelCheck>* limits = nullptr);
void writeSummary(const std::vector<ColumnSummary>& summary, const ConversionRun& run, Sink& sink,
                  const Regional& regional, Encoding encoding);

}  // namespace kestrix
