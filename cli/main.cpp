// kestrix-convert: logger files in, one merged table out, no window. It
// links neither the workbook library nor the chart's Qt: a run that asks for
// a workbook or a report goes to kestrix-convert-full.
#include "command.hpp"

int main(int argc, char** argv) {
  kestrix::cli::Command command;
  command.fullProgram = KESTRIX_FULL_PROGRAM;
  return kestrix::cli::runCommand(argc, argv, command);
}
