#include "startup.hpp"

#include <algorithm>
#include <exception>
#include <ostream>

#include "convert_files.hpp"
#include "error.hpp"
#include "folders.hpp"
#include "platform/file_system.hpp"
#include "platform/process.hpp"
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

namespace {

// True when `word` ends in `ending` (lower case) in any letter case.
bool endsWithIgnoringCase(std::string_view word, std::string_view ending) {
  return word.size() >= ending.size() &&
         sameIgnoringCase(word.substr(word.size() - ending.size()), ending);
}

}  // namespace

std::optional<CommandLine> commandLineMode(std::string_view argumentText) {
  const auto words = splitWords(argumentText);
  if (words.size() < 2 || !endsWithIgnoringCase(words[0], ".pdb") ||
      !endsWithIgnoringCase(words[1], ".txt"))
    return std::nullopt;
  return CommandLine{words[0], words[1]};
}

std::optional<CommandLine> commandLineMode(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return commandLineMode(arguments.empty() ? "" : arguments.front());
  if (!endsWithIgnoringCase(arguments[0], ".pdb") || !endsWithIgnoringCase(arguments[1], ".txt"))
    return std::nullopt;
  return CommandLine{arguments[0], arguments[1]};
}

fs::path programDirectory() {
  std::error_code ec;
  const fs::path exe = platform::programFile(ec);
  if (ec || exe.empty()) return fs::current_path();
  return exe.parent_path();
}

bool canWriteInto(const fs::path& dir) {
  // The effective user's rights, read-only mounts included.
  return !platform::checkFolderTakesNewFiles(dir);
}

fs::path tableFolder(const fs::path& programDir, const fs::path& filesDir) {
  if (canWriteInto(programDir)) return programDir;
  if (canWriteInto(filesDir)) return filesDir;
  throw ConversionError(ErrorKind::CannotWrite, "",
                        "the table cannot be written: neither the program's folder " +
                            programDir.string() + " nor the logger files' folder " +
                            filesDir.string() + " can be written by this user");
}

std::string findListed(const std::vector<std::string>& listed, std::string_view word,
                       std::vector<std::string>& ambiguous) {
  ambiguous.clear();
  if (std::find(listed.begin(), listed.end(), word) != listed.end()) return std::string(word);
  std::vector<std::string> matches;
  for (const std::string& name : listed)
    if (sameIgnoringCase(name, word)) matches.push_back(name);
  if (matches.size() == 1) return matches.front();
  if (matches.size() > 1) ambiguous = std::move(matches);
  return {};
}

int runCommandLine(const CommandLine& words, const fs::path& currentDir, const fs::path& programDir,
                   const Regional& regional, std::ostream& err) {
  if (words.tableFile.find('/') != std::string::npos) {
    err << "kestrix: the table name \"" << words.tableFile
        << "\" must be a plain file name; the table is written to the program's folder or, "
           "where that cannot be written, the current folder\n";
    return exitBadArguments;
  }
  std::vector<std::string> ambiguous;
  const std::string dataFile = findListed(loggerFilesIn(currentDir), words.dataFile, ambiguous);
  if (!ambiguous.empty()) {
    err << "kestrix: \"" << words.dataFile << "\" could name any of";
    for (const std::string& name : ambiguous) err << " \"" << name << '"';
    err << " in " << currentDir.string() << "; give the name exactly\n";
    return exitBadArguments;
  }
  if (dataFile.empty()) {
    err << "kestrix: no logger file \"" << words.dataFile << "\" in " << currentDir.string()
        << " (names such as UC***.PDB)\n";
    return exitBadArguments;
  }

  try {
    ConversionRequest request;
    request.paths = {currentDir / dataFile};
    request.displayNames = {dataFile};
    request.target = tableFolder(programDir, currentDir) / words.tableFile;
    request.options.regional = regional;
    const std::string status = convertFiles(request).status;
    if (status != closingStatus(false)) err << "kestrix: " << status << '\n';
    return exitConverted;
  } catch (const std::exception& e) {
    err << "kestrix: " << e.what() << '\n';
    return exitConversionFailed;
  }
}

}  // namespace kestrix::ui
