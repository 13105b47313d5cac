#include "platform/program_start.hpp"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "platform/terminal.hpp"
#include "platform/windows/windows_error.hpp"

namespace kestrix::platform {

namespace {

UINT consoleCodePage = 0;  // the console's own, while the run sets another

void restoreConsoleCodePage() {
  if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
}

BOOL WINAPI onConsoleControl(DWORD) {
  restoreConsoleCodePage();
  return FALSE;  // and end as the system ends a program on Ctrl+C
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(windows::utf8(argv[i]));
  return arguments;
}

void prepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (!isTerminal(StandardStream::Output) && !isTerminal(StandardStream::Error)) return;
  const UINT codePage = GetConsoleOutputCP();
  if (codePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  consoleCodePage = codePage;
  std::atexit(restoreConsoleCodePage);
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

}  // namespace kestrix::platform
