// The sample loader: a logger's ring memory put back in time order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bytes.hpp"
#include "container.hpp"

namespace kestrix {

// The raw samples of one file by position (1-based, chronological, channels
// interleaved for two-channel files). Only the positions the loader wrote hold
// a sample; the column stores min(sampleCount, memory) of them at most.
struct SampleColumn {
  std::int64_t base = 0;  // values[i] holds position base + 1 + i
  std::vector<std::int16_t> values;
  std::vector<std::uint8_t> present;  // 1 where values[i] was read from the file

  std::optional<std::int16_t> at(std::int64_t position) const noexcept {
    const std::int64_t i = position - 1 - base;
    if (i < 0 || i >= static_cast<std::int64_t>(values.size()) || !present[i]) return std::nullopt;
    return values[i];
  }
};

// Memory slots of the whole logger: 131072 for memory code 4, else 65536.
constexpr std::int32_t memorySizeFor(std::uint8_t memoryCode) noexcept {
  return memoryCode == 4 ? 131072 : 65536;
}

// Moves the cursor forward to record r, or sets the flag when the file has no
// record r (the cursor then stays).
void NextRecordDates(ByteCursor& in, const Container& container, std::int32_t r,
                     bool& inconsistentFlag);

// Loads min(sampleCount, channelCount * memorySize) slots, record 2 onward,
// 1024 to a record, and puts each at its chronological position. Reading past
// the end of the file sets the flag; those positions hold no sample.
// `memorySize` is per channel.
SampleColumn readfile(ByteCursor& in, const Container& container, std::int32_t sampleCount,
                      std::int32_t memorySize, int channelCount, bool& inconsistentFlag);

}  // namespace kestrix
