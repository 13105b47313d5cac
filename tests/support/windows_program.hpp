// Programs run as a user runs them on Windows: started as a process with a
// wide command line, no shell in between, standard input from NUL and
// standard output and error captured in files (run_program.hpp's twin).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows/command_line.hpp"
#include "temp_folder.hpp"

namespace kestrix::testing {

struct WindowsProgramResult {
  DWORD status = 0xFFFFFFFF;  // the exit status
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in `folder`; its standard output and
// error go through files in `scratch`, or its output to `output` (an
// inheritable handle) where one is given.
inline WindowsProgramResult runWindowsProgram(const std::filesystem::path& program,
                                              const std::vector<std::wstring>& arguments,
                                              const std::filesystem::path& folder,
                                              const std::filesystem::path& scratch,
                                              HANDLE output = nullptr) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const std::filesystem::path outPath = scratch / L".stdout", errPath = scratch / L".stderr";
  const auto create = [&](const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HANDLE out = create(outPath), err = create(errPath);
  const HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherited, OPEN_EXISTING, 0, nullptr);
  std::wstring commandLine;
  kestrix::platform::windows::appendQuotedArgument(program.native(), commandLine);
  for (const std::wstring& argument : arguments)
    kestrix::platform::windows::appendQuotedArgument(argument, commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = output ? output : out;
  startup.hStdError = err;
  PROCESS_INFORMATION started{};
  WindowsProgramResult result;
  if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     folder.c_str(), &startup, &started)) {
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &result.status);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  DeleteFileW(outPath.c_str());
  DeleteFileW(errPath.c_str());
  return result;
}

}  // namespace kestrix::testing
