// kestrix-convert in WebAssembly: the command of the native program on the
// same engine, under Node (build-web/kestrix-convert.js, the files reached
// through Node's own file access) and in the page's worker (the files in
// memory). It writes tables and every text output; a workbook and a report
// need libraries this build has not, and are a usage error.

#include <cstdio>

#include "command.hpp"
#include "options.hpp"

namespace {

// The outputs this build cannot write, or none.
const char* outputWithoutWriter(const kestrix::cli::Options& options) {
  if (options.format == kestrix::OutputFormat::Workbook) return "--format xlsx";
  if (options.report) return "--report";
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrix::cli;
  CommandLine line;
  try {
    line = parseCommandLine(argc, argv);
  } catch (const UsageError&) {
    return runCommand(argc, argv, Command{});  // which says it, as the native program does
  }
  if (const char* option = line.request == CommandLine::Request::Convert
                               ? outputWithoutWriter(line.options)
                               : nullptr) {
    std::fprintf(stderr,
                 "%s: %s is written by the installed kestrix-convert (Debian package "
                 "kestrix), not by this build\nTry '%s --help' for more information.\n",
                 programName, option, programName);
    return 2;
  }
  return runCommandLine(line, argv, Command{});
}
