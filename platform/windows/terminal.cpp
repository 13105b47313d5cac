#include "platform/terminal.hpp"

#include <windows.h>

#include <cerrno>

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

bool readerGone(int errorNumber) {
  // The C library's errno for a pipe closed at its reading end is EINVAL
  // (or EPIPE); the system's own error says which it was: the pipe being
  // closed, broken, or with nobody at its other end.
  const DWORD error = GetLastError();
  return (errorNumber == EINVAL || errorNumber == EPIPE) &&
         (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
          error == ERROR_PIPE_NOT_CONNECTED);
}

}  // namespace kestrix::platform
