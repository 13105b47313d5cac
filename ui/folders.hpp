// What the window's three lists show: volumes, folders and logger files.
// Plain standard library, shared with the command-line mode.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::ui {

// True for names of the form "uc*.pdb" in any letter case.
bool matchesLoggerPattern(std::string_view name);

// True when `a` and `b` differ at most in letter case (UTF-8, foldCase).
bool sameIgnoringCase(std::string_view a, std::string_view b);

// Ascending by name, letter case folded first, then byte order.
bool nameLess(std::string_view a, std::string_view b);

// The logger files of `dir` as the file list shows them: regular files (or
// links to them), not hidden, matching "uc*.pdb", sorted with nameLess. An
// unreadable folder gives an empty list.
std::vector<std::string> loggerFilesIn(const std::filesystem::path& dir);

// The visible subfolders of `dir`, sorted with nameLess.
std::vector<std::string> subfoldersOf(const std::filesystem::path& dir);

// A place the drive list offers: a mounted volume or the home folder.
struct Volume {
  std::filesystem::path mountPoint;
  std::string name;  // UTF-8, as a file manager names it ("USB STICK"); may be empty
};

// True for a mounted file system that holds the user's files: the root file
// system, block devices (not read-only squashfs images) and network shares;
// not the system's pseudo file systems nor anything under /proc, /sys, /dev.
bool holdsRealFiles(std::string_view device, std::string_view fileSystem,
                    const std::filesystem::path& mountPoint);

// Index of the volume whose mount point is the longest leading part of
// `path`; -1 when none is.
int volumeHolding(const std::vector<Volume>& volumes, const std::filesystem::path& path);

}  // namespace kestrix::ui
