// Input files mapped into memory (POSIX), for the programs that convert
// files from disk: their pages come from the system's file cache as they are
// instead of being copied into fresh memory, which costs a page fault a page.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
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

// Where the mapped files lie, so that a fault on a mapped page (the file cut
// short by another program while it was mapped) can be told and named from a
// signal handler: slots are claimed once and never change afterwards.
struct MappedFileSlot {
  std::atomic<bool> ready{false};
  const std::uint8_t* begin = nullptr;
  std::size_t size = 0;
  char name[256] = {};
};
inline MappedFileSlot mappedFiles[limits::maxFiles];
inline std::atomic<int> mappedFileCount{0};

// The name of the mapped file that holds `address`, or nullptr. Safe in a
// signal handler.
inline const char* mappedFileAt(const void* address) noexcept {
  const auto* a = static_cast<const std::uint8_t*>(address);
  const int count = std::min(mappedFileCount.load(), limits::maxFiles);
  for (int i = 0; i < count; ++i) {
    const MappedFileSlot& slot = mappedFiles[i];
    if (slot.ready.load() && a >= slot.begin && a < slot.begin + slot.size) return slot.name;
  }
  return nullptr;
}

// A regular input file is mapped, its pages taken from the system's file
// cache as they are rather than copied into fresh memory; anything else, or a
// file that cannot be mapped, is read as usual (with its usual errors). A
// logger file cut short by another program during the conversion would end
// it with SIGBUS, which the program catches: see mappedFileAt.
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
      const int index = mappedFileCount.fetch_add(1);
      if (index < limits::maxFiles) {
        MappedFileSlot& slot = mappedFiles[index];
        slot.begin = static_cast<const std::uint8_t*>(address);
        slot.size = size;
        const std::size_t n = std::min(displayName.size(), sizeof slot.name - 1);
        std::memcpy(slot.name, displayName.data(), n);
        slot.ready.store(true);
      }
      auto mapping = std::make_shared<const FileMapping>(address, size);
      return {{static_cast<const std::uint8_t*>(address), size}, std::move(mapping)};
    }
  }
  auto bytes = std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName));
  const std::span<const std::uint8_t> view(*bytes);
  return {view, std::move(bytes)};
}

}  // namespace kestrix
