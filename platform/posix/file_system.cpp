#include "platform/file_system.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace kestrix::platform {

namespace {

std::error_code lastError() {
  return {errno, std::generic_category()};
}

}  // namespace

std::FILE* openFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::FILE* createNewFile(const fs::path& path, std::error_code& error) {
  // "x": only a file made here; "e": closed in the programs this one starts.
  std::FILE* file = std::fopen(path.c_str(), "wbxe");
  error = file ? std::error_code() : lastError();
  return file;
}

std::error_code replaceFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return error;
}

void keepPermissions(const fs::file_status& replaced, const fs::path& replacement) {
  if (!fs::is_regular_file(replaced)) return;
  std::error_code ignored;
  fs::permissions(replacement, replaced.permissions() & fs::perms::all, ignored);
}

std::optional<FileIdentity> fileIdentity(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{
      static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), {}};
}

std::error_code checkFolderTakesNewFiles(const fs::path& folder) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) return lastError();
  if (!S_ISDIR(status.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  // The effective user's rights, read-only mounts included.
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return lastError();
  return {};
}

std::optional<std::uintmax_t> freeSpace(const fs::path& path) {
  struct statvfs space {};
  if (::statvfs(path.c_str(), &space) != 0) return std::nullopt;
  return std::uintmax_t{space.f_bavail} * space.f_frsize;
}

std::string libraryFileName(const fs::path& path) {
  return path.native();
}

}  // namespace kestrix::platform
