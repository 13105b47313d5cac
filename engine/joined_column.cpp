#include "joined_column.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <utility>

#include "run.hpp"

namespace kestrix {

namespace {

// The rows where a plan shows a value: its samples' rows without those whose
// sample(s) the file lacks (`absent` positions, in order).
std::vector<RowRange> valueRows(const FilePlan& plan, bool includeOverflowed,
                                const std::vector<std::pair<std::int64_t, std::int64_t>>& absent) {
  const RowRange samples = plan.stretches(includeOverflowed).samples;
  std::vector<RowRange> rows;
  if (samples.empty()) return rows;
  std::int64_t from = samples.first;
  for (const auto& [first, last] : absent) {
    // A two-channel row shows positions 2p - 1 and 2p.
    const RowRange lacking =
        plan.twoChannels ? RowRange{(first + 1) / 2 + plan.offset, (last + 1) / 2 + plan.offset}
                         : RowRange{first + plan.offset, last + plan.offset};
    if (lacking.last < from) continue;
    if (lacking.first > samples.last) break;
    if (lacking.first > from) rows.push_back({from, lacking.first - 1});
    from = lacking.last + 1;
  }
  if (from <= samples.last) rows.push_back({from, samples.last});
  return rows;
}

// Reads the raw samples a plan shows in rows, two a row for a two-channel file.
class RawRows {
 public:
  RawRows(const FilePlan& plan, const SampleColumn& samples) : plan_(plan), samples_(samples) {}

  // Rows first .. first + n - 1, all showing values, into out (n or 2n samples).
  void read(std::int64_t first, std::int64_t n, std::int16_t* out) const {
    const std::int64_t p = plan_.position(first);
    if (plan_.twoChannels)
      samples_.decode(2 * p - 2 - samples_.base(), 2 * n, out);
    else
      samples_.decode(p - 1 - samples_.base(), n, out);
  }

 private:
  const FilePlan& plan_;
  const SampleColumn& samples_;
};

// Counts the rows first .. last where some file of `others` holds other raw
// samples than `newest`.
class ConflictCounter {
 public:
  void count(const RawRows& newest, const std::vector<const RawRows*>& others, std::int64_t first,
             std::int64_t last, int samplesPerRow, JoinCounts& counts) {
    for (std::int64_t r = first; r <= last; r += kChunk) {
      const std::int64_t n = std::min(kChunk, last - r + 1);
      newest.read(r, n, mine_.data());
      std::fill(differs_.begin(), differs_.begin() + n, false);
      const auto samples = static_cast<std::size_t>(n * samplesPerRow);
      for (const RawRows* other : others) {
        other->read(r, n, theirs_.data());
        // Downloads mostly agree: a chunk at a time first.
        if (std::memcmp(mine_.data(), theirs_.data(), samples * sizeof mine_[0]) == 0) continue;
        for (std::size_t k = 0; k < samples; ++k) {
          if (mine_[k] != theirs_[k]) differs_[k / static_cast<std::size_t>(samplesPerRow)] = true;
        }
      }
      for (std::int64_t k = 0; k < n; ++k) {
        if (!differs_[static_cast<std::size_t>(k)]) continue;
        ++counts.conflicting;
        if (counts.firstConflict == 0) counts.firstConflict = r + k;
      }
    }
  }

 private:
  static constexpr std::int64_t kChunk = 1024;
  std::array<std::int16_t, 2 * kChunk> mine_;
  std::array<std::int16_t, 2 * kChunk> theirs_;
  std::array<bool, kChunk> differs_;
};

// Appends a piece, merged with the one before when it goes on showing the same.
void appendPiece(std::vector<ColumnPiece>& pieces, const ColumnPiece& piece) {
  if (!pieces.empty()) {
    ColumnPiece& last = pieces.back();
    if (last.shows == piece.shows && last.file == piece.file &&
        last.rows.last + 1 == piece.rows.first) {
      last.rows.last = piece.rows.last;
      return;
    }
  }
  pieces.push_back(piece);
}

}  // namespace

ColumnPlan joinColumn(std::vector<FilePlan> plans, const std::vector<LoggerFile>& files) {
  ColumnPlan column;
  column.files = std::move(plans);
  const std::vector<FilePlan>& all = column.files;
  const auto count = static_cast<std::uint32_t>(all.size());

  // Newer files rank higher: by the date of the last sample, then as given.
  std::vector<std::uint32_t> byAge(count);  // file of each rank
  for (std::uint32_t k = 0; k < count; ++k) byAge[k] = k;
  auto lastSample = [&](std::uint32_t k) {
    const LoggerFile& f = files[all[k].file];
    return f.startDate + (std::int64_t{f.sampleCount} - 1) * f.interval;
  };
  std::stable_sort(byAge.begin(), byAge.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return lastSample(a) < lastSample(b); });
  std::vector<std::uint32_t> rankOf(count);
  for (std::uint32_t rank = 0; rank < count; ++rank) rankOf[byAge[rank]] = rank;
  column.newest = count == 0 ? 0 : byAge.back();

