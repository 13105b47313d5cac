#include "summary.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>

#include "code_scans.hpp"
#include "dates.hpp"
#include "text.hpp"
#include "vector_clones.hpp"

namespace kestrix {

namespace {

constexpr std::string_view kCelsius = "\260C";
constexpr double kActivationOverGasConstant = 10000.0;  // kelvin
constexpr double kZeroCelsius = 273.15;                 // kelvin
// The cells whose extremes the summarizer keeps together.
constexpr std::int64_t kBlock = 64;

double degreesOf(std::int64_t tenths) {
  return static_cast<double>(tenths) / 10.0;
}

// The exponent of the mean kinetic temperature's term for a value.
double exponentOf(std::int64_t tenths) {
  return -kActivationOverGasConstant / (degreesOf(tenths) + kZeroCelsius);
}

}  // namespace

// Counts of each value of a column, by tenths: the mean kinetic temperature
// needs one exponential per distinct value, not one per cell. Values beyond
// the dense range (none of the formulas gives one) are kept one by one.
class ValueCounts {
 public:
  static constexpr std::int64_t kReach = std::int64_t{1} << 19;

  // Allocated zeroed and left untouched until counted: only the pages of
  // the values met ever take memory (a column's values lie close together).
  ValueCounts()
      : counts_(static_cast<std::uint64_t*>(
            std::calloc(static_cast<std::size_t>(kLanes * (2 * kReach + 1)), 8))) {
    if (!counts_ || !terms_) throw std::bad_alloc();
  }

  // Counts codes[0 .. n) (TableValues::cellCodes, all numbers, between
  // `min` and `max`).
  void addCodes(const std::int32_t* codes, std::int64_t n, std::int32_t min, std::int32_t max) {
    constexpr std::int64_t bias = cellCodeBias;
    clean_ = false;
    if (min - bias < -kReach || max - bias > kReach) {
      for (std::int64_t k = 0; k < n; ++k) add(codes[k] - bias, 1);
      return;
    }
    // Neighbouring cells, often equal, into different lanes: no count waits
    // for the one before.
    std::uint64_t* const counts = counts_.get();
    const auto at = [](std::int32_t code) {
      return static_cast<std::size_t>(kLanes * (code - bias + kReach));
    };
    std::int64_t k = 0;
    for (; k + kLanes <= n; k += kLanes) {
      for (std::int64_t lane = 0; lane < kLanes; ++lane)
        ++counts[at(codes[k + lane]) + static_cast<std::size_t>(lane)];
    }
    for (; k < n; ++k) ++counts[at(codes[k])];
  }

  void add(std::int64_t tenths, std::int64_t count) {
    if (count == 0) return;
    clean_ = false;
    if (tenths >= -kReach && tenths <= kReach) {
      counts_[static_cast<std::size_t>(kLanes * (tenths + kReach))] +=
          static_cast<std::uint64_t>(count);
    } else {
      beyond_.push_back({tenths, count});
    }
  }

  // Values down to this one have terms relative to 0 degrees Celsius that
  // neither underflow nor overflow (about 1e-172 to 1e16).
  static constexpr std::int64_t kLowestTermTenths = -2500;

  // exp(exponentOf(tenths) - exponentOf(0)) for a value within reach and at
  // least kLowestTermTenths, worked out once.
  double termOf(std::int64_t tenths) {
    double& term = terms_[static_cast<std::size_t>(tenths + kReach)];
    if (term == 0) term = std::exp(exponentOf(tenths) - exponentOf(0));
    return term;
  }

  // Calls f(tenths, count) for each value counted between min and max (the
  // column's extremes), then forgets them all.
  template <class F>
  void drain(std::int64_t min, std::int64_t max, F&& f) {
    const std::int64_t from = std::max(min, -kReach);
    const std::int64_t to = std::min(max, kReach);
    for (std::int64_t t = from; t <= to; ++t) {
      std::uint64_t* lanes = counts_.get() + kLanes * (t + kReach);
      std::uint64_t count = 0;
      for (std::int64_t lane = 0; lane < kLanes; ++lane) count += lanes[lane];
      if (count != 0) {
        f(t, count);
        // Written only where counted: untouched pages stay untouched.
        for (std::int64_t lane = 0; lane < kLanes; ++lane) lanes[lane] = 0;
      }
    }
    for (const auto& [t, count] : beyond_) f(t, static_cast<std::uint64_t>(count));
    beyond_.clear();
    clean_ = true;
  }

  // Nothing counted since the last drain: as good as new.
  bool clean() const noexcept { return clean_; }

