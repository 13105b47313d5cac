#include "container.hpp"

#include <algorithm>

#include "error.hpp"
#include "layout.hpp"

namespace kestrix {

Container readContainer(ByteCursor& in, std::string_view displayName) {
  const auto header = in.take(layout::containerHeaderSize);
  if (!header) {
    throw ConversionError(ErrorKind::TruncatedContainerHeader, std::string(displayName),
                          in.size() == 0 ? std::string("empty file")
                                         : "not a logger file (" + std::to_string(in.size()) +
                                               " bytes, too short for one)");
  }

  Container c;
  const auto name = header->subspan(layout::nameOffset, layout::nameSize);
  const auto nul = std::find(name.begin(), name.end(), std::uint8_t{0});
  c.containerName.assign(name.begin(), nul);

  const auto count = header->subspan(layout::recordCountOffset, 2);
  c.recordCount = static_cast<std::uint16_t>(bigEndian16(count[0], count[1]));  // 0 to 65535

  const auto index = in.take(layout::indexEntrySize * c.recordCount);
  if (!index) {
    throw ConversionError(ErrorKind::TruncatedRecordIndex, std::string(displayName),
                          "not a logger file, or one cut short: it ends within its list of " +
                              std::to_string(c.recordCount) + " records");
  }
  c.recordOffsets.resize(static_cast<std::size_t>(c.recordCount) + 1, 0);
  for (std::int32_t i = 1; i <= c.recordCount; ++i) {
    const auto entry = index->subspan(static_cast<std::size_t>(i - 1) * layout::indexEntrySize);
    c.recordOffsets[i] = bigEndian32(entry[0], entry[1], entry[2], entry[3]);
  }
  return c;
}

}  // namespace kestrix
