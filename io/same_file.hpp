// Whether two paths name one file: what keeps two outputs of a run off one
// file, and an output off a file the run reads (platform::fileIdentity: the
// device and inode, or the volume and file index).
#pragma once

#include <filesystem>

namespace kestrix {

// True when writing `a` and writing `b` would reach the same file: for files
// that exist, the same device and inode (links followed, hard links too); for
// names with no file yet, the same name in the same folder once links are
// followed (a link to nothing yet names the file it would create).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace kestrix
