// The browser build: files in memory are read, never mapped, so nothing can
// fault; the temporaries are kept in the guard's list all the same, as on
// the other systems.
#include "platform/mapped_file.hpp"

#include "platform/guard_slots.hpp"

namespace kestrix::platform {

std::optional<FileBytes> mapFile(const std::filesystem::path&, std::uintmax_t, std::string_view) {
  return std::nullopt;
}

void guardMappedFiles(const char*) {}

GuardedTemporary::GuardedTemporary(const std::filesystem::path& temporary)
    : slot_(guard::rememberTemporary(temporary)) {}

GuardedTemporary::~GuardedTemporary() {
  guard::forgetTemporary(slot_);
}

}  // namespace kestrix::platform
