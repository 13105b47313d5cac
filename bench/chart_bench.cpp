// kestrix-chartbench [--limits FILE] FILE...: the chart of a run on the
// offscreen platform. Prints, one per line: the milliseconds until the chart
// is ready (values read, pyramids built, first frame of 1600x900 drawn), the
// median and worst redraw after a zoom or pan step, the memory the chart
// added (MiB of resident set) and the milliseconds of the PDF report. With
// --limits, the rules of FILE are checked, drawn and shaded first (and the
// time that took printed); the report stays without them, as a measure of
// the chart's.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "chart_data.hpp"
#include "chart_plot.hpp"
#include "chart_report.hpp"
#include "limits_file.hpp"

namespace {

using kestrix::bench::Clock;
using kestrix::bench::millisecondsSince;

// Resident set in KiB, from /proc.
long residentKib() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word)
    if (word == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::vector<kestrix::LimitRule>> rules;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--limits") {
    rules = kestrix::readLimitsFile(argv[2]);
    first = 3;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: kestrix-chartbench [--limits FILE] FILE...\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const auto run = std::make_shared<const kestrix::ConversionRun>(
      kestrix::bench::readRun(argc - first, argv + first));
  // The files' bytes in memory before the chart starts, as after a run.
  volatile long touch = 0;
  for (const auto& f : run->files)
    for (std::int64_t i = 0; i < f.samples.size(); i += 1024)
      touch = touch + f.samples.at(f.samples.base() + 1 + i).value_or(0);

  const long before = residentKib();
  const auto start = Clock::now();
  auto data = std::make_shared<const kestrix::chart::ChartData>(run);
  const double dataMs = millisecondsSince(start);
  kestrix::chart::ChartPlot plot(data);
  double limitsMs = 0;
  std::size_t excursions = 0;
  if (rules) {
    const auto t = Clock::now();
    auto limits = std::make_shared<const kestrix::chart::ChartLimits>(*data, *rules);
    excursions = limits->excursionCount();
    plot.setLimits(std::move(limits));
    limitsMs = millisecondsSince(t);
  }
  plot.resize(1600, 900);
  plot.show();
  plot.replot();
  const double readyMs = millisecondsSince(start);
  const long after = residentKib();

  // Zoom in step by step, pan across, zoom back out: each step redrawn.
  std::vector<double> redraws, updates;
  auto step = [&](auto&& change) {
    const auto t = Clock::now();
    change();
    plot.replot();
    redraws.push_back(millisecondsSince(t));
    updates.push_back(plot.lastUpdateMs());
  };
  for (int i = 0; i < 8; ++i) step([&] { plot.zoomTime(0.5); });
  for (int i = 0; i < 8; ++i) step([&] { plot.panTime(0.3); });
  for (int i = 0; i < 8; ++i) step([&] { plot.zoomTime(2); });
  for (int i = 0; i < 4; ++i) step([&] { plot.panTime(-0.1); });
  std::sort(redraws.begin(), redraws.end());
  std::sort(updates.begin(), updates.end());

  const auto pdfStart = Clock::now();
  const std::filesystem::path pdf = std::filesystem::temp_directory_path() / "kestrix-bench.pdf";
  kestrix::chart::writeChartReport(data, pdf);
  const double pdfMs = millisecondsSince(pdfStart);
  std::filesystem::remove(pdf);

  std::printf("rows %lld channels %zu\n", static_cast<long long>(data->rowCount()),
              data->channels().size());
  std::printf("values and pyramids %.1f ms\n", dataMs);
  if (rules)
    std::printf("limits %.1f ms (%zu excursions, checked and marked)\n", limitsMs, excursions);
  std::printf("ready %.1f ms\n", readyMs);
  std::printf("redraw median %.1f ms worst %.1f ms (points: median %.1f ms)\n",
              redraws[redraws.size() / 2], redraws.back(), updates[updates.size() / 2]);
  std::printf("memory %.1f MiB (pyramids %.1f MiB)\n", static_cast<double>(after - before) / 1024,
              static_cast<double>(data->memoryBytes()) / 1048576.0);
  std::printf("report %.1f ms\n", pdfMs);
  return 0;
}