 private:
  static constexpr std::int64_t kLanes = 4;
  struct Free {
    void operator()(void* p) const noexcept { std::free(p); }
  };
  std::unique_ptr<std::uint64_t[], Free> counts_;
  // termOf's, 0 until worked out (every term is above 0); zeroed the same way.
  std::unique_ptr<double[], Free> terms_{
      static_cast<double*>(std::calloc(static_cast<std::size_t>(2 * kReach + 1), sizeof(double)))};
  std::vector<std::pair<std::int64_t, std::int64_t>> beyond_;
  bool clean_ = true;
};

namespace {

// Value counts handed from one summarizer to the next. Each is 40 MiB of
// zeroed memory of which a column touches a few pages: made anew for every
// summary and period table, it would be mapped and unmapped each time (and
// under the address sanitizer its shadow written over twice, milliseconds
// each). Those given back clean wait here, as many as summarize at once.
class SpareValueCounts {
 public:
  std::unique_ptr<ValueCounts> take() {
    {
      const std::lock_guard lock(mutex_);
      for (std::unique_ptr<ValueCounts>& counts : spare_)
        if (counts) return std::move(counts);
    }
    return std::make_unique<ValueCounts>();
  }

  void giveBack(std::unique_ptr<ValueCounts> counts) noexcept {
    if (!counts || !counts->clean()) return;
    const std::lock_guard lock(mutex_);
    for (std::unique_ptr<ValueCounts>& place : spare_) {
      if (!place) {
        place = std::move(counts);
        return;
      }
    }
  }

