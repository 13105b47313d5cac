#include "platform/user_folders.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace kestrix::platform {

fs::path settingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (config && fs::path(config).is_absolute()) {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = ::getpwuid(::getuid());
      home = user ? user->pw_dir : "";
    }
    base = fs::path(home) / ".config";
  }
  return base / "kestrix";
}

}  // namespace kestrix::platform
