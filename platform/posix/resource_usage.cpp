#include "platform/resource_usage.hpp"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>

extern char** environ;

namespace kestrix::platform {

namespace {

double milliseconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

}  // namespace

std::optional<std::int64_t> peakMemoryKiB() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
  return usage.ru_maxrss;  // KiB on Linux
}

double threadProcessorMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::error_code runToEnd(char** command, CommandUsage& usage) {
  pid_t child = 0;
  // posix_spawnp reports a program it cannot run as its own result.
  if (const int error = posix_spawnp(&child, command[0], nullptr, nullptr, command, environ))
    return {error, std::generic_category()};
  int status = 0;
  rusage resources{};
  pid_t waited = 0;
  do {
    waited = wait4(child, &status, 0, &resources);
  } while (waited < 0 && errno == EINTR);
  if (waited != child) return {errno, std::generic_category()};
  usage.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  usage.processorMilliseconds = milliseconds(resources.ru_utime) + milliseconds(resources.ru_stime);
  usage.peakMemoryKiB = resources.ru_maxrss;
  return {};
}

}  // namespace kestrix::platform
