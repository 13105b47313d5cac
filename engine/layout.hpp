// Byte layout of a logger data file: a record container (78-byte header,
// 8-byte index entries), record 1 the recording header, records 2 onward the
// samples. Offsets only; the readers are in container.cpp, recording.cpp and
// samples.cpp.
#pragma once

#include <cstdint>

namespace kestrix::layout {

// Container header.
inline constexpr std::int64_t nameOffset = 0;
inline constexpr std::int64_t nameSize = 32;
inline constexpr std::int64_t recordCountOffset = 76;
inline constexpr std::int64_t containerHeaderSize = 78;
// attributes 2, version 2, three dates 4 each, modification number 4, two info
// offsets 4 each, type 4, creator 4, unique ID seed 4, next record list 4.
static_assert(nameOffset + nameSize + 2 + 2 + 3 * 4 + 4 + 2 * 4 + 4 + 4 + 4 + 4 ==
              recordCountOffset);
static_assert(recordCountOffset + 2 == containerHeaderSize);

// Record index: data offset (4), attributes and unique ID (4).
inline constexpr std::int64_t indexEntrySize = 8;
inline constexpr std::int64_t indexOffset = containerHeaderSize;

// Recording header (record 1), offsets from its start.
inline constexpr std::int64_t loggerIdOffset = 0;
inline constexpr std::int64_t byteCountOffset = 4;
inline constexpr std::int64_t spareWordOffset = 8;
inline constexpr std::int64_t startOffset = 10;  // year, month, day, hour, minute, second
inline constexpr std::int64_t intervalCodeOffset = 16;
inline constexpr std::int64_t typeCodeOffset = 18;
inline constexpr std::int64_t spareByteOffset = 19;
inline constexpr std::int64_t fixedRecordingHeaderSize = 20;
// Optional groups, each read only while record 1 has a byte left.
inline constexpr std::int64_t memoryCodeOffset = 20;  // with the spare optional byte
inline constexpr std::int64_t offsetParamOffset = 22;
inline constexpr std::int64_t factorParamOffset = 24;
inline constexpr std::int64_t fullRecordingHeaderSize = 26;
static_assert(startOffset + 6 == intervalCodeOffset);
static_assert(spareByteOffset + 1 == fixedRecordingHeaderSize);
static_assert(fixedRecordingHeaderSize == memoryCodeOffset);
static_assert(factorParamOffset + 2 == fullRecordingHeaderSize);

// Sample area: 1024 two-byte samples to a record, from record 2 on.
inline constexpr std::int64_t samplesPerRecord = 1024;
inline constexpr std::int64_t sampleSize = 2;
inline constexpr int firstSampleRecord = 2;

}  // namespace kestrix::layout
