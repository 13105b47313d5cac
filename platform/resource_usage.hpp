// What the system counts of a program's work: the processor time and the
// peak memory of this program, and of a command it runs to its end. The
// benchmarks measure with these.
#pragma once

#include <cstdint>
#include <optional>
#include <system_error>

namespace kestrix::platform {

// The most memory this process has held at once, in KiB: its peak resident
// set (POSIX) or working set (Windows); nothing where the system keeps none.
std::optional<std::int64_t> peakMemoryKiB();

// The processor time the calling thread has taken so far, in milliseconds;
// where the system does not count it per thread (the browser, one thread),
// the time since some fixed moment.
double threadProcessorMilliseconds();

// What a command run to its end took.
struct CommandUsage {
  int exitStatus = -1;               // -1: it did not exit by itself (a signal ended it)
  double processorMilliseconds = 0;  // user and system, all its threads
  std::int64_t peakMemoryKiB = 0;
};

// Runs `command` (the program, found as a shell finds it, then its
// arguments; nullptr last) with this program's standard streams and waits
// for its end. The system's reason when it could not be started or waited
// for; `usage` otherwise.
std::error_code runToEnd(char** command, CommandUsage& usage);

}  // namespace kestrix::platform
