// Input files mapped into memory (POSIX), for the programs that convert
// files from disk: their pages come from the system's file cache as they are
// instead of being copied into fresh memory, which costs a page fault a page.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "files.hpp"
#include "limits.hpp"

namespace kestrix {

// A file mapped into memory, unmapped with the last owner.
struct FileMapping {
  void* address = nullptr;
  std::size_t size = 0;
  FileMapping(void* a, std::size_t s) : address(a), size(s) {}
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping() { munmap(address, size); }
};

// A regular input file is mapped, its pages taken from the system's file
// cache as they are rather than copied into fresh memory; anything else, or a
// file that cannot be mapped, is read as usual (with its usual errors). A
// logger file cut short by another program during the conversion would end
// it with SIGBUS: logger files are written once, when they are downloaded.
inline InputBytes mapInputFile(const std::filesystem::path& path, std::string_view displayName) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat status {};
    void* address = MAP_FAILED;
    std::size_t size = 0;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::uintmax_t>(status.st_size) <= limits::maxFileBytes) {
      size = static_cast<std::size_t>(status.st_size);
      address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    close(fd);
    if (address != MAP_FAILED) {
      auto mapping = std::make_shared<const FileMapping>(address, size);
      return {{static_cast<const std::uint8_t*>(address), size}, std::move(mapping)};
    }
  }
  auto bytes = std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName));
  const std::span<const std::uint8_t> view(*bytes);
  return {view, std::move(bytes)};
}

}  // namespace kestrix
