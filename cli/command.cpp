#include "command.hpp"

#include <cstdio>
#include <new>

#include "error.hpp"
#include "full_program.hpp"
#include "limits_file.hpp"
#include "options.hpp"
#include "platform/mapped_file.hpp"

namespace kestrix::cli {

int runCommand(int argc, char** argv, const Command& command) {
  CommandLine line;
  try {
    line = parseCommandLine(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", programName,
                 e.message.c_str(), programName);
    return 2;
  }
  return runCommandLine(line, argv, command);
}

int runCommandLine(const CommandLine& line, char** argv, const Command& command) {
  switch (line.request) {
    case CommandLine::Request::Help:
      std::fputs(helpText, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLine::Request::Version:
      std::printf("%s %s\n", programName, KESTRIX_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLine::Request::Convert:
      break;
  }
  // A workbook or a report: the program built with their libraries does it all.
  if (command.fullProgram &&
      (line.options.report || line.options.format == OutputFormat::Workbook)) {
    runFullProgram(argv, command.fullProgram, programName);
    return 1;
  }

  platform::guardMappedFiles(programName);
  bool progressShown = false;
  try {
    return convertAndWrite(line.options, command.writers, progressShown);
  } catch (const LimitsFileError& e) {
    // The limits file belongs to the command line: nothing was written.
    std::fprintf(stderr, "%s: %s\n", programName, e.what());
    return 2;
  } catch (const ConversionError& e) {
    // The table's reader gone (a pager quit early): ended without a word, as
    // the system ends a POSIX program that writes to it.
    if (e.kind() == ErrorKind::ReaderGone) return 1;
    std::fprintf(stderr, "%s%s: %s\n", progressShown ? "\n" : "", programName, e.what());
    // An output refused for the logger data it would replace is a usage error.
    return e.kind() == ErrorKind::RefusedTarget ? 2 : 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", programName);
    return 1;
  }
}

}  // namespace kestrix::cli
