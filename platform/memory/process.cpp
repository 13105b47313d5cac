// The browser build: one program, which starts no other.
#include "platform/process.hpp"

namespace fs = std::filesystem;

namespace kestrix::platform {

fs::path programFile(std::error_code& error) {
  error = std::make_error_code(std::errc::function_not_supported);
  return {};
}

bool isRunnable(const fs::path&) {
  return false;
}

std::error_code runInstead(const fs::path&, char**) {
  return std::make_error_code(std::errc::function_not_supported);
}

}  // namespace kestrix::platform
