#include "platform/user_folders.hpp"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace kestrix::platform {

fs::path settingsFolder() {
  // The roaming application data of the user: %APPDATA%.
  fs::path base;
  wchar_t* known = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK) base = known;
  CoTaskMemFree(known);
  if (base.empty()) {
    if (const wchar_t* appData = _wgetenv(L"APPDATA")) base = appData;
  }
  return base / L"Kestrix";
}

}  // namespace kestrix::platform
