// The start-up step: window mode or command-line mode. No Qt here, so that
// command-line mode runs without a display.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regional.hpp"

namespace kestrix::ui {

// The table's name when the command line names none.
inline constexpr std::string_view defaultOutputName = "uc1.txt";

// Exit statuses of command-line mode.
inline constexpr int exitConverted = 0;
inline constexpr int exitConversionFailed = 1;
inline constexpr int exitBadArguments = 2;

// The argument text: argv[1] onward joined by single blanks.
std::string argumentText(int argc, const char* const* argv);

// The text cut at every single blank: two blanks in a row give an empty word.
// Quotation marks are ordinary characters.
std::vector<std::string> splitWords(std::string_view text);

struct CommandLine {
  std::string dataFile;   // word 1, ends in ".pdb" (any letter case)
  std::string tableFile;  // word 2, ends in ".txt" (any letter case)
};

// Command-line mode when word 1 ends in ".pdb" and word 2 in ".txt", in any
// letter case; further words are ignored. Otherwise nothing: window mode.
std::optional<CommandLine> commandLineMode(std::string_view argumentText);
// The same for the program's arguments (argv[1] onward): each argument is a
// word, whatever it holds (a name with blanks in it is one word); a single
// argument is cut at its blanks as the argument text is.
std::optional<CommandLine> commandLineMode(const std::vector<std::string>& arguments);

// The folder of the running executable, where tables are written when the
// running user may write there.
std::filesystem::path programDirectory();

// True when the running user may create files in `dir`.
bool canWriteInto(const std::filesystem::path& dir);

// Where a table goes: `programDir` when the running user can write there
// (a copy run from its build or unpacked folder), otherwise `filesDir`, the
// folder of the logger files (an installed copy). Throws ConversionError
// naming both folders when neither can be written.
std::filesystem::path tableFolder(const std::filesystem::path& programDir,
                                  const std::filesystem::path& filesDir);

// The entry of `listed` that `word` names: the entry equal to it, else the
// one entry equal to it in another letter case. Empty when there is none;
// `ambiguous` receives the entries when several differ from it only in case.
std::string findListed(const std::vector<std::string>& listed, std::string_view word,
                       std::vector<std::string>& ambiguous);

// Converts the one file named by word 1, looked up among the logger files of
// `currentDir`, into tableFolder(programDir, currentDir) / word 2. Messages go
// to `err`. Returns
// exitConverted, exitConversionFailed or exitBadArguments.
int runCommandLine(const CommandLine& words, const std::filesystem::path& currentDir,
                   const std::filesystem::path& programDir, const Regional& regional,
                   std::ostream& err);

}  // namespace kestrix::ui
