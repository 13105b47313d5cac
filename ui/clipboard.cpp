#include "clipboard.hpp"

#include <algorithm>

namespace kestrix::ui {

bool fitsClipboard(std::string_view text) {
  auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines <= clipboardMaxLines;
}

}  // namespace kestrix::ui
