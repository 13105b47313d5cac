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

}  // namespace kestrix
