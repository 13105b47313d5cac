// What the window puts on the clipboard.
#pragma once

#include <cstddef>

#include "table.hpp"

namespace kestrix::ui {

// More lines than a spreadsheet holds are not put on the clipboard.
inline constexpr auto clipboardMaxLines = static_cast<std::size_t>(spreadsheetRows);

}  // namespace kestrix::ui
