// The browser build: one program on one thread, which starts no other and
// whose memory the system does not report.
#include "platform/resource_usage.hpp"

#include <chrono>

namespace kestrix::platform {

std::optional<std::int64_t> peakMemoryKiB() {
  return std::nullopt;
}

double threadProcessorMilliseconds() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(since).count();
}

std::error_code runToEnd(char**, CommandUsage&) {
  return std::make_error_code(std::errc::function_not_supported);
}

}  // namespace kestrix::platform
