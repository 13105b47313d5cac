// What a command-line program does first where the system's own command line
// and file names are wide (Windows): its arguments as UTF-8, standard output
// and error as bytes.
#pragma once

#include <string>
#include <vector>

namespace kestrix::platform {

// The arguments of a wide entry point (wmain), each in UTF-8.
std::vector<std::string> utf8Arguments(int argc, wchar_t** argv);

// Standard output and error pass their bytes as they are: a table piped or
// redirected keeps its line ends ("\r\n", never "\r\r\n"), and messages end
// in "\n" as on other systems. A console shows UTF-8 for the run (its code
// page is set back when the program ends), so that text to a console is
// written in the console's character set (terminalTakesUtf8).
void prepareStandardStreams();

}  // namespace kestrix::platform
