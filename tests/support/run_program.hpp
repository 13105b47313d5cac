// Programs run as a user runs them: started as a process, no shell in
// between, with their output captured.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
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

// Runs `program` with no shell in between and standard input from /dev/null;
// standard output and error are captured through files in `scratch`.
inline ProgramResult runProgram(const std::string& program, const ProgramRun& run,
                                const std::filesystem::path& scratch) {
  const std::filesystem::path out = scratch / ".stdout", err = scratch / ".stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!run.folder.empty() && ::chdir(run.folder.c_str()) != 0) ::_exit(126);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  r.out = readFile(out);
  r.err = readFile(err);
  std::error_code ec;
  std::filesystem::remove(out, ec);
  std::filesystem::remove(err, ec);
  return r;
}

}  // namespace kestrix::testing
