#include "minmax_pyramid.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cell_values.hpp"
#include "column_plan.hpp"

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

#if defined(__SSE2__)

constexpr std::int32_t magnitudeBits = 0x7fffffff;
constexpr std::int32_t infinityBits = 0x7f800000;

RowSummary blockSummary(const float* values, std::int32_t begin, int minAt, int maxAt) noexcept {
  RowSummary s;
  s.minAt = begin + minAt;
  s.maxAt = begin + maxAt;
  s.min = values[s.minAt];
  s.max = values[s.maxAt];
  s.firstValue = begin;
  s.lastValue = begin + MinMaxPyramid::fanOut - 1;
  return s;
}

RowSummary gapBlock(std::int32_t begin) noexcept {
  RowSummary s;
  s.firstGap = begin;
  s.lastGap = begin + MinMaxPyramid::fanOut - 1;
  return s;
}

// The summary of a whole block of fanOut rows, the common cases without a
// branch per row: each value's bits read as an integer that orders as the
// float does, the extremes of those, then the first rows holding them. A
// block with a gap among values is scanned row by row. Four lanes at a time;
// SSE2 has no signed minimum of 32-bit lanes, hence the masks.
RowSummary scanBlock(const float* values, std::int32_t begin) noexcept {
  static_assert(MinMaxPyramid::fanOut == 16);
  const __m128i magnitude = _mm_set1_epi32(magnitudeBits);
  const __m128i infinity = _mm_set1_epi32(infinityBits);
  const __m128i zero = _mm_setzero_si128();
  __m128i keys[4];
  __m128i anyGap = zero;
  __m128i allGap = _mm_set1_epi32(-1);
  for (int j = 0; j < 4; ++j) {
    const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + begin + 4 * j));
    const __m128i size = _mm_and_si128(bits, magnitude);
    const __m128i nan = _mm_cmpgt_epi32(size, infinity);
    anyGap = _mm_or_si128(anyGap, nan);
    allGap = _mm_and_si128(allGap, nan);
    // Negative floats order backwards as integers: their magnitude bits
    // flipped. -0 reads as +0, as a comparison of floats has it.
    const __m128i flipped = _mm_xor_si128(bits, _mm_and_si128(_mm_srai_epi32(bits, 31), magnitude));
    keys[j] = _mm_andnot_si128(_mm_cmpeq_epi32(size, zero), flipped);
  }
  if (_mm_movemask_epi8(allGap) == 0xffff) return gapBlock(begin);
  if (_mm_movemask_epi8(anyGap) != 0) return scanRows(values, begin, begin + 16);
  auto min = [](__m128i a, __m128i b) {
    const __m128i bLess = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(bLess, b), _mm_andnot_si128(bLess, a));
  };
  auto max = [](__m128i a, __m128i b) {
    const __m128i bMore = _mm_cmpgt_epi32(b, a);
    return _mm_or_si128(_mm_and_si128(bMore, b), _mm_andnot_si128(bMore, a));
  };
  __m128i low = min(min(keys[0], keys[1]), min(keys[2], keys[3]));
  __m128i high = max(max(keys[0], keys[1]), max(keys[2], keys[3]));
  // Every lane the extreme of all four.
  low = min(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(1, 0, 3, 2)));
  low = min(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(2, 3, 0, 1)));
  high = max(high, _mm_shuffle_epi32(high, _MM_SHUFFLE(1, 0, 3, 2)));
  high = max(high, _mm_shuffle_epi32(high, _MM_SHUFFLE(2, 3, 0, 1)));
  unsigned lows = 0, highs = 0;
  for (int j = 0; j < 4; ++j) {
    lows |= static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(keys[j], low))))
            << (4 * j);
    highs |=
        static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(keys[j], high))))
        << (4 * j);
  }
  return blockSummary(values, begin, std::countr_zero(lows), std::countr_zero(highs));
}

#else

RowSummary scanBlock(const float* values, std::int32_t begin) noexcept {
  return scanRows(values, begin, begin + MinMaxPyramid::fanOut);
}

#endif

// out[i] = codes[i]'s tenths / 10 as a float (rounded from the double, as
// the summary and the table read it), NaN for a cell without a number.
void tenthsToValues(const std::int32_t* codes, std::int64_t n, float* out) noexcept {
  // Up to 2^24 tenths a float holds them exactly, and dividing in float
  // rounds alike (checked for every one of them): four at a time, where the
  // double division takes one. The loops are written without a branch so
  // that the compiler can do them so.
  constexpr std::int32_t exactTenths = std::int32_t{1} << 24;
  // The compilers' bit_cast: the browser's standard library has no std::bit_cast.
  constexpr auto nanBits =
      __builtin_bit_cast(std::uint32_t, std::numeric_limits<float>::quiet_NaN());
  auto store = [](std::int32_t code, float v, float* to) {
    const std::uint32_t gap = code > cellCodeNoNumber ? 0u : ~0u;
    *to =
        __builtin_bit_cast(float, (__builtin_bit_cast(std::uint32_t, v) & ~gap) | (nanBits & gap));
  };
  std::int32_t inexact = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int32_t tenths = codes[i] - cellCodeBias;
    inexact |= (codes[i] > cellCodeNoNumber) & ((tenths < -exactTenths) | (tenths > exactTenths));
  }
  if (inexact == 0) {
    for (std::int64_t i = 0; i < n; ++i)
      store(codes[i], static_cast<float>(codes[i] - cellCodeBias) / 10.0f, out + i);
  } else {
    for (std::int64_t i = 0; i < n; ++i)
      store(codes[i], static_cast<float>(static_cast<double>(codes[i] - cellCodeBias) / 10.0),
            out + i);
  }
}

}  // namespace

