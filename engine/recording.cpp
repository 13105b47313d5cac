#include "recording.hpp"

#include <string>

#include "error.hpp"
#include "layout.hpp"

namespace kestrix {

namespace {

[[noreturn]] void cutShort(std::string_view displayName) {
  throw ConversionError(ErrorKind::TruncatedRecordingHeader, std::string(displayName),
                        "not a logger file, or one cut short: it ends within the recording's "
                        "settings");
}

template <typename T>
T need(std::optional<T> value, std::string_view displayName) {
  if (!value) cutShort(displayName);
  return *value;
}

}  // namespace

RecordingHeader readRecordingHeader(ByteCursor& in, const Container& container,
                                    std::string_view displayName) {
  if (container.recordCount < 1) {
    throw ConversionError(ErrorKind::NoRecord, std::string(displayName),
                          "no recording in the file (it lists no record)");
  }
  in.skipTo(container.recordOffsets[1]);

  RecordingHeader h;
  const auto fixed = in.take(layout::fixedRecordingHeaderSize);
  if (!fixed) cutShort(displayName);
  // Offsets within the fixed part, which starts at the header's start.
  const auto& b = *fixed;
  auto at = [&b](std::int64_t offset) { return b[static_cast<std::size_t>(offset)]; };
  auto word = [&at](std::int64_t offset) { return bigEndian16(at(offset), at(offset + 1)); };
  auto quad = [&at](std::int64_t offset) {
    return bigEndian32(at(offset), at(offset + 1), at(offset + 2), at(offset + 3));
  };
  h.loggerId = quad(layout::loggerIdOffset);
  h.sampleCount = quad(layout::byteCountOffset) / 2;
  h.spareWord = word(layout::spareWordOffset);
  int* const startFields[] = {&h.startYear, &h.startMonth,  &h.startDay,
                              &h.startHour, &h.startMinute, &h.startSecond};
  for (std::int64_t i = 0; i < 6; ++i) *startFields[i] = decodeBcd(at(layout::startOffset + i));
  h.intervalCode = word(layout::intervalCodeOffset);
  if (h.intervalCode < 0 || h.intervalCode >= static_cast<int>(intervalTable.size())) {
    throw ConversionError(ErrorKind::BadIntervalCode, std::string(displayName),
                          "unknown sampling interval: code " + std::to_string(h.intervalCode) +
                              " (known codes are 0 to 13); a damaged file or another kind");
  }
  h.interval = intervalTable[static_cast<std::size_t>(h.intervalCode)];
  h.typeCode = at(layout::typeCodeOffset);
  h.spareByte = at(layout::spareByteOffset);

  // The optional groups: each is read while record 1 has at least one byte
  // left. Without a record 2, the end of the file ends record 1.
  const std::int64_t recordTwo =
      container.recordCount >= 2 ? container.recordOffsets[2] : in.size();
  if (in.position() < recordTwo) {
    h.memoryCode = need(in.u8(), displayName);
    h.spareOptionalByte = need(in.u8(), displayName);
  }
  if (in.position() < recordTwo) h.offsetParam = need(in.be16(), displayName);
  if (in.position() < recordTwo) h.factorParam = need(in.be16(), displayName);
  return h;
}

}  // namespace kestrix
