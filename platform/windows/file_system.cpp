#include "platform/file_system.hpp"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/windows/windows_error.hpp"

namespace fs = std::filesystem;

namespace kestrix::platform {

namespace {

// A handle that closes itself.
struct Handle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  explicit operator bool() const { return handle != INVALID_HANDLE_VALUE; }
};

}  // namespace

std::FILE* openFile(const fs::path& path, const char* mode) {
  // A read-only file is opened for reading alone, as Windows has it (Wine
  // run by root would open it for writing too).
  const bool writes = std::strpbrk(mode, "wa+") != nullptr;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (writes && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    errno = EACCES;
    return nullptr;
  }
  const std::wstring wide(mode, mode + std::strlen(mode));
  std::FILE* file = _wfopen(path.c_str(), wide.c_str());
  // A file another program holds open without sharing it (Excel keeps a
  // table it shows so) is EBUSY, not the EACCES of a read-only file.
  if (!file && (_doserrno == ERROR_SHARING_VIOLATION || _doserrno == ERROR_LOCK_VIOLATION))
    errno = EBUSY;
  return file;
}

std::FILE* createNewFile(const fs::path& path, std::error_code& error) {
  // Not inheritable: programs this one starts do not hold it open.
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS
                ? std::make_error_code(std::errc::file_exists)
                : windows::win32Error(code);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor == -1) {
    error = {errno, std::generic_category()};
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "wb");
  if (!file) {
    error = {errno, std::generic_category()};
    _close(descriptor);
    return nullptr;
  }
  error.clear();
  return file;
}

std::error_code replaceFile(const fs::path& from, const fs::path& to) {
  // A virus scanner or an indexer that opened either file a moment ago
  // refuses the rename until it lets go: wait a little and try again.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return {};
    const DWORD code = GetLastError();
    if (attempt == 9 || (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
                         code != ERROR_LOCK_VIOLATION))
      return windows::win32Error(code);
    Sleep(static_cast<DWORD>(50 * (attempt + 1)));
  }
}

void keepPermissions(const fs::file_status&, const fs::path&) {
  // No permission bits: the new file has the access rights its folder gives
  // new files, as a file saved there anew has. A read-only file is never
  // replaced (the target is refused before).
}

std::optional<FileIdentity> fileIdentity(const fs::path& path) {
  // Folders open only with backup semantics; no access right is needed to
  // read what identifies a file.
  Handle file{CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.handle, &information)) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                      {}};
}

std::error_code checkFolderTakesNewFiles(const fs::path& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return windows::lastWin32Error();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::make_error_code(std::errc::not_a_directory);
  // The rights of a folder are its access list's, read-only media aside:
  // the one sure answer is a file made there, gone again when closed.
  const fs::path probe = folder / (L".kestrix-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(GetTickCount64()) + L".tmp");
  Handle file{CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)};
  if (!file && GetLastError() != ERROR_FILE_EXISTS) return windows::lastWin32Error();
  return {};
}

std::optional<std::uintmax_t> freeSpace(const fs::path& path) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return std::uintmax_t{available.QuadPart};
}

std::string libraryFileName(const fs::path& path) {
  return windows::utf8(path.native());
}

}  // namespace kestrix::platform
