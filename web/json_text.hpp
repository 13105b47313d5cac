// JSON strings for the worker's answers: texts in UTF-8, quoted, with the
// characters JSON does not take as they are escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrix::web {

inline void appendJsonString(std::string_view text, std::string& out) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static const char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[byte >> 4];
      out += hex[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

// ["a","b",...]
inline void appendJsonStrings(const std::vector<std::string>& texts, std::string& out) {
  out += '[';
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i) out += ',';
    appendJsonString(texts[i], out);
  }
  out += ']';
}

}  // namespace kestrix::web