 private:
  std::mutex mutex_;
  std::array<std::unique_ptr<ValueCounts>, 2> spare_;  // forEachOnTwoThreads's two
};

SpareValueCounts& spareValueCounts() {
  static SpareValueCounts spare;
  return spare;
}

// 10000 / -ln(mean of exp(-10000 / T)) in degrees Celsius. The terms are
// taken relative to 0 degrees Celsius, each value's worked out once; with a
// value below kLowestTermTenths, relative to the largest exponent, so that no
// term underflows to nothing.
std::optional<double> meanKineticTemperature(const ColumnFigures& s, ValueCounts& counts) {
  std::optional<double> result;
  if (s.values == 0 || degreesOf(s.minTenths) <= -kZeroCelsius) {
    counts.drain(s.minTenths, s.maxTenths, [](std::int64_t, std::uint64_t) {});
    return result;
  }
  const bool cached = s.minTenths >= ValueCounts::kLowestTermTenths;
  // The exponent grows with the temperature.
  const double reference = cached ? exponentOf(0) : exponentOf(s.maxTenths);
  double sum = 0;
  counts.drain(s.minTenths, s.maxTenths, [&](std::int64_t tenths, std::uint64_t count) {
    const double term = cached && tenths <= ValueCounts::kReach
                            ? counts.termOf(tenths)
                            : std::exp(exponentOf(tenths) - reference);
    sum += static_cast<double>(count) * term;
  });
  const double logMean = reference + std::log(sum / static_cast<double>(s.values));
  result = kActivationOverGasConstant / -logMean - kZeroCelsius;
  return result;
}

// Hundredths as text: sign, whole part, decimal mark, two digits; no "-0.00".
void appendHundredths(std::int64_t hundredths, std::string_view decimalMark, std::string& out) {
  appendDecimal(hundredths, 2, 2, decimalMark, out);
}

// Blocks of kBlock codes of codes[0 .. n): the extremes
// of each, and the sum of all the codes modulo 2^32 (exact once the biases
// are taken off, for values of at most kSmallTenths), in loops the compiler
// vectorises; with SSE4.1's minimum and maximum of four bytes where the
// processor has them.
KESTRIX_VECTOR_CLONES
std::uint32_t blockFigures(const std::int32_t* codes, std::int64_t n, std::int32_t* blockMin,
                           std::int32_t* blockMax) {
  std::uint32_t wrappedSum = 0;
  for (std::int64_t b = 0; b * kBlock < n; ++b) {
    const std::int32_t* block = codes + b * kBlock;
    const std::int64_t size = std::min(kBlock, n - b * kBlock);
    std::int32_t low = block[0];
    std::int32_t high = block[0];
    std::uint32_t blockSum = 0;
    for (std::int64_t k = 0; k < size; ++k) {
      const std::int32_t code = block[k];
      blockSum += static_cast<std::uint32_t>(code);
      low = std::min(low, code);
      high = std::max(high, code);
    }
    blockMin[b] = low;
    blockMax[b] = high;
    wrappedSum += blockSum;
  }
  return wrappedSum;
}

}  // namespace

ColumnSummarizer::ColumnSummarizer() : codes_(kChunk) {}
ColumnSummarizer::~ColumnSummarizer() {
  spareValueCounts().giveBack(std::move(counts_));
}

ColumnSummary ColumnSummarizer::summarize(const TableValues& values, std::size_t c, RowRange rows) {
  ColumnSummary s;
  static_cast<ColumnFigures&>(s) = figures(values, c, rows);
  s.info = values.column(c);
  return s;
}

ColumnFigures ColumnSummarizer::figures(const TableValues& values, std::size_t c,
                                        RowRange tableRows) {
  ColumnFigures s;
  // Worked out over the column's own slots, its rows put on the table at the end.
  const RowRange rows = values.slotsIn(c, tableRows);
  const bool celsius = values.column(c).unit == kCelsius;
  if (celsius && !counts_) counts_ = spareValueCounts().take();
  ValueCounts* counts = counts_.get();
  // The figures on the codes' scale: tenths plus cellCodeBias.
  constexpr std::int64_t bias = cellCodeBias;
  std::int64_t firstFilled = 0;  // the first and last non-blank cell
  std::int64_t lastFilled = 0;
  std::int64_t filled = 0;
  std::int32_t min = 0;
  std::int32_t max = 0;
  std::int64_t sum = 0;  // of the tenths
  std::int64_t numbers = 0;
  for (std::int64_t first = rows.first; first <= rows.last; first += kChunk) {
    const std::int64_t n = std::min(kChunk, rows.last - first + 1);
    const std::int32_t* chunk = codes_.data();
    values.cellCodes(c, first, n, codes_.data());
    // The usual chunk, all numbers: plain loops the compiler vectorises
    // (whose figures are dropped for any other chunk; codes without a number
    // are the lowest). A period's first chunk is one too.
    std::array<std::int32_t, kChunk / kBlock> blockMin{};
    std::array<std::int32_t, kChunk / kBlock> blockMax{};
    const std::int64_t blocks = (n + kBlock - 1) / kBlock;
    const std::uint32_t wrappedSum = blockFigures(chunk, n, blockMin.data(), blockMax.data());
    const std::int32_t chunkMin = *std::min_element(blockMin.begin(), blockMin.begin() + blocks);
    const std::int32_t chunkMax = *std::max_element(blockMax.begin(), blockMax.begin() + blocks);
    // The first cell holding `code`, which the block extremes `extremes` hold.
    const auto firstHolding = [&](std::int32_t code, const auto& extremes) {
      const std::int64_t b = std::find(extremes.begin(), extremes.end(), code) - extremes.begin();
      return b * kBlock +
             firstCodeEqual(chunk + b * kBlock, std::min(kBlock, n - b * kBlock), code);
    };
    if (chunkMin > cellCodeNoNumber) {  // no cell without a number
      std::int64_t chunkSum = 0;
      if (chunkMin - bias >= -kSmallTenths && chunkMax - bias <= kSmallTenths) {
        chunkSum = static_cast<std::int32_t>(wrappedSum -
                                             static_cast<std::uint32_t>(n * bias % (1LL << 32)));
      } else {
        for (std::int64_t k = 0; k < n; ++k) chunkSum += chunk[k] - bias;
      }
      if (numbers == 0) {  // the first values: the chunk's first cell starts the figures
        s.firstRow = first;
        if (firstFilled == 0) firstFilled = first;
        min = max = chunk[0];
        s.minRow = s.maxRow = first;
      }
      if (chunkMin < min) {
        min = chunkMin;
        s.minRow = first + firstHolding(chunkMin, blockMin);
      }
      if (chunkMax > max) {
        max = chunkMax;
        s.maxRow = first + firstHolding(chunkMax, blockMax);
      }
      sum += chunkSum;
      numbers += n;
      s.lastRow = first + n - 1;
      if (celsius) counts->addCodes(chunk, n, chunkMin, chunkMax);
      continue;
    }
    if (chunkMax == cellCodeBlank) continue;  // rows before or after the column's data
    for (std::int64_t k = 0; k < n; ++k) {
      const std::int32_t code = chunk[k];
      if (code > cellCodeNoNumber) [[likely]] {
        const std::int64_t row = first + k;
        if (numbers == 0) {
          s.firstRow = row;
          min = max = code;
          s.minRow = s.maxRow = row;
          if (firstFilled == 0) firstFilled = row;
        } else if (code < min) {
          min = code;
          s.minRow = row;
        } else if (code > max) {
          max = code;
          s.maxRow = row;
        }
        s.lastRow = row;
        sum += code - bias;
        ++numbers;
        if (celsius) counts->add(code - bias, 1);
      } else if (code != cellCodeBlank) {
        const std::int64_t row = first + k;
        if (firstFilled == 0) firstFilled = row;
        lastFilled = row;
        ++filled;
        if (code == cellCodeOverflow) ++s.overflow;
      }
    }
  }
  // Numbers are non-blank cells too.
  filled += numbers;
  if (numbers > 0) lastFilled = std::max(lastFilled, s.lastRow);
  s.values = numbers;
  s.missing = filled == 0 ? 0 : lastFilled - firstFilled + 1 - filled;
  s.minTenths = numbers > 0 ? min - bias : 0;
  s.maxTenths = numbers > 0 ? max - bias : 0;
  s.sumTenths = sum;
  if (celsius) s.meanKineticTemperature = meanKineticTemperature(s, *counts);
  if (numbers > 0) {
    for (std::int64_t* row : {&s.firstRow, &s.lastRow, &s.minRow, &s.maxRow})
      *row = values.slotRow(c, *row);
  }
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

std::int64_t meanHundredths(const ColumnFigures& s) {
  if (s.values == 0) return 0;
  // sum / (10 values) in hundredths: 10 sum / values.
  const std::int64_t numerator = 10 * s.sumTenths;
  const std::int64_t magnitude = std::abs(numerator);
  std::int64_t q = magnitude / s.values;
  if (2 * (magnitude % s.values) >= s.values) ++q;
  return numerator < 0 ? -q : q;
}

std::optional<std::int64_t> meanKineticHundredths(const ColumnFigures& s) {
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