MinMaxPyramid::MinMaxPyramid(std::vector<float> values, std::vector<RowStretch> overflow)
    : values_(std::move(values)), overflow_(std::move(overflow)) {
  const auto n = static_cast<std::int64_t>(values_.size());
  if (n == 0) return;
  std::vector<RowSummary> blocks;
  blocks.reserve(static_cast<std::size_t>((n + fanOut - 1) / fanOut));
  for (std::int64_t b = 0; b < n; b += fanOut) {
    blocks.push_back(b + fanOut <= n ? scanBlock(values_.data(), static_cast<std::int32_t>(b))
                                     : scanRows(values_.data(), static_cast<std::int32_t>(b),
                                                static_cast<std::int32_t>(n)));
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
  if (!s.hasGap()) {  // the common case, straight
    if (s.minAt == s.maxAt) {
      out.push_back({static_cast<double>(s.minAt), s.min});
    } else if (s.minAt < s.maxAt) {
      out.push_back({static_cast<double>(s.minAt), s.min});
      out.push_back({static_cast<double>(s.maxAt), s.max});
    } else {
      out.push_back({static_cast<double>(s.maxAt), s.max});
      out.push_back({static_cast<double>(s.minAt), s.min});
    }
    return;
  }
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
  // At most four points and a break or two per column.
  out.reserve(out.size() + static_cast<std::size_t>(std::min<std::int64_t>(n, 6 * columns)));
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

namespace {

// A column sampling every `stride` table rows from row index `at`: each
// slot's value moved to its row, the rows between two values on the straight
// line from one to the other, so that the chart draws a line through the
// column's samples; rows next to a slot without a value stay without one.
void spreadSlots(std::vector<float>& values, std::int64_t slots, std::int64_t at,
                 std::int64_t stride) {
  const auto rows = static_cast<std::int64_t>(values.size());
  for (std::int64_t s = slots - 1; s >= 0; --s) {
    const std::int64_t row = at + s * stride;
    const float v = values[static_cast<std::size_t>(s)];
    values[static_cast<std::size_t>(s)] = std::numeric_limits<float>::quiet_NaN();
    if (row < rows) values[static_cast<std::size_t>(row)] = v;
  }
  for (std::int64_t s = 0; s + 1 < slots; ++s) {
    const std::int64_t row = at + s * stride;
    if (row + stride >= rows) break;
    const float from = values[static_cast<std::size_t>(row)];
    const float to = values[static_cast<std::size_t>(row + stride)];
    if (std::isnan(from) || std::isnan(to)) continue;
    for (std::int64_t k = 1; k < stride; ++k) {
      values[static_cast<std::size_t>(row + k)] = static_cast<float>(
          from + (to - from) * static_cast<double>(k) / static_cast<double>(stride));
    }
  }
}

}  // namespace

MinMaxPyramid columnPyramid(const TableValues& table, std::size_t column) {
  const std::int64_t rows = table.rowCount();
  const std::int64_t slots = table.slotCount(column);
  std::vector<float> values(static_cast<std::size_t>(std::max(rows, slots)),
                            std::numeric_limits<float>::quiet_NaN());
  // Four-byte codes rather than CellValues: a quarter of the bytes to write
  // and read back, and no branch on a cell's kind.
  constexpr std::int64_t chunk = 4096;
  std::array<std::int32_t, chunk> codes;
  for (std::int64_t first = 0; first < slots; first += chunk) {
    const std::int64_t n = std::min(chunk, slots - first);
    table.cellCodes(column, first + 1, n, codes.data());
    tenthsToValues(codes.data(), n, values.data() + first);
  }
  const ColumnPlan& plan = table.run().columns[table.column(column).column];
  if (plan.stride > 1 || plan.phase > 0) spreadSlots(values, slots, plan.phase, plan.stride);
  values.resize(static_cast<std::size_t>(rows));
  // The cells that read "overflow" are the rows of the column's overflow
  // pieces (the first row's own text aside, which only a piece of samples shows).
  std::vector<RowStretch> overflow;
  for (const ColumnPiece& piece : plan.pieces(table.includesOverflowed())) {
    if (piece.shows != RowShows::Overflow) continue;
    const auto begin = static_cast<std::int32_t>(
        std::max<std::int64_t>(plan.tableRow(std::max<std::int64_t>(piece.rows.first, 1)), 1) - 1);
    const auto end = static_cast<std::int32_t>(std::min(plan.tableRow(piece.rows.last), rows));
    if (end <= begin) continue;
    if (!overflow.empty() && overflow.back().end == begin) {
      overflow.back().end = end;
    } else {
      overflow.push_back({begin, end});
    }
  }
  return MinMaxPyramid(std::move(values), std::move(overflow));
}

}  // namespace kestrix
