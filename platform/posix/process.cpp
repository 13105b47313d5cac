#include "platform/process.hpp"

#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace kestrix::platform {

fs::path programFile(std::error_code& error) {
  return fs::read_symlink("/proc/self/exe", error);
}

bool isRunnable(const fs::path& program) {
  return access(program.c_str(), X_OK) == 0;
}

std::error_code runInstead(const fs::path& program, char** argv) {
  execv(program.c_str(), argv);
  return {errno, std::generic_category()};  // only when it could not be run
}

}  // namespace kestrix::platform
