#include "minmax_pyramid.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "cell_values.hpp"

namespace kestrix {

void RowSummary::append(const RowSummary& later) noexcept {
  if (later.hasValue()) {
    if (later.min < min) {
      min = later.min;
      minAt = later.minAt;
    }
    if (later.max > max) {
      max = later.max;
      maxAt = later.maxAt;
    }
    if (firstValue < 0) firstValue = later.firstValue;
    lastValue = later.lastValue;
  }
  if (later.hasGap()) {
    if (firstGap < 0) firstGap = later.firstGap;
    lastGap = later.lastGap;
  }
}

namespace {

constexpr std::int64_t blockRows(int level) noexcept {
  std::int64_t rows = 1;
  for (int k = 0; k < level; ++k) rows *= MinMaxPyramid::fanOut;
  return rows;
}

// The summary of rows [begin, end).
RowSummary scanRows(const float* values, std::int32_t begin, std::int32_t end) noexcept {
  RowSummary s;
  for (std::int32_t i = begin; i < end; ++i) {
    const float v = values[i];
    if (std::isnan(v)) {
      if (s.firstGap < 0) s.firstGap = i;
      s.lastGap = i;
      continue;
    }
    if (v < s.min) {
      s.min = v;
      s.minAt = i;
    }
    if (v > s.max) {
      s.max = v;
      s.maxAt = i;
    }
    if (s.firstValue < 0) s.firstValue = i;
    s.lastValue = i;
  }
  return s;
}

}  // namespace

MinMaxPyramid::MinMaxPyramid(std::vector<float> values, std::vector<RowStretch> overflow)
    : values_(std::move(values)), overflow_(std::move(overflow)) {
  const auto n = static_cast<std::int64_t>(values_.size());
  if (n == 0) return;
  std::vector<RowSummary> blocks;
  blocks.reserve(static_cast<std::size_t>((n + fanOut - 1) / fanOut));
  for (std::int64_t b = 0; b < n; b += fanOut) {
    blocks.push_back(scanRows(values_.data(), static_cast<std::int32_t>(b),
                              static_cast<std::int32_t>(std::min(b + fanOut, n))));
  }
  levels_.push_back(std::move(blocks));
  while (levels_.back().size() > 1) {
    const std::vector<RowSummary>& below = levels_.back();
    std::vector<RowSummary> above;
    above.reserve((below.size() + fanOut - 1) / fanOut);
    for (std::size_t b = 0; b < below.size(); b += fanOut) {
      RowSummary s = below[b];
      const std::size_t end = std::min(b + fanOut, below.size());
      for (std::size_t k = b + 1; k < end; ++k) s.append(below[k]);
      above.push_back(s);
    }
    levels_.push_back(std::move(above));
  }
}

std::vector<RowStretch>::const_iterator MinMaxPyramid::firstStretchAfter(
    std::int64_t row) const noexcept {
  return std::upper_bound(overflow_.begin(), overflow_.end(), row,
                          [](std::int64_t r, const RowStretch& s) { return r < s.end; });
}

bool MinMaxPyramid::overflowed(std::int64_t row) const noexcept {
  const auto it = firstStretchAfter(row);
  return it != overflow_.end() && it->begin <= row;
}

RowSummary MinMaxPyramid::rowSummary(std::int64_t row) const noexcept {
  return scanRows(values_.data(), static_cast<std::int32_t>(row),
                  static_cast<std::int32_t>(row + 1));
}

RowSummary MinMaxPyramid::unitsSummary(int level, std::int64_t u0, std::int64_t u1) const noexcept {
  if (level == 0) {
    return scanRows(values_.data(), static_cast<std::int32_t>(u0), static_cast<std::int32_t>(u1));
  }
  const std::vector<RowSummary>& blocks = levels_[static_cast<std::size_t>(level - 1)];
  u1 = std::min<std::int64_t>(u1, static_cast<std::int64_t>(blocks.size()));
  RowSummary s;
  for (std::int64_t u = u0; u < u1; ++u) s.append(blocks[static_cast<std::size_t>(u)]);
  return s;
}

RowSummary MinMaxPyramid::summarize(std::int64_t first, std::int64_t end) const noexcept {
  first = std::max<std::int64_t>(first, 0);
  end = std::min(end, size());
  RowSummary s;
  std::int64_t row = first;
  while (row < end) {
    // The largest whole block that starts here and ends in the range.
    int level = 0;
    while (level < static_cast<int>(levels_.size())) {
      const std::int64_t rows = blockRows(level + 1);
      if (row % rows != 0 || row + rows > end) break;
      ++level;
    }
    const std::int64_t rows = blockRows(level);
    if (level == 0) {
      s.append(rowSummary(row));
    } else {
      s.append(levels_[static_cast<std::size_t>(level - 1)][static_cast<std::size_t>(row / rows)]);
    }
    row += rows;
  }
  return s;
}

void MinMaxPyramid::appendPoints(const RowSummary& s, std::vector<PlotPoint>& out) const {
  auto pushBreak = [&](double row) {
    if (out.empty() || !std::isnan(out.back().value)) out.push_back({row, NAN});
  };
  if (!s.hasValue()) {
    if (s.hasGap()) pushBreak(s.firstGap);
    return;
  }
  // A column without gap is drawn as a stroke from its lowest to its highest
  // value: its first and last value lie between them, so the pixels are the same.
  std::int32_t rows[4] = {s.firstValue, std::min(s.minAt, s.maxAt), std::max(s.minAt, s.maxAt),
                          s.lastValue};
  std::int32_t* begin = rows;
  std::int32_t* last = rows + 4;
  if (!s.hasGap()) {
    ++begin;
    --last;
  }
  const std::int32_t* end = std::unique(begin, last);
  if (s.hasGap() && s.firstGap < *begin) pushBreak(s.firstGap);
  for (const std::int32_t* r = begin; r != end; ++r) {
    if (r != begin && s.hasGap() && s.firstGap < *r && s.lastGap > r[-1]) {
      pushBreak(s.firstGap > r[-1] ? s.firstGap : r[-1] + 0.5);
    }
    // The extremes travel with the summary: reading them from the values
    // would cost a cache miss per point on a wide view.
    const float v = *r == s.minAt   ? s.min
                    : *r == s.maxAt ? s.max
                                    : values_[static_cast<std::size_t>(*r)];
    out.push_back({static_cast<double>(*r), v});
  }
  if (s.hasGap() && s.lastGap > end[-1]) pushBreak(s.lastGap);
}

void MinMaxPyramid::decimate(std::int64_t first, std::int64_t end, int columns,
                             std::vector<PlotPoint>& out) const {
  first = std::max<std::int64_t>(first, 0);
  end = std::min(end, size());
  const std::int64_t n = end - first;
  if (n <= 0) return;
  columns = std::max(columns, 1);
  if (n <= 2 * static_cast<std::int64_t>(columns)) {
    for (std::int64_t row = first; row < end; ++row) appendPoints(rowSummary(row), out);
    return;
  }
  // Whole blocks of the largest size that still fits in one column: each
  // block lands in the column of its first row, at most one column off.
  int level = 0;
  while (level < static_cast<int>(levels_.size()) && blockRows(level + 1) <= n / columns) ++level;
  const std::int64_t unit = blockRows(level);
  const std::int64_t lastUnit = (end + unit - 1) / unit;
  std::int64_t u0 = first / unit;
  for (int c = 1; c <= columns; ++c) {
    const std::int64_t u1 = c == columns ? lastUnit : (first + c * n / columns) / unit;
    if (u1 > u0) {
      appendPoints(unitsSummary(level, u0, u1), out);
      u0 = u1;
    }
  }
}

std::vector<RowStretch> MinMaxPyramid::overflowIn(std::int64_t first, std::int64_t end,
                                                  std::int64_t joinGap) const {
  std::vector<RowStretch> out;
  for (auto it = firstStretchAfter(first); it != overflow_.end() && it->begin < end; ++it) {
    if (!out.empty() && it->begin - out.back().end < joinGap) {
      out.back().end = it->end;
    } else {
      out.push_back(*it);
    }
  }
  return out;
}

std::size_t MinMaxPyramid::memoryBytes() const noexcept {
  std::size_t bytes =
      values_.capacity() * sizeof(float) + overflow_.capacity() * sizeof(RowStretch);
  for (const auto& level : levels_) bytes += level.capacity() * sizeof(RowSummary);
  return bytes;
}

MinMaxPyramid columnPyramid(const TableValues& table, std::size_t column) {
  const std::int64_t rows = table.rowCount();
  std::vector<float> values(static_cast<std::size_t>(rows));
  std::vector<RowStretch> overflow;
  constexpr std::int64_t chunk = 4096;
  std::array<CellValue, chunk> cells;
  for (std::int64_t first = 0; first < rows; first += chunk) {
    const std::int64_t n = std::min(chunk, rows - first);
    table.cells(column, first + 1, n, cells.data());
    for (std::int64_t i = 0; i < n; ++i) {
      const CellValue& cell = cells[static_cast<std::size_t>(i)];
      const auto row = static_cast<std::int32_t>(first + i);
      float& v = values[static_cast<std::size_t>(row)];
      if (cell.kind == CellKind::Number) {
        v = static_cast<float>(static_cast<double>(cell.tenths) / 10.0);
        continue;
      }
      v = NAN;
      if (cell.kind != CellKind::Overflow) continue;
      if (!overflow.empty() && overflow.back().end == row) {
        ++overflow.back().end;
      } else {
        overflow.push_back({row, row + 1});
      }
    }
  }
  return MinMaxPyramid(std::move(values), std::move(overflow));
}

}  // namespace kestrix
