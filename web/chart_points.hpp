// The points the page draws for a time range at a pixel width: for each
// channel, the window's own decimation of its pyramid (chart/'s ChartPlot
// draws the same points), as pairs of single floats that the worker hands
// to the page without a copy per point.
#pragma once

#include <vector>

#include "chart_data.hpp"

namespace kestrix::web {

struct ChartPoints {
  // Per channel: the index of its first pair, its pair count, its lowest and
  // highest value among them (NaN when it has none), and 1 when a row in view
  // holds a value, else 0 (its points may all lie just outside).
  std::vector<double> index;
  // Pairs of (seconds after the range's start, value); a NaN value breaks
  // the line there.
  std::vector<float> pairs;
};

inline constexpr int pointsIndexWidth = 5;

// The points of every channel for keys [fromKey, toKey] across `columns`
// pixel columns: at most a few per column, each row once the rows are fewer;
// `rows` the table's (1-based), in which the rows in view lie.
void fillChartPoints(const chart::ChartData& data, RowRange rows, double fromKey, double toKey,
                     int columns, ChartPoints& out);

// The rows of the table (1-based) that [fromKey, toKey] shows, within `rows`:
// a row on the edge of the range counts as in it, as the window counts them.
RowRange rowsInRange(const chart::ChartData& data, RowRange rows, double fromKey, double toKey);

}  // namespace kestrix::web
