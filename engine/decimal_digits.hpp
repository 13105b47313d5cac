// Doubles turned into decimal digits, the one way every build does it: the
// shortest digits that read back as the same double, and a given number of
// significant digits rounded from the exact value. The texts are those of
// std::to_chars, worked out here from the exact value so that they are the
// same on every standard library (the browser's lacks to_chars for floating
// point).
#pragma once

#include <cstddef>

namespace kestrix {

// Room enough for any text below: a sign, 17 digits or up to 309 before the
// point and 324 after it, the point, an exponent.
inline constexpr std::size_t kMaxDecimalText = 400;

// As std::to_chars(first, last, value): the shortest digits, in fixed or
// scientific form, whichever is shorter (fixed on a tie). `first` has room for
// kMaxDecimalText characters; returns the end.
char* writeShortest(double value, char* first) noexcept;

// As std::to_chars(first, last, value, std::chars_format::fixed): the
// shortest digits, never an exponent.
char* writeShortestFixed(double value, char* first) noexcept;

// As std::to_chars(first, last, value, std::chars_format::scientific,
// fractionDigits): d.ddde+xx, rounded half to even from the exact value.
// fractionDigits from 0 to 319, what the room holds; more are taken as 319,
// a negative count as 6 (as printf takes it).
char* writeScientific(double value, int fractionDigits, char* first) noexcept;

}  // namespace kestrix
