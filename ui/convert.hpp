// One conversion run from a folder and selected names to a committed table.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "regional.hpp"

class CStringBuilder;

namespace kestrix {
struct ConversionRun;
}

namespace kestrix::ui {

struct RunRequest {
  std::filesystem::path folder;    // where the logger files are
  std::vector<std::string> names;  // the selected files, in list order
  std::filesystem::path target;    // the table file
  Regional regional;
  std::function<void(int percent)> progress;
  CStringBuilder* clipboardText = nullptr;
  // When set, receives the run once its table is committed (for the chart).
  std::shared_ptr<const ConversionRun>* keepRun = nullptr;
};

// Reads the files, writes the table beside `target` and renames it over
// `target` when complete. Returns the closing status ("Done..." ...). Throws
// kestrix::ConversionError; `target` is then left as it was.
std::string convertFiles(const RunRequest& request);

}  // namespace kestrix::ui

namespace kestrix::ui {

// More lines than a spreadsheet holds are not put on the clipboard.
inline constexpr std::size_t clipboardMaxLines = 1'048'576;

// True when `text` (lines ending in LF) has at most clipboardMaxLines lines.
bool fitsClipboard(std::string_view text);

}  // namespace kestrix::ui
