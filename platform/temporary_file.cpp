#include "platform/temporary_file.hpp"

#include <random>
#include <string>

#include "platform/file_system.hpp"

namespace fs = std::filesystem;

namespace kestrix::platform {

fs::path folderOf(const fs::path& target) {
  return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

TemporaryFile createTemporaryBeside(const fs::path& target, std::error_code& error) {
  std::random_device random;
  const fs::path folder = folderOf(target);
  // Within the 255 bytes a file name may have, however long the target's.
  const fs::path::string_type stem = target.filename().native().substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix = std::to_string(random() % 1000000000u);
    TemporaryFile temporary{folder / (fs::path(".") += stem)};
    temporary.path += "." + suffix + ".tmp";
    temporary.file = createNewFile(temporary.path, error);
    if (temporary.file) {
      error.clear();
      return temporary;
    }
    if (error != std::errc::file_exists) return {};
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

}  // namespace kestrix::platform
