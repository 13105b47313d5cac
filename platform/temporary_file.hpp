// A new file beside a target, written and then renamed over it: the target is
// the earlier file or the complete new one, never half of one.
#pragma once

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace kestrix::platform {

// A new file beside a target, created empty and open for writing.
struct TemporaryFile {
  std::filesystem::path path;
  std::FILE* file = nullptr;
};

// The folder a file named `target` goes in: its parent, or "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path& target);

// Creates a new file beside `target` that nobody else has, ".NAME.NUMBER.tmp",
// within the 255 bytes a file name may have. On failure no file and `error`
// set: the system's reason, or std::errc::file_exists when every name tried
// was taken.
TemporaryFile createTemporaryBeside(const std::filesystem::path& target, std::error_code& error);

}  // namespace kestrix::platform
