// The browser build: the settings live in the runtime's own file tree.
#include "platform/user_folders.hpp"

namespace kestrix::platform {

std::filesystem::path settingsFolder() {
  return "/settings/kestrix";
}

}  // namespace kestrix::platform
