#include "platform/windows/windows_error.hpp"

#include <windows.h>

namespace kestrix::platform::windows {

namespace {

class Win32Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }

  std::string message(int code) const override {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return "system error " + std::to_string(code);
    std::wstring_view view(text, length);
    // The system's text ends in a full stop and a line break.
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ' ||
                             view.back() == L'.'))
      view.remove_suffix(1);
    std::string result = utf8(view);
    LocalFree(text);
    return result;
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    switch (static_cast<DWORD>(code)) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
        return std::errc::no_such_file_or_directory;
      case ERROR_ACCESS_DENIED:
        return std::errc::permission_denied;
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS:
        return std::errc::file_exists;
      case ERROR_DIRECTORY:
        return std::errc::not_a_directory;
      case ERROR_WRITE_PROTECT:
        return std::errc::read_only_file_system;
      case ERROR_DISK_FULL:
      case ERROR_HANDLE_DISK_FULL:
        return std::errc::no_space_on_device;
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return std::errc::device_or_resource_busy;
      case ERROR_NOT_ENOUGH_MEMORY:
      case ERROR_OUTOFMEMORY:
        return std::errc::not_enough_memory;
      default:
        return {code, *this};
    }
  }
};

}  // namespace

std::error_code win32Error(unsigned long code) {
  static const Win32Category category;
  return {static_cast<int>(code), category};
}

std::error_code lastWin32Error() {
  return win32Error(GetLastError());
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int wide = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, result.data(), length, nullptr, nullptr);
  return result;
}

}  // namespace kestrix::platform::windows
