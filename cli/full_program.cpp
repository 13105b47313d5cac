#include "full_program.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace kestrix::cli {

void runFullProgram(char** argv, const char* installed, const char* program) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    std::fprintf(stderr, "%s: cannot find this program's folder: %s\n", program,
                 ec.message().c_str());
    return;
  }
  const fs::path folder = self.parent_path();
  const fs::path candidates[] = {(folder / installed).lexically_normal(),
                                 folder / fs::path(installed).filename()};
  int error = ENOENT;
  for (const fs::path& candidate : candidates) {
    if (access(candidate.c_str(), X_OK) != 0) continue;
    execv(candidate.c_str(), argv);
    error = errno;  // only when it could not be run
  }
  std::fprintf(stderr, "%s: a workbook or a report needs %s: %s\n", program, candidates[0].c_str(),
               std::strerror(error));
}

}  // namespace kestrix::cli
