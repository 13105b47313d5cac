// The browser build: the runtime keeps its files behind the C library's
// streams, in memory in the page and on the disk through Node (whose own
// file access answers what the runtime's cannot: the rights on a folder).
#include "platform/file_system.hpp"

#include <emscripten.h>
#include <sys/stat.h>

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
  // The runtime's inodes: Node's under Node, its own in memory.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{
      static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), {}};
}

namespace {

// 0 when this user may create files in `folder`; else which refusal, by
// Node's error code (1 EACCES, 2 EROFS, 3 ENOENT, 4 ENOTDIR, 5 EPERM). Under
// Node it asks Node, as the runtime takes every right as granted; in memory,
// every folder takes new files.
// clang-format off
EM_JS(int, hostFolderRefusal, (const char* folder), {
  if (typeof process !== 'object' || !process.versions || !process.versions.node) return 0;
  var fs = require('fs');
  try {
    fs.accessSync(UTF8ToString(folder), fs.constants.W_OK | fs.constants.X_OK);
    return 0;
  } catch (e) {
    return Math.max(1, ['EACCES', 'EROFS', 'ENOENT', 'ENOTDIR', 'EPERM'].indexOf(e.code) + 1);
  }
});
// clang-format on

std::error_code refusalError(int refusal) {
  static constexpr int errors[] = {EACCES, EROFS, ENOENT, ENOTDIR, EPERM};
  return {errors[refusal - 1], std::generic_category()};
}

}  // namespace

std::error_code checkFolderTakesNewFiles(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (error) return error;
  if (!fs::is_directory(status)) return std::make_error_code(std::errc::not_a_directory);
  if (const int refusal = hostFolderRefusal(folder.c_str())) return refusalError(refusal);
  return {};
}

std::optional<std::uintmax_t> freeSpace(const fs::path&) {
  return std::nullopt;
}

std::string libraryFileName(const fs::path& path) {
  return path.native();
}

}  // namespace kestrix::platform
