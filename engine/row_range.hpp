// A stretch of table rows: what a summary, a list or a period is worked out over.
#pragma once

#include <cstdint>

namespace kestrix {

// Rows first to last of the table (1-based, both included); empty when last < first.
struct RowRange {
  std::int64_t first = 1;
  std::int64_t last = 0;

  bool empty() const noexcept { return first > last; }
  std::int64_t count() const noexcept { return last >= first ? last - first + 1 : 0; }
  bool contains(std::int64_t row) const noexcept { return row >= first && row <= last; }

  friend bool operator==(const RowRange&, const RowRange&) = default;
};

}  // namespace kestrix
