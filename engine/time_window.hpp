// A time window: the table rows dated from one date up to another, which
// every output of a run can be limited to.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "row_range.hpp"
#include "run.hpp"

namespace kestrix {

// Dates in seconds since 1 January 2000, as the table's rows carry them.
struct TimeWindow {
  std::optional<std::int64_t> from;  // included; none: from the first row
  std::optional<std::int64_t> to;    // excluded; none: to the last row

  bool limits() const noexcept { return from || to; }
};

// Reads a date as a time window's end takes it: "YYYY-MM-DD" (midnight),
// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", a "T" allowed in place of the
// space. None for any other form or a date that does not exist.
std::optional<std::int64_t> parseWindowDate(std::string_view text);

// The rows of `run` dated inside `window`; empty when none is (then `first`
// is the row after the window, and `last` the one before it).
RowRange rowsInWindow(const ConversionRun& run, const TimeWindow& window);

}  // namespace kestrix
