#include "text.hpp"

#include <array>
#include <cstdint>

namespace kestrix {

namespace {

// Code points of the bytes 80 to 9F; the five bytes without a character keep
// their C1 control code point.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t codePoint(std::uint8_t b) {
  return b >= 0x80 && b <= 0x9F ? high[b - 0x80] : b;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::optional<char> toWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < high.size(); ++i) {
    if (high[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::string windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char b : bytes) appendUtf8(codePoint(static_cast<std::uint8_t>(b)), out);
  return out;
}

std::optional<std::string> utf8ToWindows1252(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    int extra = 0;
    char32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= text.size()) return std::nullopt;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (cont & 0x3F);
    }
    const auto mapped = toWindows1252(c);
    if (!mapped) return std::nullopt;
    out.push_back(*mapped);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace kestrix
