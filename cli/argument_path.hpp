// The path a command-line argument names. The arguments are the system's
// bytes on POSIX and UTF-8 where the system's names are wide (Windows, whose
// entry point converts them), where a path made of a char string would read
// its bytes in the C library's locale instead.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

namespace kestrix::cli {

inline std::filesystem::path argumentPath(std::string_view argument) {
  if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>) {
    const auto* utf8 = reinterpret_cast<const char8_t*>(argument.data());
    return std::filesystem::path(std::u8string_view(utf8, argument.size()));
  } else {
    return std::filesystem::path(argument);
  }
}

// The argument that names `path`: argumentPath's inverse.
inline std::string argumentText(const std::filesystem::path& path) {
  if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
  } else {
    return path.string();
  }
}

}  // namespace kestrix::cli
