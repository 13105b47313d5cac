#include "recording.hpp"

#include <string>

#include "error.hpp"
#include "layout.hpp"

namespace kestrix {

namespace {

[[noreturn]] void cutShort(std::string_view fileName) {
  throw ConversionError(ErrorKind::TruncatedRecordingHeader, std::string(fileName),
                        "recording header cut short by the end of the file");
}

template <typename T>
T need(std::optional<T> value, std::string_view fileName) {
  if (!value) cutShort(fileName);
  return *value;
}

}  // namespace

RecordingHeader RecordCentral(ByteCursor& in, const Container& container,
                              std::string_view fileName) {
  if (container.recordCount < 1) {
    throw ConversionError(ErrorKind::NoRecord, std::string(fileName),
                          "the file holds no record, so no recording header");
  }
  in.skipTo(container.recordOffsets[1]);

  RecordingHeader h;
  const auto fixed = in.take(layout::fixedRecordingHeaderSize);
  if (!fixed) cutShort(fileName);
  const auto& b = *fixed;
  h.loggerId = inv4(b[0], b[1], b[2], b[3]);
  h.sampleCount = inv4(b[4], b[5], b[6], b[7]) / 2;
  h.spareWord = inv2(b[8], b[9]);
  h.startYear = bcddec(b[10]);
  h.startMonth = bcddec(b[11]);
  h.startDay = bcddec(b[12]);
  h.startHour = bcddec(b[13]);
  h.startMinute = bcddec(b[14]);
  h.startSecond = bcddec(b[15]);
  h.intervalCode = inv2(b[16], b[17]);
  if (h.intervalCode < 0 || h.intervalCode >= static_cast<int>(intervalTable.size())) {
    throw ConversionError(ErrorKind::BadIntervalCode, std::string(fileName),
                          "interval code " + std::to_string(h.intervalCode) +
                              " is unknown (known codes are 0 to 13)");
  }
  h.interval = intervalTable[static_cast<std::size_t>(h.intervalCode)];
  h.typeCode = b[18];
  h.spareByte = b[19];

  // The optional groups: each is read while record 1 has at least one byte
  // left. Without a record 2, the end of the file ends record 1.
  const std::int64_t recordTwo =
      container.recordCount >= 2 ? container.recordOffsets[2] : in.size();
  if (in.position() < recordTwo) {
    h.memoryCode = need(in.u8(), fileName);
    h.spareOptionalByte = need(in.u8(), fileName);
  }
  if (in.position() < recordTwo) h.offsetParam = need(in.be16(), fileName);
  if (in.position() < recordTwo) h.factorParam = need(in.be16(), fileName);
  return h;
}

}  // namespace kestrix
