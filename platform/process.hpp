// This program as the system runs it: where it lies, and handing the run
// over to another program.
#pragma once

#include <filesystem>
#include <system_error>

namespace kestrix::platform {

// The running program's own file; empty and `error` set when the system
// does not say.
std::filesystem::path programFile(std::error_code& error);

// True when `program` is a file this user may run.
bool isRunnable(const std::filesystem::path& program);

// Runs `program` in place of this one, with this program's arguments
// `argv` (argv[0] first, then the arguments as given, nullptr last). POSIX
// replaces the process; Windows starts the program with this process's own
// command line, waits for it and ends with its exit status. Returns only when
// it cannot be started, with the system's reason.
std::error_code runInstead(const std::filesystem::path& program, char** argv);

}  // namespace kestrix::platform
