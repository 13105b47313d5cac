// Input files mapped into memory (POSIX), for the programs that convert
// files from disk: their pages come from the system's file cache as they are
// instead of being copied into fresh memory, which costs a page fault a page.
#pragma once

#include <filesystem>
#include <string_view>

#include "input_files.hpp"

namespace kestrix {

// A regular input file of 64 KiB to limits.maxFileBytes is mapped, its pages
// taken from the system's file cache as they are rather than copied into
// fresh memory; a smaller one is read in one go (cheaper than a mapping);
// anything else, or a file that cannot be mapped, is read as usual (with its
// usual errors). While mapped, the file is known to the guard
// of guardMappedFiles by its `displayName`.
InputBytes mapInputFile(const std::filesystem::path& path, std::string_view displayName,
                        const Limits& limits = {});

// A fault on a mapped page (a logger file cut short by another program during
// the run) would end the program with a bus error. After guardMappedFiles it
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

}  // namespace kestrix
