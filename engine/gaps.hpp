// Gaps: where a channel holds no value between its first and last one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cell_values.hpp"
#include "row_range.hpp"
#include "sink.hpp"
#include "text_format.hpp"

namespace kestrix {

// What the cells of a gap read.
enum class GapCells : std::uint8_t { Blank, Overflow, Mixed };

// "blank", "overflow" or "mixed".
std::string_view gapCellsText(GapCells cells) noexcept;

struct Gap {
  std::size_t column = 0;  // in the values
  RowRange rows;           // a longest run of the column's slots without a value
  GapCells cells = GapCells::Blank;
};

// The gaps of every column of `values` inside `rows`, in column order, then
// by row: the longest runs of cells holding no value (blank or "overflow")
// between the column's first and last value there. A first row's "-" counts
// as a value.
std::vector<Gap> findGaps(const TableValues& values, RowRange rows);

// The gap list: a line of column names, then one TAB-separated line per gap
// (channel, start, end: the date of the row after it, duration h:mm:ss,
// cells), each ending in CR LF, as `format` writes texts and dates.
void writeGaps(const std::vector<Gap>& gaps, const TableValues& values, Sink& sink,
               const TextFormat& format);

}  // namespace kestrix
