// A Windows command line, written so that CommandLineToArgvW and the C
// runtime read its arguments back as they were given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix::platform::windows {

// Appends `argument` to `line` (after a space unless `line` is empty): in
// quotation marks, a quotation mark after its backslashes doubled and
// escaped, the backslashes before the closing mark doubled.
inline void appendQuotedArgument(std::wstring_view argument, std::wstring& line) {
  if (!line.empty()) line += L' ';
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

}  // namespace kestrix::platform::windows
