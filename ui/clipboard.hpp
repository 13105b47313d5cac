// What the window puts on the clipboard.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrix::ui {

// More lines than a spreadsheet holds are not put on the clipboard.
inline constexpr std::size_t clipboardMaxLines = 1'048'576;

// True when `text` (lines ending in LF) has at most clipboardMaxLines lines.
bool fitsClipboard(std::string_view text);

}  // namespace kestrix::ui
