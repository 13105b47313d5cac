// The command as both its programs run it: the command line read, the run
// converted, or handed over to the full program, and the exit status. The
// two programs differ only in what they hand in: kestrix-convert the place of
// the full program, kestrix-convert-full the workbook and report writers.
#pragma once

#include "conversion.hpp"
#include "options.hpp"

namespace kestrix::cli {

struct Command {
  // Where a run that asks for a workbook or a report goes: the full
  // program, relative to this program's folder (full_program.hpp). None:
  // this program writes them itself, with `writers`.
  const char* fullProgram = nullptr;
  Writers writers;
};

// Runs the command line `argv` as `command` says and returns the exit status.
int runCommand(int argc, char** argv, const Command& command);

// The same for a command line already read from `argv` (without a usage error).
int runCommandLine(const CommandLine& line, char** argv, const Command& command);

}  // namespace kestrix::cli
