#include "platform/terminal.hpp"

#include <windows.h>

namespace kestrix::platform {

bool isTerminal(StandardStream stream) {
  // A console, not a file or a pipe (nor the NUL device, which _isatty takes
  // for a terminal).
  const HANDLE handle =
      GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

bool terminalTakesUtf8() {
  return GetConsoleOutputCP() == CP_UTF8;
}

}  // namespace kestrix::platform
