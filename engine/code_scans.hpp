// Scans over cell codes (TableValues::cellCodes) that stop at the first cell
// of a kind: four codes compared at a time with SSE2, a plain loop elsewhere.
#pragma once

#include <cstdint>

namespace kestrix {

// How many of codes[0 .. n) from the first on lie in [low, high].
std::int64_t leadingCodesWithin(const std::int32_t* codes, std::int64_t n, std::int32_t low,
                                std::int32_t high);

// The index of the first of codes[0 .. n) equal to `code`, n when none is.
std::int64_t firstCodeEqual(const std::int32_t* codes, std::int64_t n, std::int32_t code);

}  // namespace kestrix
