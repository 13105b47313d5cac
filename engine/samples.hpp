// The sample loader: a logger's ring memory put back in time order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "bytes.hpp"
#include "container.hpp"

namespace kestrix {

// The raw samples of one file by position (1-based, chronological, channels
// interleaved for two-channel files). Only the positions the loader wrote hold
// a sample; the column stores min(sampleCount, memory) of them at most.
//
// The samples are not copied: the column keeps the file's bytes alive and
// knows where each block of 1024 memory slots lies in them. Column index i
// (position base() + 1 + i) is memory slot (i + rotation) mod size(); a slot
// whose two bytes lie past the end of the file holds no sample.
class SampleColumn {
 public:
  SampleColumn() = default;

  // Positions base() + 1 .. base() + size() are stored.
  std::int64_t base() const noexcept { return base_; }
  std::int64_t size() const noexcept { return count_; }

  std::optional<std::int16_t> at(std::int64_t position) const noexcept {
    const std::int64_t i = position - 1 - base_;
    if (i < 0 || i >= count_) return std::nullopt;
    const std::int64_t offset = byteOffset(i);
    if (offset > static_cast<std::int64_t>(bytes_.size()) - 2) return std::nullopt;
    const auto at = static_cast<std::size_t>(offset);
    return bigEndian16(bytes_[at], bytes_[at + 1]);
  }

  // Column indexes i .. i + n - 1 (inside 0 .. size() - 1) into out; a slot
  // without a sample gives 0. True when every one of them holds a sample.
  bool decode(std::int64_t i, std::int64_t n, std::int16_t* out) const noexcept;

  // Calls f(bytes, count) for each stretch of column indexes i .. i + n - 1
  // (inside 0 .. size() - 1) whose samples lie one after the other in the
  // file, in order: `bytes` holds their `count` samples, two big-endian bytes
  // each. Stops and returns false, before the stretch, at a slot without a
  // sample; true when every slot holds one.
  template <class F>
  bool forEachStretch(std::int64_t i, std::int64_t n, F&& f) const {
    const auto size = static_cast<std::int64_t>(bytes_.size());
    return forEachRun(i, n, [&](std::int64_t start, std::int64_t run) {
      if (start < 0 || (size - start) / 2 < run) return false;
      f(bytes_.data() + start, run);
      return true;
    });
  }

  // Every stored position in order, base() + 1 onward.
  std::vector<std::optional<std::int16_t>> stored() const;

  // The stored positions without a sample (their slots lie past the end of
  // the file), as stretches first .. last in order: none for a whole file.
  std::vector<std::pair<std::int64_t, std::int64_t>> absentPositions() const;

  // The whole file the samples were read from, kept alive by the column.
  std::span<const std::uint8_t> fileBytes() const noexcept { return bytes_; }

 private:
  friend SampleColumn readSamples(ByteCursor&, const Container&, std::int32_t, std::int32_t, int,
                                  bool&, std::shared_ptr<const void>);

  // Calls f(start, run) for each run of column indexes i .. i + n - 1 (inside
  // 0 .. size() - 1) whose slots lie one after the other in the file, in
  // order: `start` is the byte of the first one's slot, which may lie past
  // the file's end. Stops, returning false, when f returns false.
  template <class F>
  bool forEachRun(std::int64_t i, std::int64_t n, F&& f) const {
    std::int64_t k = i + rotation_;
    if (k >= count_) k -= count_;
    while (n > 0) {
      // A run of slots inside one block and before the end of the memory.
      const std::int64_t run = std::min({n, 1024 - (k & 1023), count_ - k});
      const std::int64_t start = blockStarts_[static_cast<std::size_t>(k >> 10)] + 2 * (k & 1023);
      if (!f(start, run)) return false;
      n -= run;
      k += run;
      if (k == count_) k = 0;
      if (n == 0) prefetchAfter(start + 2 * run, run);
    }
    return true;
  }

  // Rows are read a block at a time, every file's samples in turn: the next
  // call for this column most likely wants the `count` samples from byte
  // `from` on, and by then they can be in the cache.
  void prefetchAfter(std::int64_t from, std::int64_t count) const noexcept {
#if defined(__GNUC__)
    const std::int64_t to =
        std::min(static_cast<std::int64_t>(bytes_.size()), from + 2 * (count + 128));
    for (std::int64_t at = from; at < to; at += 64) __builtin_prefetch(bytes_.data() + at);
#else
    (void)from;
    (void)count;
#endif
  }

  std::int64_t byteOffset(std::int64_t i) const noexcept {
    std::int64_t k = i + rotation_;
    if (k >= count_) k -= count_;
    return blockStarts_[static_cast<std::size_t>(k >> 10)] + 2 * (k & 1023);
  }

  std::int64_t base_ = 0;
  std::int64_t count_ = 0;
  std::int64_t rotation_ = 0;
  std::vector<std::int64_t> blockStarts_;  // byte offset of each block of 1024 slots
  std::span<const std::uint8_t> bytes_;
  std::shared_ptr<const void> owner_;  // keeps bytes_ alive
};

// Memory slots of the whole logger: 131072 for memory code 4, else 65536.
constexpr std::int32_t memorySizeFor(std::uint8_t memoryCode) noexcept {
  return memoryCode == 4 ? 131072 : 65536;
}

// Moves the cursor forward to record r, or sets the flag when the file has no
// record r (the cursor then stays).
void seekRecord(ByteCursor& in, const Container& container, std::int32_t r, bool& inconsistentFlag);

// Loads min(sampleCount, channelCount * memorySize) slots, record 2 onward,
// 1024 to a record, and puts each at its chronological position. Reading past
// the end of the file sets the flag; those positions hold no sample.
// `memorySize` is per channel. The column refers to the cursor's bytes, which
// `owner` keeps alive.
SampleColumn readSamples(ByteCursor& in, const Container& container, std::int32_t sampleCount,
                         std::int32_t memorySize, int channelCount, bool& inconsistentFlag,
                         std::shared_ptr<const void> owner);

}  // namespace kestrix
