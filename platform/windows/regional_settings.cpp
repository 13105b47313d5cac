#include "platform/regional_settings.hpp"

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/windows/windows_error.hpp"

namespace kestrix::platform {

namespace {

// The user's setting `item` in UTF-8, or `fallback` where Windows gives none
// or one too long to be a mark between digits.
std::string userSetting(LCTYPE item, const std::string& fallback) {
  wchar_t text[8];
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, text, 8);
  if (length <= 1) return fallback;  // the length counts the closing NUL
  std::string setting =
      windows::utf8(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
  return setting.empty() || setting.size() > 4 ? fallback : setting;
}

}  // namespace

// Windows keeps the user's regional settings (Settings, Time & language,
// Region) apart from the C runtime's locale, which knows only "C": the decimal
// mark and the date and time separators come from there, as every desktop
// program on Windows takes them.
Regional regionalSettings() {
  Regional regional;
  regional.decimalMark = userSetting(LOCALE_SDECIMAL, regional.decimalMark);
  regional.dateSeparator = userSetting(LOCALE_SDATE, regional.dateSeparator);
  regional.timeSeparator = userSetting(LOCALE_STIME, regional.timeSeparator);
  return regional;
}

}  // namespace kestrix::platform
