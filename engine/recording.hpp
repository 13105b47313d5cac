// The recording header (record 1 of a logger file) and the interval table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "bytes.hpp"
#include "container.hpp"

namespace kestrix {

// Sampling intervals in seconds by interval code. Not in ascending order.
inline constexpr std::array<std::int16_t, 14> intervalTable{1,  2,   5,    10,  15,  20,  30,
                                                            60, 600, 3600, 120, 180, 240, 300};

// Packed BCD byte: high nibble * 10 + low nibble, no digit validated (0x1A gives 20).
constexpr int decodeBcd(std::uint8_t b) noexcept {
  return (b >> 4) * 10 + (b & 0x0F);
}

struct RecordingHeader {
  std::int32_t loggerId = 0;
  std::int32_t sampleCount = 0;  // byte count / 2, all channels together
  std::int16_t spareWord = 0;
  int startYear = 0;  // 0 to 165; the year is 2000 + startYear
  int startMonth = 0;
  int startDay = 0;
  int startHour = 0;
  int startMinute = 0;
  int startSecond = 0;
  std::int16_t intervalCode = 0;
  int interval = 0;  // seconds, from intervalTable
  std::uint8_t typeCode = 0;
  std::uint8_t spareByte = 0;
  std::uint8_t memoryCode = 255;
  std::uint8_t spareOptionalByte = 255;
  std::int16_t offsetParam = 0;
  std::int16_t factorParam = 0;
};

// Reads record 1 from the cursor left behind the index by readContainer. The optional
// groups are read while record 1 still has a byte left; for a file with one
// record, the end of the file stands for the start of record 2. Throws
// ConversionError naming `displayName` for a header cut short or an interval code
// outside the table.
RecordingHeader readRecordingHeader(ByteCursor& in, const Container& container,
                                    std::string_view displayName);

}  // namespace kestrix
