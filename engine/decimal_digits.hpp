// Doubles turned into decimal digits, the one way every build does it: the
// shortest digits that read back as the same double, and a given number of
// significant digits rounded from the exact value. The texts are those of
// std::to_chars, written with a library whose results are the same on every
// standard library (the browser's lacks to_chars for floating point).
#pragma once

#include <cstddef>

namespace kestrix {

// Room enough for any text below: a sign, 17 digits or up to 309 before the
// point and 324 after it, the point, an exponent.
inline constexpr std::size_t kMaxDecimalText = 400;

// As std::to_chars(first, last, value): the shortest digits, in fixed or
// scientific form, whichever is shorter (fixed on a tie). `first` has room for
// kMaxDecimalText characters; returns the end.
char* writeShortest(double value, char* first);

// As std::to_chars(first, last, value, std::chars_format::fixed): the
// shortest digits, never an exponent.
char* writeShortestFixed(double value, char* first);

// As std::to_chars(first, last, value, std::chars_format::scientific,
// fractionDigits): d.ddde+xx, rounded half to even from the exact value.
// fractionDigits at most 40.
char* writeScientific(double value, int fractionDigits, char* first);

}  // namespace kestrix
