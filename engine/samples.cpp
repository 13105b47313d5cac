#include "samples.hpp"

#include <algorithm>

#include "layout.hpp"

namespace kestrix {

void NextRecordDates(ByteCursor& in, const Container& container, std::int32_t r,
                     bool& inconsistentFlag) {
  if (r > container.recordCount) {
    inconsistentFlag = true;
    return;
  }
  in.skipTo(container.recordOffsets[r]);
}

SampleColumn readfile(ByteCursor& in, const Container& container, std::int32_t sampleCount,
                      std::int32_t memorySize, int channelCount, bool& inconsistentFlag) {
  SampleColumn column;
  const std::int64_t total = std::int64_t{channelCount} * memorySize;     // T
  const std::int64_t count = std::min<std::int64_t>(sampleCount, total);  // L
  if (count <= 0 || total <= 0) return column;

  // Slots below r belong to the current pass through the ring, the others to
  // the previous one. Written positions run from sampleCount - T + 1 (or 1)
  // to sampleCount.
  const std::int64_t r = sampleCount % total;
  const std::int64_t q = sampleCount / total;
  column.base = std::max<std::int64_t>(0, std::int64_t{sampleCount} - total);
  column.values.assign(static_cast<std::size_t>(count), 0);
  column.present.assign(static_cast<std::size_t>(count), 0);

  std::int32_t nextRecord = layout::firstSampleRecord;
  for (std::int64_t k = 0; k < count; ++k) {
    if (k % layout::samplesPerRecord == 0) {
      NextRecordDates(in, container, nextRecord, inconsistentFlag);
      ++nextRecord;
    }
    const auto value = in.be16();
    const std::int64_t p = (k < r ? q : q - 1) * total + k + 1;
    const auto i = static_cast<std::size_t>(p - 1 - column.base);
    if (value) {
      column.values[i] = *value;
      column.present[i] = 1;
    } else {
      inconsistentFlag = true;  // past the end of the file: no sample there
    }
  }
  return column;
}

}  // namespace kestrix
