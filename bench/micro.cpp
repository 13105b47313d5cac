// Micro-benchmarks of cell formatting and row building (Google Benchmark).
//
//   kestrix-micro [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "channels.hpp"
#include "conversion.hpp"
#include "dates.hpp"
#include "decimal_digits.hpp"
#include "logger_file_builder.hpp"
#include "run.hpp"
#include "table.hpp"

namespace {

using kestrix::CellParams;

// Raw values that drift slowly, as a logger's do: a wave over `spread` raw
// steps with a little noise.
std::vector<std::int16_t> drifting(std::size_t n, int from, int spread) {
  std::vector<std::int16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double wave = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 0.004);
    out[i] = static_cast<std::int16_t>(from + static_cast<int>(wave * spread) +
                                       static_cast<int>(i * 7 % 5));
  }
  return out;
}

// One cell at a time through appendCellText: the straightforward way.
void BM_AppendCellText(benchmark::State& state) {
  const CellParams params{static_cast<std::uint8_t>(state.range(0)), -64, 2300, 60};
  const auto raw = drifting(4096, 300, 400);
  std::string out;
  std::size_t i = 0;
  for (auto _ : state) {
    out.clear();
    kestrix::appendCellText(params, raw[i % raw.size()], raw[(i + 1) % raw.size()], false, ".",
                            out);
    benchmark::DoNotOptimize(out.data());
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendCellText)->Arg(1)->Arg(3)->Arg(4)->Arg(5)->Arg(8);

// The digits of doubles: 15 significant digits, as cells away from the
// quick rounding take them (0), and the shortest digits, as limits are
// written (1); of values such as the formulas give.
void BM_DecimalDigits(benchmark::State& state) {
  std::vector<double> values;
  for (const std::int16_t s : drifting(4096, -2000, 30000)) values.push_back(s / 8.0 * 3.93 * 1.09);
  char text[kestrix::kMaxDecimalText];
  std::size_t i = 0;
  for (auto _ : state) {
    const double v = values[i++ % values.size()];
    benchmark::DoNotOptimize(state.range(0) == 0 ? kestrix::writeScientific(v, 14, text)
                                                 : kestrix::writeShortest(v, text));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecimalDigits)->Arg(0)->Arg(1);

// Row dates: formatted afresh, or updated in place.
void BM_AppendRowDate(benchmark::State& state) {
  const kestrix::Regional regional;
  std::string out;
  std::int64_t t = 848'000'000;
  for (auto _ : state) {
    out.clear();
    kestrix::appendRowDate(t += 60, regional, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendRowDate);

void BM_RowDateText(benchmark::State& state) {
  kestrix::RowDateText date(848'000'000, 60, kestrix::Regional{});
  for (auto _ : state) {
    date.next();
    benchmark::DoNotOptimize(date.text().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RowDateText);

// A run of `files` loggers of the benchmark's type mix, 32768 instants each,
// starting three minutes apart.
kestrix::ConversionRun benchRun(int files) {
  static constexpr std::uint8_t types[] = {1, 3, 4, 5, 6, 8};
  std::vector<kestrix::testing::LoggerFileBuilder> builders;
  for (int j = 0; j < files; ++j) {
    const std::uint8_t type = types[j % 6];
    const int channels = kestrix::channelCountOf(type);
    kestrix::testing::LoggerFileBuilder& b = builders.emplace_back();
    b.typeCode(type).intervalCode(7).start(2026, 12, 2, 9, 3 * j % 60, 0).offsetParam(-64);
    b.samples(drifting(static_cast<std::size_t>(32768 * channels), 300 + 13 * j, 600));
  }
  return kestrix::testing::runOf(builders);
}

class CountingSink final : public kestrix::Sink {
 public:
  void write(std::string_view bytes) override { size += bytes.size(); }
  std::size_t size = 0;
};

// Whole tables to a sink that only counts: the row building, without files.
void BM_WriteTable(benchmark::State& state) {
  const kestrix::ConversionRun run = benchRun(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    CountingSink sink;
    kestrix::writeTable(run, sink, kestrix::TableOptions{});
    bytes += sink.size;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(state.iterations() * run.totalRows);
}
BENCHMARK(BM_WriteTable)->Arg(10)->Arg(101)->Unit(benchmark::kMillisecond);

// The same rows one at a time through TableText: the straightforward way.
void BM_TableTextRows(benchmark::State& state) {
  const kestrix::ConversionRun run = benchRun(static_cast<int>(state.range(0)));
  const kestrix::TableText text(run, kestrix::Regional{});
  std::string row;
  std::int64_t r = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    row.clear();
    text.appendRow(r % run.totalRows + 1, row);
    bytes += row.size() + 2;
    ++r;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TableTextRows)->Arg(10)->Arg(101);

}  // namespace

BENCHMARK_MAIN();
