#include "platform/resource_usage.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <string>

#include "platform/windows/command_line.hpp"
#include "platform/windows/windows_error.hpp"

namespace kestrix::platform {

namespace {

double milliseconds(const FILETIME& t) {  // in units of 100 ns
  const ULARGE_INTEGER ticks{{t.dwLowDateTime, t.dwHighDateTime}};
  return static_cast<double>(ticks.QuadPart) / 1e4;
}

std::wstring wide(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring out(static_cast<std::size_t>(length - 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
  return out;
}

}  // namespace

std::optional<std::int64_t> peakMemoryKiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  // K32GetProcessMemoryInfo lives in kernel32 (Windows 7 and later): no psapi.lib.
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    return std::nullopt;
  return static_cast<std::int64_t>(counters.PeakWorkingSetSize / 1024);
}

double threadProcessorMilliseconds() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  return milliseconds(kernel) + milliseconds(user);
}

std::error_code runToEnd(char** command, CommandUsage& usage) {
  std::wstring line;
  for (char** argument = command; *argument != nullptr; ++argument)
    windows::appendQuotedArgument(wide(*argument), line);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // No program name: the system finds the first word of the line as a shell would.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &started))
    return windows::lastWin32Error();
  CloseHandle(started.hThread);
  std::error_code error;
  DWORD status = 0;
  FILETIME created, ended, kernel, user;
  PROCESS_MEMORY_COUNTERS counters{};
  if (WaitForSingleObject(started.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(started.hProcess, &status) ||
      !GetProcessTimes(started.hProcess, &created, &ended, &kernel, &user) ||
      !K32GetProcessMemoryInfo(started.hProcess, &counters, sizeof counters)) {
    error = windows::lastWin32Error();
  } else {
    usage.exitStatus = static_cast<int>(status);
    usage.processorMilliseconds = milliseconds(kernel) + milliseconds(user);
    usage.peakMemoryKiB = static_cast<std::int64_t>(counters.PeakWorkingSetSize / 1024);
  }
  CloseHandle(started.hProcess);
  return error;
}

}  // namespace kestrix::platform
