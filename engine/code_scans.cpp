#include "code_scans.hpp"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrix {

namespace {

// The index of the first of codes[0 .. n) that `stops` (a test of four
// codes at once giving all ones for each that stops, on SSE2), or from
// `plain` on other processors; n when none does. Blocks of 16 are tested
// whole, the cell found in the block that holds one.
template <class Stops, class Plain>
std::int64_t firstThat(const std::int32_t* codes, std::int64_t n, [[maybe_unused]] Stops stops,
                       Plain plain) {
  std::int64_t k = 0;
#if defined(__SSE2__)
  const auto test = [&](std::int64_t at) {
    return stops(_mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + at)));
  };
  for (; k + 16 <= n; k += 16) {
    const __m128i s0 = test(k), s1 = test(k + 4), s2 = test(k + 8), s3 = test(k + 12);
    const __m128i any = _mm_or_si128(_mm_or_si128(s0, s1), _mm_or_si128(s2, s3));
    if (_mm_movemask_epi8(any) == 0) continue;
    const int mask =
        _mm_movemask_ps(_mm_castsi128_ps(s0)) | _mm_movemask_ps(_mm_castsi128_ps(s1)) << 4 |
        _mm_movemask_ps(_mm_castsi128_ps(s2)) << 8 | _mm_movemask_ps(_mm_castsi128_ps(s3)) << 12;
    return k + std::countr_zero(static_cast<unsigned>(mask));
  }
#endif
  while (k < n && !plain(codes[k])) ++k;
  return k;
}

}  // namespace

std::int64_t leadingCodesWithin(const std::int32_t* codes, std::int64_t n, std::int32_t low,
                                std::int32_t high) {
  if (low > high) return 0;
#if defined(__SSE2__)
  const __m128i below = _mm_set1_epi32(low);
  const __m128i above = _mm_set1_epi32(high);
  const auto outside = [below, above](__m128i c) {
    return _mm_or_si128(_mm_cmpgt_epi32(below, c), _mm_cmpgt_epi32(c, above));
  };
#else
  const auto outside = nullptr;
#endif
  return firstThat(codes, n, outside,
                   [low, high](std::int32_t code) { return code < low || code > high; });
}

std::int64_t firstCodeEqual(const std::int32_t* codes, std::int64_t n, std::int32_t code) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi32(code);
  const auto equal = [wanted](__m128i c) { return _mm_cmpeq_epi32(c, wanted); };
#else
  const auto equal = nullptr;
#endif
  return firstThat(codes, n, equal, [code](std::int32_t c) { return c == code; });
}

}  // namespace kestrix
