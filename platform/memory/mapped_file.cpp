// The browser build: files in memory are read, never mapped, so nothing can
// fault.
#include "platform/mapped_file.hpp"

namespace kestrix::platform {

std::optional<FileBytes> mapFile(const std::filesystem::path&, std::uintmax_t, std::string_view) {
  return std::nullopt;
}

void guardMappedFiles(const char*) {}

GuardedTemporary::GuardedTemporary(const std::filesystem::path&) {}

GuardedTemporary::~GuardedTemporary() = default;

}  // namespace kestrix::platform
