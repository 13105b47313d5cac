#include "summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "dates.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

constexpr std::string_view kCelsius = "\260C";
constexpr double kActivationOverGasConstant = 10000.0;  // kelvin
constexpr double kZeroCelsius = 273.15;                 // kelvin

}  // namespace

// Counts of each value of a column, by tenths: the mean kinetic temperature
// needs one exponential per distinct value, not one per cell. Values beyond
// the dense range (none of the formulas gives one) are kept one by one.
class ValueCounts {
 public:
  static constexpr std::int64_t kReach = std::int64_t{1} << 19;

  ValueCounts() : counts_(2 * kReach + 1) {}

  void add(std::int64_t tenths, std::int64_t count) {
    if (count == 0) return;
    if (tenths >= -kReach && tenths <= kReach) {
      counts_[static_cast<std::size_t>(tenths + kReach)] += static_cast<std::uint64_t>(count);
    } else {
      beyond_.push_back({tenths, count});
    }
  }

  // Calls f(tenths, count) for each value counted between min and max (the
  // column's extremes), then forgets them all.
  template <class F>
  void drain(std::int64_t min, std::int64_t max, F&& f) {
    const std::int64_t from = std::max(min, -kReach);
    const std::int64_t to = std::min(max, kReach);
    for (std::int64_t t = from; t <= to; ++t) {
      std::uint64_t& count = counts_[static_cast<std::size_t>(t + kReach)];
      if (count != 0) f(t, count);
      count = 0;
    }
    for (const auto& [t, count] : beyond_) f(t, static_cast<std::uint64_t>(count));
    beyond_.clear();
  }

 private:
  std::vector<std::uint64_t> counts_;
  std::vector<std::pair<std::int64_t, std::int64_t>> beyond_;
};

namespace {

double degreesOf(std::int64_t tenths) {
  return static_cast<double>(tenths) / 10.0;
}

// 10000 / -ln(mean of exp(-10000 / T)) in degrees Celsius, the largest
// exponent taken out of the sum so that no term underflows to nothing.
std::optional<double> meanKineticTemperature(const ColumnSummary& s, ValueCounts& counts) {
  std::optional<double> result;
  if (s.values == 0 || degreesOf(s.minTenths) <= -kZeroCelsius) {
    counts.drain(s.minTenths, s.maxTenths, [](std::int64_t, std::uint64_t) {});
    return result;
  }
  const auto exponentOf = [](std::int64_t tenths) {
    return -kActivationOverGasConstant / (degreesOf(tenths) + kZeroCelsius);
  };
  const double largest = exponentOf(s.maxTenths);  // the exponent grows with the temperature
  double sum = 0;
  counts.drain(s.minTenths, s.maxTenths, [&](std::int64_t tenths, std::uint64_t count) {
    sum += static_cast<double>(count) * std::exp(exponentOf(tenths) - largest);
  });
  const double logMean = largest + std::log(sum / static_cast<double>(s.values));
  result = kActivationOverGasConstant / -logMean - kZeroCelsius;
  return result;
}

// Hundredths as text: sign, whole part, decimal mark, two digits; no "-0.00".
void appendHundredths(std::int64_t hundredths, std::string_view decimalMark, std::string& out) {
  appendDecimal(hundredths, 2, 2, decimalMark, out);
}

}  // namespace

ColumnSummarizer::ColumnSummarizer() : cells_(kChunk) {}
ColumnSummarizer::~ColumnSummarizer() = default;

