// kestrix-convert.exe: the command of main.cpp on Windows, in one file with
// no full program beside it (workbooks and reports are refused as usage
// errors). The command line comes in wide characters, so that any name
// reaches the program; the file arguments' wildcards are expanded by the
// command (file_patterns.hpp), as no Windows shell does it.
#include <string>
#include <vector>

#include "command.hpp"
#include "platform/program_start.hpp"

int wmain(int argc, wchar_t** argv) {
  kestrix::platform::prepareStandardStreams();
  std::vector<std::string> arguments = kestrix::platform::utf8Arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  const kestrix::cli::Command command;
  return kestrix::cli::runCommand(argc, pointers.data(), command);
}
