// One chart channel's values with a min/max pyramid over them, so that any
// range of rows can be drawn at any width from a few points per pixel column
// without losing an extreme or bridging a gap.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace kestrix {

// Rows [begin, end) (0-based) of a channel.
struct RowStretch {
  std::int32_t begin = 0;
  std::int32_t end = 0;
};

// What a stretch of rows holds: its extremes (first row of each on ties), its
// first and last row with a value and its first and last row without one.
// A row index of -1 means none.
struct RowSummary {
  float min = std::numeric_limits<float>::infinity();
  float max = -std::numeric_limits<float>::infinity();
  std::int32_t minAt = -1;
  std::int32_t maxAt = -1;
  std::int32_t firstValue = -1;
  std::int32_t lastValue = -1;
  std::int32_t firstGap = -1;
  std::int32_t lastGap = -1;

  bool hasValue() const noexcept { return firstValue >= 0; }
  bool hasGap() const noexcept { return firstGap >= 0; }
  // Adds the rows of `later`, which all come after this summary's rows.
  void append(const RowSummary& later) noexcept;
};

// One point to draw: a row and its value; a NaN value breaks the line there.
// A break's row may lie half-way between two rows.
struct PlotPoint {
  double row = 0;
  float value = 0;
};

class MinMaxPyramid {
 public:
  static constexpr int fanOut = 16;  // rows per block, blocks per next block

  MinMaxPyramid() = default;
  // values[i] is row i's value, NaN for a row without one (blank, "-" or
  // overflow); `overflow` lists the overflowed rows as sorted, disjoint stretches.
  explicit MinMaxPyramid(std::vector<float> values, std::vector<RowStretch> overflow = {});

  std::int64_t size() const noexcept { return static_cast<std::int64_t>(values_.size()); }
  float value(std::int64_t row) const noexcept { return values_[static_cast<std::size_t>(row)]; }
  bool overflowed(std::int64_t row) const noexcept;

  // Exact summary of rows [first, end), clamped to the channel.
  RowSummary summarize(std::int64_t first, std::int64_t end) const noexcept;

  // The points that draw rows [first, end) across `columns` pixel columns:
  // each row when they are few; otherwise, per column, the lowest and highest
  // value in row order (and the first and last where the column holds a gap),
  // with a break wherever a row without value lies between two of them.
  // Appends to `out`.
  void decimate(std::int64_t first, std::int64_t end, int columns,
                std::vector<PlotPoint>& out) const;

  // The overflowed stretches meeting rows [first, end); stretches less than
  // `joinGap` rows apart are given as one.
  std::vector<RowStretch> overflowIn(std::int64_t first, std::int64_t end,
                                     std::int64_t joinGap = 1) const;

  // Bytes held, for the memory budget.
  std::size_t memoryBytes() const noexcept;

 private:
  RowSummary rowSummary(std::int64_t row) const noexcept;
  // The first overflow stretch that ends after `row`.
  std::vector<RowStretch>::const_iterator firstStretchAfter(std::int64_t row) const noexcept;
  // Summary of units [u0, u1) of level `level` (level 0: single rows).
  RowSummary unitsSummary(int level, std::int64_t u0, std::int64_t u1) const noexcept;
  void appendPoints(const RowSummary& s, std::vector<PlotPoint>& out) const;

  std::vector<float> values_;
  std::vector<RowStretch> overflow_;
  std::vector<std::vector<RowSummary>> levels_;  // levels_[k]: blocks of fanOut^(k+1) rows
};

class TableValues;

// The pyramid of a table column: row r of the table is row r - 1 here, a
// number's value is its tenths / 10 as a float, and the cells reading
// "overflow" make the overflow stretches.
MinMaxPyramid columnPyramid(const TableValues& table, std::size_t column);

}  // namespace kestrix
