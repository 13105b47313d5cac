// Windows-1252, the table's code page, and UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// Every byte has a meaning; the five undefined ones map to U+0081 etc. as C1 controls.
std::string windows1252ToUtf8(std::string_view bytes);

// Nothing when some character has no Windows-1252 byte or the text is no valid UTF-8.
std::optional<std::string> utf8ToWindows1252(std::string_view text);
// The same with '?' for each character Windows-1252 has no byte for, and for
// each byte that is no valid UTF-8: a text that can be written in that code page.
std::string utf8ToWindows1252Replacing(std::string_view text);
// `text` with U+FFFD for each byte that is no valid UTF-8.
std::string validUtf8(std::string_view text);
// The text with its letters case-folded (Latin, Greek and Cyrillic), so that
// two names that differ only in letter case fold alike; bytes that are no
// valid UTF-8 stay as they are.
std::string foldCase(std::string_view text);

}  // namespace kestrix
