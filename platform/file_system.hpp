// Files as the system keeps them: a file opened for the C library's streams,
// a new file created, one file renamed over another, the identity that tells
// two names of one file, what this user may do in a folder, free space.
// Paths cross here as std::filesystem::path and reach the system in its own
// characters (wide ones on Windows); an error comes back as a
// std::error_code whose message() is the system's text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace kestrix::platform {

// std::fopen of `path`, `mode` as std::fopen takes it ("rb", "r+b", "wb").
// On failure nullptr, with errno set.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// Creates the file `path`, which must not exist yet, empty and open for
// writing bytes, and not inherited by programs this one starts. On failure
// nullptr and `error` set: std::errc::file_exists when the name is taken.
std::FILE* createNewFile(const std::filesystem::path& path, std::error_code& error);

// Renames `from` over `to` in one step: `to` is the file it was, or the new
// one. On Windows a rename refused for a moment (a virus scanner reading
// either file) is tried again a few times.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Gives `replacement` the permission bits of the file it replaces, whose
// status was `replaced`; nothing when that was no regular file, nor where the
// system keeps no such bits.
void keepPermissions(const std::filesystem::file_status& replaced,
                     const std::filesystem::path& replacement);

// What tells one existing file from every other: its device and inode
// (POSIX), its volume's serial number and its file index (Windows), its name
// once links are followed (memory, where nothing else tells).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  std::filesystem::path name;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file or folder `path` reaches, links followed; nothing
// when there is none or it cannot be looked at.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

// Why this user cannot create a file in `folder`: it is missing, it is no
// folder (std::errc::not_a_directory) or this user may not write there (a
// read-only mount included). Empty when a file can be created there.
std::error_code checkFolderTakesNewFiles(const std::filesystem::path& folder);

// The bytes free to this user on the file system holding `path`; nothing
// when the system does not say.
std::optional<std::uintmax_t> freeSpace(const std::filesystem::path& path);

// `path` for a C library that opens files by a char string (libxlsxwriter):
// the system's own bytes on POSIX; UTF-8 on Windows, the code page the
// program runs in there.
std::string libraryFileName(const std::filesystem::path& path);

}  // namespace kestrix::platform
