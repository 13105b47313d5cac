// Win32 error numbers as std::error_code, and the wide strings of Win32
// turned into UTF-8 for messages.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace kestrix::platform::windows {

// The error of a Win32 error number; message() is the system's text, in
// UTF-8, and the common ones compare equal to their std::errc.
std::error_code win32Error(unsigned long code);

// win32Error(GetLastError()).
std::error_code lastWin32Error();

std::string utf8(std::wstring_view text);

}  // namespace kestrix::platform::windows
