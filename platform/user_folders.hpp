// The folders that belong to the user rather than to a run.
#pragma once

#include <filesystem>

namespace kestrix::platform {

// The folder of the user's own settings of Kestrix:
// $XDG_CONFIG_HOME/kestrix, or ~/.config/kestrix when XDG_CONFIG_HOME is
// unset or not an absolute path (the home folder from HOME, else from the
// user's entry in the system's user list), on POSIX; %APPDATA%\Kestrix on
// Windows.
std::filesystem::path settingsFolder();

}  // namespace kestrix::platform
