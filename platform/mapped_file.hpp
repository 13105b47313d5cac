// Input files mapped into memory: their pages come from the system's file
// cache as they are instead of being copied into fresh memory, which costs a
// page fault a page. A mapped file that another program cuts short during
// the run would fault on its missing pages; the guard turns that into a
// message naming the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace kestrix::platform {

// The bytes of one file and what keeps them alive.
struct FileBytes {
  std::span<const std::uint8_t> bytes;
  std::shared_ptr<const void> owner;
};

// The bytes of the regular file at `path`, of 1 to `largest` bytes, without
// copying them where that pays: a file of 64 KiB or more is mapped, a smaller
// one read in one go (cheaper than a mapping). Nothing for anything else,
// when it cannot be opened or mapped, or when it grows while read: the caller
// then reads it as usual, with the usual errors. While mapped, the file is
// known to the guard of guardMappedFiles by `name`.
std::optional<FileBytes> mapFile(const std::filesystem::path& path, std::uintmax_t largest,
                                 std::string_view name);

// A fault on a mapped page (a file cut short by another program during the
// run) would end the program with a bus error. After guardMappedFiles it
// prints a message naming the file, prefixed with `program` (which must stay
// valid), and ends the program with exit status 1; the outputs being written
// (see GuardedTemporary) are removed first, so the earlier ones stay as they were.
void guardMappedFiles(const char* program);

// While it lives, a fault on a mapped file also removes `temporary` (up to
// 16 such files at a time: every output of a run).
class GuardedTemporary {
 public:
  explicit GuardedTemporary(const std::filesystem::path& temporary);
  ~GuardedTemporary();
  GuardedTemporary(const GuardedTemporary&) = delete;
  GuardedTemporary& operator=(const GuardedTemporary&) = delete;

 private:
  int slot_ = -1;
};

}  // namespace kestrix::platform
