#include "startup.hpp"

#include <algorithm>
#include <exception>
#include <ostream>

#include "convert_files.hpp"
#include "error.hpp"
#include "folders.hpp"
#include "table.hpp"

namespace fs = std::filesystem;

namespace kestrix::ui {

std::string argumentText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    const std::size_t blank = text.find(' ', start);
    words.emplace_back(text.substr(start, blank - start));
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return words;
}

std::optional<CommandLine> commandLineMode(std::string_view argumentText) {
  const auto words = splitWords(argumentText);
  if (words.size() < 2 || !words[0].ends_with(".pdb") || !words[1].ends_with(".txt"))
    return std::nullopt;
  return CommandLine{words[0], words[1]};
}

fs::path programDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return fs::current_path();
  return exe.parent_path();
}

int runCommandLine(const CommandLine& words, const fs::path& currentDir, const fs::path& outputDir,
                   const Regional& regional, std::ostream& err) {
  if (words.tableFile.find('/') != std::string::npos) {
    err << "kestrix: the table name \"" << words.tableFile
        << "\" must be a plain file name; the table is written to " << outputDir.string() << '\n';
    return exitBadArguments;
  }
  const auto listed = loggerFilesIn(currentDir);
  if (std::find(listed.begin(), listed.end(), words.dataFile) == listed.end()) {
    err << "kestrix: no logger file \"" << words.dataFile << "\" in " << currentDir.string()
        << " (names such as UC***.PDB)\n";
    return exitBadArguments;
  }

  ConversionRequest request;
  request.paths = {currentDir / words.dataFile};
  request.displayNames = {words.dataFile};
  request.target = outputDir / words.tableFile;
  request.options.regional = regional;
  try {
    const std::string status = convertFiles(request).status;
    if (status != closingStatus(false)) err << "kestrix: " << status << '\n';
    return exitConverted;
  } catch (const std::exception& e) {
    err << "kestrix: " << e.what() << '\n';
    return exitConversionFailed;
  }
}

}  // namespace kestrix::ui
