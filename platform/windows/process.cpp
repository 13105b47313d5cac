#include "platform/process.hpp"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/windows/windows_error.hpp"

namespace fs = std::filesystem;

namespace kestrix::platform {

namespace {

// The arguments of this process's command line as the system keeps it, in
// wide characters, after the program's own name (which the C runtime reads
// up to the next quotation mark when it starts with one, else up to the
// first blank): the blank before them included, so that they reach the
// other program exactly as they reached this one.
std::wstring argumentsOfThisProcess() {
  const std::wstring_view line = GetCommandLineW();
  std::size_t end = 0;
  if (!line.empty() && line[0] == L'"') {
    end = line.find(L'"', 1);
    end = end == std::wstring_view::npos ? line.size() : end + 1;
  } else {
    end = line.find_first_of(L" \t");
    if (end == std::wstring_view::npos) end = line.size();
  }
  return std::wstring(line.substr(end));
}

}  // namespace

fs::path programFile(std::error_code& error) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      error = windows::lastWin32Error();
      return {};
    }
    if (length < buffer.size()) {
      error.clear();
      return fs::path(std::wstring(buffer.data(), length));
    }
    buffer.resize(buffer.size() * 2);  // cut short: a longer path
  }
}

bool isRunnable(const fs::path& program) {
  const DWORD attributes = GetFileAttributesW(program.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::error_code runInstead(const fs::path& program, char**) {
  // Windows replaces no process: the program runs as a child on this
  // console with these standard streams, and this process ends with its
  // exit status. Its arguments are the wide ones of this command line, not
  // argv, which the C runtime narrowed to the code page.
  std::wstring commandLine = L"\"" + program.native() + L"\"" + argumentsOfThisProcess();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &started))
    return windows::lastWin32Error();
  CloseHandle(started.hThread);
  WaitForSingleObject(started.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(started.hProcess, &status);
  CloseHandle(started.hProcess);
  std::exit(static_cast<int>(status));
}

}  // namespace kestrix::platform
