#include "platform/mapped_file.hpp"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/guard_slots.hpp"

namespace kestrix::platform {

namespace {

// Files below this size are read rather than mapped.
constexpr LONGLONG kSmallestMapped = 64 * 1024;

// A view of a file, known to the guard while mapped, unmapped with the last
// owner.
class FileMapping {
 public:
  FileMapping(const void* address, std::size_t size, std::string_view name)
      : address_(address), slot_(guard::rememberMapping(address, size, name)) {}
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping() {
    guard::forgetMapping(slot_);
    UnmapViewOfFile(address_);
  }

 private:
  const void* address_;
  int slot_;
};

void removeTemporary(const wchar_t* path) {
  DeleteFileW(path);
}

// A page of a mapped file that cannot be read (the file on a share that
// went away, or cut short) raises EXCEPTION_IN_PAGE_ERROR, its address the
// second piece of information.
LONG CALLBACK onMappedFileFault(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  guard::forEachTemporary(removeTemporary);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  const void* address = reinterpret_cast<const void*>(record->ExceptionInformation[1]);
  for (const char* piece : guard::faultMessage(address).pieces) {
    DWORD written = 0;
    WriteFile(err, piece, static_cast<DWORD>(std::strlen(piece)), &written, nullptr);
  }
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

std::optional<FileBytes> mapFile(const std::filesystem::path& path, std::uintmax_t largest,
                                 std::string_view name) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  BY_HANDLE_FILE_INFORMATION information{};
  const bool regular =
      GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
      !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && GetFileSizeEx(file, &size);
  if (!regular || size.QuadPart <= 0 || static_cast<std::uintmax_t>(size.QuadPart) > largest) {
    CloseHandle(file);
    return std::nullopt;
  }
  const auto bytesOfFile = static_cast<std::size_t>(size.QuadPart);
  if (size.QuadPart < kSmallestMapped) {
    // A small file is cheaper read than mapped: one read, no view to set up.
    std::vector<std::uint8_t> bytes(bytesOfFile + 1);
    std::size_t used = 0;
    DWORD n = 0;
    bool failed = false;
    while (used < bytes.size()) {
      if (!ReadFile(file, bytes.data() + used, static_cast<DWORD>(bytes.size() - used), &n,
                    nullptr)) {
        failed = true;
        break;
      }
      if (n == 0) break;
      used += n;
    }
    CloseHandle(file);
    if (failed || used == bytes.size()) return std::nullopt;  // a read failed, or it grew
    bytes.resize(used);
    auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    const std::span<const std::uint8_t> view(*owned);
    return FileBytes{view, std::move(owned)};
  }
  const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);
  if (mapping == nullptr) return std::nullopt;
  // The view keeps the file and the mapping object open.
  const void* address = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytesOfFile);
  CloseHandle(mapping);
  if (address == nullptr) return std::nullopt;
  auto owner = std::make_shared<const FileMapping>(address, bytesOfFile, name);
  return FileBytes{{static_cast<const std::uint8_t*>(address), bytesOfFile}, std::move(owner)};
}

void guardMappedFiles(const char* program) {
  guard::setProgram(program);
  static const bool added = AddVectoredExceptionHandler(1, onMappedFileFault) != nullptr;
  (void)added;
}

GuardedTemporary::GuardedTemporary(const std::filesystem::path& temporary)
    : slot_(guard::rememberTemporary(temporary)) {}

GuardedTemporary::~GuardedTemporary() {
  guard::forgetTemporary(slot_);
}

}  // namespace kestrix::platform
