#include "samples.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "layout.hpp"

namespace kestrix {

static_assert(layout::samplesPerRecord == 1024, "SampleColumn counts slots in blocks of 1024");

bool SampleColumn::decode(std::int64_t i, std::int64_t n, std::int16_t* out) const noexcept {
  const auto size = static_cast<std::int64_t>(bytes_.size());
  bool all = true;
  forEachRun(i, n, [&](std::int64_t start, std::int64_t run) {
    const std::int64_t inside = std::clamp<std::int64_t>((size - start) / 2, 0, run);
    if (inside > 0) {
      // Copied as they are, then on a little-endian machine each pair turned
      // round: two plain loops.
      std::memcpy(out, bytes_.data() + start, static_cast<std::size_t>(inside) * 2);
      if constexpr (std::endian::native == std::endian::little) {
        for (std::int64_t j = 0; j < inside; ++j) {
          const auto u = static_cast<std::uint16_t>(out[j]);
          out[j] = static_cast<std::int16_t>(static_cast<std::uint16_t>((u << 8) | (u >> 8)));
        }
      }
    }
    if (inside < run) {
      std::fill(out + inside, out + run, std::int16_t{0});
      all = false;
    }
    out += run;
    return true;
  });
  return all;
}

std::vector<std::optional<std::int16_t>> SampleColumn::stored() const {
  std::vector<std::optional<std::int16_t>> out;
  out.reserve(static_cast<std::size_t>(count_));
  for (std::int64_t i = 0; i < count_; ++i) out.push_back(at(base_ + 1 + i));
  return out;
}

std::vector<std::pair<std::int64_t, std::int64_t>> SampleColumn::absentPositions() const {
  const auto size = static_cast<std::int64_t>(bytes_.size());
  // Column indexes: each block's slots past the end of the file, split where
  // the rotation puts slot 0 of the memory.
  std::vector<std::pair<std::int64_t, std::int64_t>> indexes;
  auto add = [&](std::int64_t from, std::int64_t to) {  // slots from .. to
    auto index = [this](std::int64_t k) {
      return k >= rotation_ ? k - rotation_ : k - rotation_ + count_;
    };
    if (from < rotation_ && to >= rotation_) {
      indexes.emplace_back(index(from), index(rotation_ - 1));
      indexes.emplace_back(index(rotation_), index(to));
    } else {
      indexes.emplace_back(index(from), index(to));
    }
  };
  for (std::int64_t k = 0; k < count_; k += 1024) {
    const std::int64_t slots = std::min<std::int64_t>(1024, count_ - k);
    const std::int64_t start = blockStarts_[static_cast<std::size_t>(k >> 10)];
    const std::int64_t inside = std::clamp<std::int64_t>((size - start) / 2, 0, slots);
    if (inside < slots) add(k + inside, k + slots - 1);
  }
  std::sort(indexes.begin(), indexes.end());
  std::vector<std::pair<std::int64_t, std::int64_t>> positions;
  for (const auto& [from, to] : indexes) {
    if (!positions.empty() && positions.back().second >= base_ + from)
      positions.back().second = std::max(positions.back().second, base_ + 1 + to);
    else
      positions.emplace_back(base_ + 1 + from, base_ + 1 + to);
  }
  return positions;
}

void seekRecord(ByteCursor& in, const Container& container, std::int32_t r,
                bool& inconsistentFlag) {
  if (r > container.recordCount) {
    inconsistentFlag = true;
    return;
  }
  in.skipTo(container.recordOffsets[r]);
}

SampleColumn readSamples(ByteCursor& in, const Container& container, std::int32_t sampleCount,
                         std::int32_t memorySize, int channelCount, bool& inconsistentFlag,
                         std::shared_ptr<const void> owner) {
  SampleColumn column;
  // The whole file stays with the column, samples or not: what was converted.
  column.bytes_ = in.bytes();
  column.owner_ = std::move(owner);
  const std::int64_t total = std::int64_t{channelCount} * memorySize;     // T
  const std::int64_t count = std::min<std::int64_t>(sampleCount, total);  // L
  if (count <= 0 || total <= 0) return column;

  // Slot k of the memory holds position (k < r ? q : q - 1) * total + k + 1:
  // before the ring came round (q = 0) the slots are in order, after it the
  // oldest sample is in slot r. Written positions run from sampleCount - T + 1
  // (or 1) to sampleCount.
  const std::int64_t r = sampleCount % total;
  const std::int64_t q = sampleCount / total;
  column.base_ = std::max<std::int64_t>(0, std::int64_t{sampleCount} - total);
  column.count_ = count;
  column.rotation_ = q == 0 ? 0 : r;

  // Where each block of slots lies: the start of its record, or where the
  // previous block ended when the file has no such record.
  std::int32_t nextRecord = layout::firstSampleRecord;
  for (std::int64_t k = 0; k < count; k += layout::samplesPerRecord) {
    seekRecord(in, container, nextRecord, inconsistentFlag);
    ++nextRecord;
    const std::int64_t wanted = std::min(layout::samplesPerRecord, count - k);
    column.blockStarts_.push_back(in.position());
    // Reading on past the end of the file moves the cursor all the same.
    if (!in.take(wanted * layout::sampleSize)) {
      inconsistentFlag = true;  // past the end of the file: no sample there
    }
  }
  return column;
}

}  // namespace kestrix
