// The browser build: the runtime keeps its files in memory, behind the C
// library's streams; nothing else of a system is there.
#include "platform/file_system.hpp"

#include <cerrno>

namespace fs = std::filesystem;

namespace kestrix::platform {

std::FILE* openFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::FILE* createNewFile(const fs::path& path, std::error_code& error) {
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  error = file ? std::error_code() : std::error_code(errno, std::generic_category());
  return file;
}

std::error_code replaceFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return error;
}

void keepPermissions(const fs::file_status&, const fs::path&) {}

std::optional<FileIdentity> fileIdentity(const fs::path& path) {
  std::error_code error;
  fs::path name = fs::canonical(path, error);
  if (error) return std::nullopt;
  return FileIdentity{0, 0, std::move(name)};
}

std::error_code checkFolderTakesNewFiles(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (error) return error;
  if (!fs::is_directory(status)) return std::make_error_code(std::errc::not_a_directory);
  return {};
}

std::optional<std::uintmax_t> freeSpace(const fs::path&) {
  return std::nullopt;
}

std::string libraryFileName(const fs::path& path) {
  return path.native();
}

}  // namespace kestrix::platform