  std::vector<std::vector<std::pair<std::int64_t, std::int64_t>>> absent;
  std::vector<RawRows> raw;
  absent.reserve(count);
  raw.reserve(count);
  for (const FilePlan& plan : all) {
    const SampleColumn& samples = files[plan.file].samples;
    absent.push_back(samples.absentPositions());
    raw.emplace_back(plan, samples);
  }
  const int samplesPerRow = count > 0 && all.front().twoChannels ? 2 : 1;
  ConflictCounter conflicts;

  for (const bool includeOverflowed : {false, true}) {
    // Where a file starts or stops having a value (by rank) or reading
    // "overflow" (rank -1), as +1 and -1.
    struct Change {
      std::int64_t row;
      std::int64_t rank;
      int step;
    };
    std::vector<Change> changes;
    for (std::uint32_t k = 0; k < count; ++k) {
      for (const RowRange& rows : valueRows(all[k], includeOverflowed, absent[k])) {
        changes.push_back({rows.first, rankOf[k], +1});
        changes.push_back({rows.last + 1, rankOf[k], -1});
      }
      const RowRange overflow = all[k].stretches(includeOverflowed).overflow;
      if (!overflow.empty()) {
        changes.push_back({overflow.first, -1, +1});
        changes.push_back({overflow.last + 1, -1, -1});
      }
    }
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.row < b.row; });

    std::vector<ColumnPiece>& pieces =
        includeOverflowed ? column.piecesWithoutMargin : column.piecesWithMargin;
    JoinCounts& counts = includeOverflowed ? column.countsWithoutMargin : column.countsWithMargin;
    std::set<std::uint32_t> withValue;  // ranks
    std::int64_t readingOverflow = 0;
    std::vector<const RawRows*> others;
    for (std::size_t at = 0; at < changes.size();) {
      const std::int64_t first = changes[at].row;
      for (; at < changes.size() && changes[at].row == first; ++at) {
        const Change& c = changes[at];
        if (c.rank < 0)
          readingOverflow += c.step;
        else if (c.step > 0)
          withValue.insert(static_cast<std::uint32_t>(c.rank));
        else
          withValue.erase(static_cast<std::uint32_t>(c.rank));
      }
      if (at == changes.size()) break;  // past every file's rows
      const RowRange rows{first, changes[at].row - 1};
      if (!withValue.empty()) {
        const std::uint32_t newest = byAge[*withValue.rbegin()];
        appendPiece(pieces, {rows, RowShows::Samples, newest});
        counts.rowsWithValues += rows.count();
        if (withValue.size() > 1) {
          counts.overlapping += rows.count();
          others.clear();
          ColumnOverlap overlap{rows, {newest}};
          for (const std::uint32_t rank : withValue) {
            if (byAge[rank] == newest) continue;
            others.push_back(&raw[byAge[rank]]);
            overlap.files.push_back(byAge[rank]);
          }
          conflicts.count(raw[newest], others, rows.first, rows.last, samplesPerRow, counts);
          (includeOverflowed ? column.overlapsWithoutMargin : column.overlapsWithMargin)
              .push_back(std::move(overlap));
        }
      } else if (readingOverflow > 0) {
        appendPiece(pieces, {rows, RowShows::Overflow, 0});
      }
    }
  }
  return column;
}

JoinCounts joinCountsIn(const ColumnPlan& column, const std::vector<LoggerFile>& files,
                        bool includeOverflowed, RowRange tableRows) {
  const RowRange rows = column.slotsIn(tableRows);
  const std::vector<ColumnPiece>& pieces = column.pieces(includeOverflowed);
  if (pieces.empty() ||
      (rows.first <= pieces.front().rows.first && rows.last >= pieces.back().rows.last))
    return column.counts(includeOverflowed);
  JoinCounts counts;
  auto inside = [&rows](RowRange r) {
    return RowRange{std::max(r.first, rows.first), std::min(r.last, rows.last)};
  };
  for (const ColumnPiece& piece : pieces) {
    const RowRange shown = inside(piece.rows);
    if (piece.shows == RowShows::Samples && !shown.empty()) counts.rowsWithValues += shown.count();
  }
  const int samplesPerRow = column.twoChannels() ? 2 : 1;
  ConflictCounter conflicts;
  std::vector<RawRows> raw;
  std::vector<const RawRows*> others;
  for (const ColumnOverlap& overlap : column.overlaps(includeOverflowed)) {
    const RowRange shared = inside(overlap.rows);
    if (shared.empty()) continue;
    counts.overlapping += shared.count();
    raw.clear();
    raw.reserve(overlap.files.size());
    for (const std::uint32_t k : overlap.files) {
      const FilePlan& plan = column.files[k];
      raw.emplace_back(plan, files[plan.file].samples);
    }
    others.clear();
    for (std::size_t k = 1; k < raw.size(); ++k) others.push_back(&raw[k]);
    conflicts.count(raw.front(), others, shared.first, shared.last, samplesPerRow, counts);
  }
  return counts;
}

}  // namespace kestrix
