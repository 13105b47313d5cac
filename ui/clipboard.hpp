// What the window puts on the clipboard.
#pragma once

#include <cstddef>

namespace kestrix::ui {

// More lines than a spreadsheet holds are not put on the clipboard.
inline constexpr std::size_t clipboardMaxLines = 1'048'576;

}  // namespace kestrix::ui
