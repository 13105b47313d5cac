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

  // Slot k of the memory holds position (k < r ? q : q - 1) * total + k + 1,
  // that is column index k + shift, one shift on each side of slot r.
  const std::int64_t shiftBefore = q * total - column.base;
  const std::int64_t shiftAfter = (q - 1) * total - column.base;
  std::int16_t* const values = column.values.data();
  std::uint8_t* const present = column.present.data();

  std::int32_t nextRecord = layout::firstSampleRecord;
  for (std::int64_t k = 0; k < count;) {
    NextRecordDates(in, container, nextRecord, inconsistentFlag);
    ++nextRecord;
    const std::int64_t wanted = std::min(layout::samplesPerRecord, count - k);
    // The whole samples of this record that lie inside the file; reading on
    // past its end moves the cursor all the same.
    const std::int64_t left = std::max<std::int64_t>(0, in.size() - in.position());
    const std::int64_t inside = std::min(wanted, left / layout::sampleSize);
    const auto bytes = in.take(inside * layout::sampleSize);
    if (inside < wanted) {
      in.take((wanted - inside) * layout::sampleSize);
      inconsistentFlag = true;  // past the end of the file: no sample there
    }
    const std::uint8_t* b = bytes ? bytes->data() : nullptr;
    for (std::int64_t end = k + inside; k < end;) {
      const std::int64_t runEnd = k < r ? std::min(end, r) : end;
      const std::int64_t shift = k < r ? shiftBefore : shiftAfter;
      for (; k < runEnd; ++k, b += 2) {
        values[k + shift] = inv2(b[0], b[1]);
        present[k + shift] = 1;
      }
    }
    k += wanted - inside;
  }
  return column;
}

}  // namespace kestrix
