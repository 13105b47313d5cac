// kestrix-convert: logger files in, one merged table out, no window.
#include <cstdio>
#include <new>

#include "conversion.hpp"
#include "error.hpp"
#include "limits_file.hpp"
#include "options.hpp"
#include "platform/mapped_file.hpp"
#ifdef KESTRIX_FULL_PROGRAM
#include "full_program.hpp"
#endif

using kestrix::cli::programName;

int main(int argc, char** argv) {
  kestrix::cli::CommandLine line;
  try {
    line = kestrix::cli::parseCommandLine(argc, argv);
  } catch (const kestrix::cli::UsageError& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", programName,
                 e.message.c_str(), programName);
    return 2;
  }
  switch (line.request) {
    case kestrix::cli::CommandLine::Request::Help:
      std::fputs(kestrix::cli::helpText, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case kestrix::cli::CommandLine::Request::Version:
      std::printf("%s %s\n", programName, KESTRIX_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case kestrix::cli::CommandLine::Request::Convert:
      break;
  }
#ifdef KESTRIX_FULL_PROGRAM
  // A workbook or a report: the program built with their libraries does it all.
  if (line.options.report || line.options.format == kestrix::OutputFormat::Workbook) {
    kestrix::cli::runFullProgram(argv, KESTRIX_FULL_PROGRAM, programName);
    return 1;
  }
#endif

  kestrix::platform::guardMappedFiles(programName);
  bool progressShown = false;
  try {
    return kestrix::cli::convertAndWrite(line.options, progressShown);
  } catch (const kestrix::LimitsFileError& e) {
    // The limits file belongs to the command line: nothing was written.
    std::fprintf(stderr, "%s: %s\n", programName, e.what());
    return 2;
  } catch (const kestrix::ConversionError& e) {
    std::fprintf(stderr, "%s%s: %s\n", progressShown ? "\n" : "", programName, e.what());
    // An output refused for the logger data it would replace is a usage error.
    return e.kind() == kestrix::ErrorKind::RefusedTarget ? 2 : 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", programName);
    return 1;
  }
}
