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

// Ascending by name, letter case folded first, then byte order.
bool nameLess(std::string_view a, std::string_view b);

// The logger files of `dir` as the file list shows them: regular files (or
// links to them), not hidden, matching "uc*.pdb", sorted with nameLess. An
// unreadable folder gives an empty list.
std::vector<std::string> loggerFilesIn(const std::filesystem::path& dir);

// The visible subfolders of `dir`, sorted with nameLess.
std::vector<std::string> subfoldersOf(const std::filesystem::path& dir);

// A mounted volume that holds real files.
struct Volume {
  std::filesystem::path mountPoint;
  std::string device;      // as the mount table names it
  std::string fileSystem;  // "ext4", "vfat", ...
};

// The volumes of a mount table in the layout of /proc/self/mounts, in table
// order without duplicates: the root file system, block devices and network
// shares; no pseudo file systems.
std::vector<Volume> parseMounts(std::string_view table);

// parseMounts of /proc/self/mounts, keeping mount points that are folders.
// Always holds "/" at least.
std::vector<Volume> mountedVolumes();

// Index of the volume whose mount point is the longest leading part of
// `path`; -1 when none is.
int volumeHolding(const std::vector<Volume>& volumes, const std::filesystem::path& path);

}  // namespace kestrix::ui
