// The record container of a logger file: its name, record count and index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bytes.hpp"

namespace kestrix {

struct Container {
  std::string containerName;  // the name bytes up to the first NUL (Windows-1252)
  std::int32_t recordCount = 0;
  std::vector<std::int32_t>
      recordOffsets;  // entry i (1-based) is the offset of record i; [0] unused
};

// Reads the container header and the record index from the start of the file.
// Leaves the cursor behind the index. Throws ConversionError naming `displayName`
// when the header or the index is cut short.
Container readContainer(ByteCursor& in, std::string_view displayName);

}  // namespace kestrix
