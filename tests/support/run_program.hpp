// Programs run as a user runs them: started as a process, no shell in
// between, with their output captured.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "temp_folder.hpp"

namespace kestrix::testing {

struct ProgramRun {
  std::vector<std::string> args;  // after the program's name
  std::filesystem::path folder;   // its current folder
  std::vector<std::pair<std::string, std::string>> environment = {{"LC_ALL", "C"}};
  std::vector<std::string> unset;  // variables removed
  std::function<void()> inChild;   // runs just before exec
};

struct ProgramResult {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

// A program started and not yet waited for.
struct StartedProgram {
  pid_t pid = -1;
  std::filesystem::path out, err;  // where its standard output and error go
};

// True unless KESTRIX_PROGRAM_UNDER_TEST names another program than the one built.
inline bool testsTheBuiltProgram() {
  const char* other = std::getenv("KESTRIX_PROGRAM_UNDER_TEST");
  return other == nullptr || *other == '\0';
}

// The program a test of a built program runs: `built`, or the one that
// KESTRIX_PROGRAM_UNDER_TEST names (the command-line tests that hold on
// Windows run against the Windows build so, through tests/windows/wine_program.sh).
inline std::string programUnderTest(const std::string& built) {
  return testsTheBuiltProgram() ? built : std::string(std::getenv("KESTRIX_PROGRAM_UNDER_TEST"));
}

// Starts `program` with no shell in between and standard input from /dev/null;
// standard output and error go to files in `scratch`.
inline StartedProgram startProgram(const std::string& program, const ProgramRun& run,
                                   const std::filesystem::path& scratch) {
  StartedProgram started{-1, scratch / ".stdout", scratch / ".stderr"};
  started.pid = ::fork();
  if (started.pid == 0) {
    if (!run.folder.empty() && ::chdir(run.folder.c_str()) != 0) ::_exit(126);
    const int o = ::open(started.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(started.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    for (const auto& [name, value] : run.environment) ::setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : run.unset) ::unsetenv(name.c_str());
    if (run.inChild) run.inChild();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return started;
}

// Waits for a started program to end and collects its output.
inline ProgramResult finishProgram(const StartedProgram& started) {
  int raw = 0;
  ::waitpid(started.pid, &raw, 0);
  ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  r.out = readFile(started.out);
  r.err = readFile(started.err);
  std::error_code ec;
  std::filesystem::remove(started.out, ec);
  std::filesystem::remove(started.err, ec);
  return r;
}

// startProgram, then finishProgram.
inline ProgramResult runProgram(const std::string& program, const ProgramRun& run,
                                const std::filesystem::path& scratch) {
  return finishProgram(startProgram(program, run, scratch));
}

// Asks `condition` every 10 ms until it holds or `limit` has passed; says
// whether it held. For waiting on another process without a fixed sleep.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Whether process `pid` has `file` mapped and waits to open a FIFO that
// nobody has opened from the other end. Where the kernel names what a
// thread waits in, one thread waits there; where it hides it, every thread
// at least sleeps.
inline bool waitsOpeningFifoWithMapped(pid_t pid, const std::filesystem::path& file) {
  const std::filesystem::path proc = "/proc/" + std::to_string(pid);
  std::error_code ec;
  const std::string target = std::filesystem::weakly_canonical(file, ec).string();
  if (readFile(proc / "maps").find(target) == std::string::npos) return false;
  std::vector<std::filesystem::path> tasks;
  for (const auto& task : std::filesystem::directory_iterator(proc / "task", ec))
    tasks.push_back(task.path());
  if (ec || tasks.empty()) return false;
  for (const auto& task : tasks)
    if (readFile(task / "wchan") == "wait_for_partner") return true;
  for (const auto& task : tasks) {
    const std::string wchan = readFile(task / "wchan");
    if (!wchan.empty() && wchan != "0") return false;  // named, and not the FIFO
    // The state follows the command name, which is in parentheses.
    const std::string stat = readFile(task / "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.compare(close, 3, ") S") != 0) return false;
  }
  return true;
}

// Whether process `pid`, a child of this one, has ended (and not yet been
// waited for) or is gone.
inline bool hasEnded(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  return close == std::string::npos || stat.compare(close, 3, ") Z") == 0;
}

}  // namespace kestrix::testing
