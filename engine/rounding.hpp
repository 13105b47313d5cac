// Whole-number division rounded to the nearest, an exact half to the even one.
#pragma once

#include <cstdint>

namespace kestrix {

// numerator / denominator (numerator >= 0, denominator > 0) to the nearest
// whole number, an exact half to the even one.
constexpr std::int64_t divideRoundHalfEven(std::int64_t numerator,
                                           std::int64_t denominator) noexcept {
  std::int64_t q = numerator / denominator;
  const std::int64_t twiceRest = 2 * (numerator % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && q % 2 != 0)) ++q;
  return q;
}

}  // namespace kestrix
