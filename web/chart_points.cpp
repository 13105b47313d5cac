#include "chart_points.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrix::web {

void fillChartPoints(const chart::ChartData& data, RowRange rows, double fromKey, double toKey,
                     int columns, ChartPoints& out) {
  const auto& channels = data.channels();
  out.index.assign(channels.size() * pointsIndexWidth, 0.0);
  const float none = std::numeric_limits<float>::quiet_NaN();
  for (std::size_t c = 0; c < channels.size(); ++c) {
    out.index[c * pointsIndexWidth + 2] = none;
    out.index[c * pointsIndexWidth + 3] = none;
  }
  out.pairs.clear();
  const double rowCount = static_cast<double>(data.rowCount());
  auto clampRow = [rowCount](double row) {
    return static_cast<std::int64_t>(std::clamp(row, 0.0, rowCount));
  };
  // The rows either side of the range too, so that the lines run to its edges.
  const std::int64_t first = clampRow(std::floor(data.rowOfKey(fromKey)));
  const std::int64_t end = clampRow(std::ceil(data.rowOfKey(toKey)) + 1);
  if (end <= first) return;
  columns = std::max(columns, 1);
  // Rows ahead of the range's start: exact in a float for any view of a few
  // years' run at one second a pixel, which no float of absolute seconds is.
  const double firstKey = data.keyOfRow(0) - fromKey;
  const double step = data.keyOfRow(1) - data.keyOfRow(0);
  const RowRange inView = rowsInRange(data, rows, fromKey, toKey);
  std::vector<PlotPoint> points;
  for (std::size_t c = 0; c < channels.size(); ++c) {
    points.clear();
    channels[c].series.decimate(first, end, columns, points);
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    const std::size_t at = out.pairs.size();
    out.pairs.resize(at + 2 * points.size());
    float* pair = out.pairs.data() + at;
    for (const PlotPoint& p : points) {
      *pair++ = static_cast<float>(firstKey + p.row * step);
      *pair++ = p.value;
      low = std::min(low, p.value);  // NaN never wins a comparison
      high = std::max(high, p.value);
    }
    double* index = out.index.data() + c * pointsIndexWidth;
    index[0] = static_cast<double>(at / 2);
    index[1] = static_cast<double>(points.size());
    index[2] = low <= high ? low : none;
    index[3] = low <= high ? high : none;
    index[4] = inView.count() > 0 &&
               channels[c].series.summarize(inView.first - 1, inView.last).hasValue();
  }
}

RowRange rowsInRange(const chart::ChartData& data, RowRange rows, double fromKey, double toKey) {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, data.rowCount());
  if (rows.count() <= 0) return {1, 0};
  auto first = static_cast<std::int64_t>(std::ceil(data.rowOfKey(fromKey) - 1e-6)) + 1;
  auto last = static_cast<std::int64_t>(std::floor(data.rowOfKey(toKey) + 1e-6)) + 1;
  first = std::clamp(first, rows.first, rows.last);
  last = std::clamp(last, first, rows.last);
  return {first, last};
}

}  // namespace kestrix::web