ColumnSummary ColumnSummarizer::summarize(const TableValues& values, std::size_t c, RowRange rows) {
  ColumnSummary s;
  s.info = values.column(c);
  const bool celsius = s.info.unit == kCelsius;
  if (celsius && !counts_) counts_ = std::make_unique<ValueCounts>();
  ValueCounts* counts = counts_.get();
  std::int64_t firstFilled = 0;  // the first and last non-blank cell
  std::int64_t lastFilled = 0;
  std::int64_t filled = 0;
  std::int64_t min = 0;
  std::int64_t max = 0;
  std::int64_t sum = 0;
  std::int64_t numbers = 0;
  // Cells in a row often hold the same value: they are counted together.
  std::int64_t repeated = 0;
  std::int64_t repeatedCount = 0;
  for (std::int64_t first = rows.first; first <= rows.last; first += kChunk) {
    const std::int64_t n = std::min(kChunk, rows.last - first + 1);
    values.cells(c, first, n, cells_.data());
    const CellValue* chunk = cells_.data();
    // The usual chunk, all numbers: a plain loop (whose figures are dropped
    // for any other chunk). A period's first chunk is one too.
    bool allNumbers = true;
    std::int64_t chunkSum = 0;
    std::int64_t chunkMin = numbers > 0 ? min : chunk[0].tenths;
    std::int64_t chunkMax = numbers > 0 ? max : chunk[0].tenths;
    for (std::int64_t k = 0; k < n; ++k) {
      const std::int64_t t = chunk[k].tenths;
      allNumbers &= chunk[k].kind == CellKind::Number;
      chunkSum += t;
      chunkMin = std::min(chunkMin, t);
      chunkMax = std::max(chunkMax, t);
    }
    if (allNumbers) {
      if (numbers == 0) {  // the first values: the chunk's first cell starts the figures
        s.firstRow = first;
        if (firstFilled == 0) firstFilled = first;
        min = max = chunk[0].tenths;
        s.minRow = s.maxRow = first;
      }
      if (chunkMin < min) {
        std::int64_t k = 0;
        while (chunk[k].tenths != chunkMin) ++k;
        min = chunkMin;
        s.minRow = first + k;
      }
      if (chunkMax > max) {
        std::int64_t k = 0;
        while (chunk[k].tenths != chunkMax) ++k;
        max = chunkMax;
        s.maxRow = first + k;
      }
      sum += chunkSum;
      numbers += n;
      s.lastRow = first + n - 1;
      if (celsius) {
        std::int64_t value = repeated;
        std::int64_t count = repeatedCount;
        for (std::int64_t k = 0; k < n; ++k) {
          const std::int64_t t = chunk[k].tenths;
          if (t == value) {
            ++count;
          } else {
            counts->add(value, count);
            value = t;
            count = 1;
          }
        }
        repeated = value;
        repeatedCount = count;
      }
      continue;
    }
    for (std::int64_t k = 0; k < n; ++k) {
      const CellValue& v = cells_[static_cast<std::size_t>(k)];
      if (v.kind == CellKind::Number) [[likely]] {
        const std::int64_t t = v.tenths;
        const std::int64_t row = first + k;
        if (numbers == 0) {
          s.firstRow = row;
          min = max = t;
          s.minRow = s.maxRow = row;
          if (firstFilled == 0) firstFilled = row;
        } else if (t < min) {
          min = t;
          s.minRow = row;
        } else if (t > max) {
          max = t;
          s.maxRow = row;
        }
        s.lastRow = row;
        sum += t;
        ++numbers;
        if (t == repeated) {
          ++repeatedCount;
        } else {
          if (celsius) counts->add(repeated, repeatedCount);
          repeated = t;
          repeatedCount = 1;
        }
      } else if (v.kind != CellKind::Blank) {
        const std::int64_t row = first + k;
        if (firstFilled == 0) firstFilled = row;
        lastFilled = row;
        ++filled;
        if (v.kind == CellKind::Overflow) ++s.overflow;
      }
    }
  }
  if (celsius && repeatedCount > 0) counts->add(repeated, repeatedCount);
  // Numbers are non-blank cells too.
  filled += numbers;
  if (numbers > 0) lastFilled = std::max(lastFilled, s.lastRow);
  s.values = numbers;
  s.missing = filled == 0 ? 0 : lastFilled - firstFilled + 1 - filled;
  s.minTenths = min;
  s.maxTenths = max;
  s.sumTenths = sum;
  if (celsius) s.meanKineticTemperature = meanKineticTemperature(s, *counts);
  return s;
}

std::vector<ColumnSummary> summarize(const TableValues& values, RowRange rows) {
  std::vector<ColumnSummary> out;
  out.reserve(values.columnCount());
  ColumnSummarizer summarizer;
  for (std::size_t c = 0; c < values.columnCount(); ++c)
    out.push_back(summarizer.summarize(values, c, rows));
  return out;
}

std::vector<ColumnSummary> summarize(const TableValues& values) {
  return summarize(values, RowRange{1, values.rowCount()});
}

std::int64_t meanHundredths(const ColumnSummary& s) {
  if (s.values == 0) return 0;
  // sum / (10 values) in hundredths: 10 sum / values.
  const std::int64_t numerator = 10 * s.sumTenths;
  const std::int64_t magnitude = std::abs(numerator);
  std::int64_t q = magnitude / s.values;
  if (2 * (magnitude % s.values) >= s.values) ++q;
  return numerator < 0 ? -q : q;
}

std::optional<std::int64_t> meanKineticHundredths(const ColumnSummary& s) {
  if (!s.meanKineticTemperature) return std::nullopt;
  return std::llround(*s.meanKineticTemperature * 100.0);
}

void writeSummary(const std::vector<ColumnSummary>& summary, const ConversionRun& run, Sink& sink,
                  const TextFormat& format, const std::vector<ChannelCheck>* limits) {
  const TextFormatter out(format);
  const auto date = [&](std::int64_t row, std::string& text) { out.date(run.rowDate(row), text); };
  const std::string_view mark = out.decimalMark();
  std::string text =
      "Title\tLogger\tLabel\tUnit\tFirst\tLast\tValues\tOverflow\tMissing\tMin\tMin at\tMax\tMax "
      "at\tMean\tMKT";
  if (limits) text += limitColumnNames;
  text += "\r\n";
  for (std::size_t c = 0; c < summary.size(); ++c) {
    const ColumnSummary& s = summary[c];
    out.channel(s.info, text);
    const bool any = s.values > 0;
    text += '\t';
    if (any) date(s.firstRow, text);
    text += '\t';
    if (any) date(s.lastRow, text);
    (text += '\t') += std::to_string(s.values);
    (text += '\t') += std::to_string(s.overflow);
    (text += '\t') += std::to_string(s.missing);
    text += '\t';
    if (any) out.number(s.minTenths, s.info.decimals, text);
    text += '\t';
    if (any) date(s.minRow, text);
    text += '\t';
    if (any) out.number(s.maxTenths, s.info.decimals, text);
    text += '\t';
    if (any) date(s.maxRow, text);
    text += '\t';
    if (any) appendHundredths(meanHundredths(s), mark, text);
    text += '\t';
    if (const auto mkt = meanKineticHundredths(s)) appendHundredths(*mkt, mark, text);
    if (limits) appendLimitColumns((*limits)[c], out, text);
    text += "\r\n";
  }
  sink.write(text);
}

void writeSummary(const std::vector<ColumnSummary>& summary, const ConversionRun& run, Sink& sink,
                  const Regional& regional, Encoding encoding) {
  writeSummary(summary, run, sink, TextFormat{regional, encoding, DateStyle::Regional, {}});
}

}  // namespace kestrix
