#include "column_plan.hpp"

#include <algorithm>

#include "run.hpp"

namespace kestrix {

std::int64_t overflowPositions(const LoggerFile& file, int runInterval,
                               bool includeOverflowed) noexcept {
  const std::int64_t lost = std::int64_t{file.sampleCount} - file.memorySize;
  const std::int64_t margin = includeOverflowed ? 0 : 120 / runInterval;
  return std::max<std::int64_t>(0, std::min<std::int64_t>(file.sampleCount, lost + margin));
}

FilePlan planFile(const LoggerFile& file, std::size_t index, std::int64_t offset, int runInterval) {
  FilePlan plan;
  plan.file = index;
  plan.offset = offset;
  plan.rows = {offset + 1, offset + file.sampleCount};
  plan.twoChannels = file.channelCount == 2;
  plan.formula = {file.typeCode, file.offsetParam, file.factorParam, runInterval};
  plan.reduced = reduceFormula(plan.formula);

  // The positions the column stores (both channels' samples for a
  // two-channel file, whose slots interleave them).
  const std::int64_t base = file.samples.base();
  const std::int64_t stored = file.samples.size();
  const std::int64_t storedFrom = plan.twoChannels ? (base + 3) / 2 : base + 1;
  const std::int64_t storedTo = plan.twoChannels ? (base + stored) / 2 : base + stored;
  for (const bool includeOverflowed : {false, true}) {
    const std::int64_t overflowTo = overflowPositions(file, runInterval, includeOverflowed);
    FilePlan::Stretches& s = includeOverflowed ? plan.withoutMargin : plan.withMargin;
    s.overflow = {offset + 1, offset + overflowTo};
    s.samples = {offset + std::max({std::int64_t{1}, overflowTo + 1, storedFrom}),
                 offset + std::min(std::int64_t{file.sampleCount}, storedTo)};
  }
  return plan;
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
