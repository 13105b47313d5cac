#include "column_plan.hpp"

#include <algorithm>

#include "run.hpp"

namespace kestrix {

namespace {

// a / b rounded down (b > 0).
std::int64_t floorDivide(std::int64_t a, std::int64_t b) noexcept {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

std::int64_t overflowPositions(const LoggerFile& file, bool includeOverflowed) noexcept {
  const std::int64_t lost = std::int64_t{file.sampleCount} - file.memorySize;
  const std::int64_t margin = includeOverflowed || file.interval <= 0 ? 0 : 120 / file.interval;
  return std::max<std::int64_t>(0, std::min<std::int64_t>(file.sampleCount, lost + margin));
}

FilePlan planFile(const LoggerFile& file, std::size_t index, std::int64_t offset) {
  FilePlan plan;
  plan.file = index;
  plan.offset = offset;
  plan.rows = {offset + 1, offset + file.sampleCount};
  plan.twoChannels = file.channelCount == 2;
  plan.formula = {file.typeCode, file.offsetParam, file.factorParam, file.interval};
  plan.reduced = reduceFormula(plan.formula);

  // The positions the column stores (both channels' samples for a
  // two-channel file, whose slots interleave them).
  const std::int64_t base = file.samples.base();
  const std::int64_t stored = file.samples.size();
  const std::int64_t storedFrom = plan.twoChannels ? (base + 3) / 2 : base + 1;
  const std::int64_t storedTo = plan.twoChannels ? (base + stored) / 2 : base + stored;
  for (const bool includeOverflowed : {false, true}) {
    const std::int64_t overflowTo = overflowPositions(file, includeOverflowed);
    FilePlan::Stretches& s = includeOverflowed ? plan.withoutMargin : plan.withMargin;
    s.overflow = {offset + 1, offset + overflowTo};
    s.samples = {offset + std::max({std::int64_t{1}, overflowTo + 1, storedFrom}),
                 offset + std::min(std::int64_t{file.sampleCount}, storedTo)};
  }
  return plan;
}

std::int64_t ColumnPlan::slotAt(std::int64_t row) const noexcept {
  const std::int64_t from = row - 1 - phase;
  if (from < 0 || from % stride != 0) return 0;
  return from / stride + 1;
}

RowRange ColumnPlan::slotsIn(RowRange rows) const noexcept {
  if (rows.empty()) return {1, 0};
  const RowRange slots{std::max<std::int64_t>(1, floorDivide(rows.first - 2 - phase, stride) + 2),
                       floorDivide(rows.last - 1 - phase, stride) + 1};
  return slots.empty() ? RowRange{slots.first, slots.first - 1} : slots;
}

std::size_t ColumnPlan::firstPieceFrom(std::int64_t row, bool includeOverflowed) const noexcept {
  const std::vector<ColumnPiece>& all = pieces(includeOverflowed);
  const auto at = std::partition_point(all.begin(), all.end(),
                                       [row](const ColumnPiece& p) { return p.rows.last < row; });
  return static_cast<std::size_t>(at - all.begin());
}

const ColumnPiece* ColumnPlan::pieceAt(std::int64_t row, bool includeOverflowed) const noexcept {
  const std::vector<ColumnPiece>& all = pieces(includeOverflowed);
  const std::size_t at = firstPieceFrom(row, includeOverflowed);
  return at < all.size() && all[at].rows.contains(row) ? &all[at] : nullptr;
}

ColumnPlan plainColumn(FilePlan plan) {
  ColumnPlan column;
  for (const bool includeOverflowed : {false, true}) {
    const FilePlan::Stretches& s = plan.stretches(includeOverflowed);
    std::vector<ColumnPiece>& pieces =
        includeOverflowed ? column.piecesWithoutMargin : column.piecesWithMargin;
    // The overflow rows come before the samples' (overflowPositions).
    if (!s.overflow.empty()) pieces.push_back({s.overflow, RowShows::Overflow, 0});
    if (!s.samples.empty()) pieces.push_back({s.samples, RowShows::Samples, 0});
  }
  column.files.push_back(std::move(plan));
  return column;
}

}  // namespace kestrix
