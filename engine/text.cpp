#include "text.hpp"

#include <algorithm>
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
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The character at text[i] into c, and its length in bytes; 0 for a byte
// that starts no valid UTF-8 sequence (a stray or cut short one).
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
  const auto b = static_cast<std::uint8_t>(text[i]);
  std::size_t extra = 0;
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
    return 0;
  }
  if (i + extra >= text.size()) return 0;  // cut short
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto cont = static_cast<std::uint8_t>(text[i + k]);
    if ((cont & 0xC0) != 0x80) return 0;
    c = (c << 6) | (cont & 0x3F);
  }
  return extra + 1;
}

// The simple case folding of the letters of European alphabets: Latin (with
// its supplement and Extended-A), Greek and Cyrillic; any other character as it is.
char32_t folded(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c == 0x17F) return 's';
  if (c == 0x130) return 'i';
  // Latin Extended-A: pairs, the capital first (even before U+0138, odd after it).
  if (c >= 0x100 && c <= 0x137) return c | 1u;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 == 1 ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1u;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c == 0x3C2) return 0x3C3;  // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

std::optional<char> toWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < high.size(); ++i) {
    if (high[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

// Calls each(valid, c, bytes) for each character c of `text` in turn, its
// bytes beside it; `valid` false (c 0) for a byte that is no valid UTF-8.
// Stops where each returns false.
template <class Each>
void forEachCharacter(std::string_view text, Each each) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t length = decodeUtf8(text, i, c);
    if (!each(length > 0, c, text.substr(i, std::max<std::size_t>(length, 1)))) return;
    i += std::max<std::size_t>(length, 1);
  }
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
  bool valid = true;
  forEachCharacter(text, [&](bool isUtf8, char32_t c, std::string_view) {
    const auto mapped = isUtf8 ? toWindows1252(c) : std::nullopt;
    if (mapped) out.push_back(*mapped);
    return valid = mapped.has_value();
  });
  if (!valid) return std::nullopt;
  return out;
}

std::string utf8ToWindows1252Replacing(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  forEachCharacter(text, [&](bool isUtf8, char32_t c, std::string_view) {
    out.push_back(isUtf8 ? toWindows1252(c).value_or('?') : '?');
    return true;
  });
  return out;
}

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  forEachCharacter(text, [&](bool isUtf8, char32_t, std::string_view bytes) {
    out += isUtf8 ? bytes : std::string_view("\uFFFD");
    return true;
  });
  return out;
}

std::string foldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  forEachCharacter(text, [&](bool isUtf8, char32_t c, std::string_view bytes) {
    if (isUtf8)
      appendUtf8(folded(c), out);
    else
      out += bytes;  // not UTF-8: the byte as it is
    return true;
  });
  return out;
}

}  // namespace kestrix
