// Input files mapped into memory (POSIX), for the programs that convert
// files from disk: their pages come from the system's file cache as they are
// instead of being copied into fresh memory, which costs a page fault a page.
#pragma once

#include <fcntl.h>
#include <signal.h>
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
#include <string>
#include <string_view>
#include <vector>

#include "input_files.hpp"
#include "limits.hpp"

namespace kestrix {

// Where the mapped files lie, so that a fault on a mapped page (the file cut
// short by another program while it was mapped) can be told and named from a
// signal handler. A slot is claimed while its file is mapped.
struct MappedFileSlot {
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};
  const std::uint8_t* begin = nullptr;
  std::size_t size = 0;
  char name[256] = {};
};
inline MappedFileSlot mappedFiles[limits::maxFiles];

// The name of the mapped file that holds `address`, or nullptr. Safe in a
// signal handler.
inline const char* mappedFileAt(const void* address) noexcept {
  const auto* a = static_cast<const std::uint8_t*>(address);
  for (const MappedFileSlot& slot : mappedFiles) {
    if (slot.ready.load() && a >= slot.begin && a < slot.begin + slot.size) return slot.name;
  }
  return nullptr;
}

// A file mapped into memory, known to mappedFileAt while mapped, unmapped
// with the last owner.
class FileMapping {
 public:
  FileMapping(void* address, std::size_t size, std::string_view name)
      : address_(address), size_(size) {
    for (MappedFileSlot& slot : mappedFiles) {
      bool free = false;
      if (!slot.claimed.compare_exchange_strong(free, true)) continue;
      slot.begin = static_cast<const std::uint8_t*>(address);
      slot.size = size;
      const std::size_t n = std::min(name.size(), sizeof slot.name - 1);
      std::memcpy(slot.name, name.data(), n);
      slot.name[n] = '\0';
      slot.ready.store(true);
      slot_ = &slot;
      break;
    }
  }
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping() {
    if (slot_) {
      slot_->ready.store(false);
      slot_->claimed.store(false);
    }
    munmap(address_, size_);
  }

 private:
  void* address_;
  std::size_t size_;
  MappedFileSlot* slot_ = nullptr;
};

// A regular input file is mapped, its pages taken from the system's file
// cache as they are rather than copied into fresh memory; anything else, or a
// file that cannot be mapped, is read as usual (with its usual errors). A
// logger file cut short by another program during the conversion would end
// it with SIGBUS, which guardMappedFiles catches.
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
      auto mapping = std::make_shared<const FileMapping>(address, size, displayName);
      return {{static_cast<const std::uint8_t*>(address), size}, std::move(mapping)};
    }
  }
  auto bytes = std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName));
  const std::span<const std::uint8_t> view(*bytes);
  return {view, std::move(bytes)};
}

// A fault on a mapped page (a file cut short by another program during the
// run) would end the program with a bus error. guardMappedFiles turns it into
// a message naming the file and exit status 1; a table being written (see
// GuardedTemporary) is removed first, so the earlier table stays as it was.
inline const char* guardedProgram = "kestrix";
inline char guardedTemporary[4096] = {};

inline void onMappedFileFault(int, siginfo_t* info, void*) {
  const char* name = mappedFileAt(info->si_addr);
  if (guardedTemporary[0] != '\0') unlink(guardedTemporary);
  auto say = [](const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); };
  say("\n");
  say(guardedProgram);
  say(": ");
  say(name ? name : "an input file");
  say(name ? ": the file was" : " was");
  say(" cut short by another program during the conversion; the conversion stopped\n");
  _exit(1);
}

inline void guardMappedFiles(const char* program) {
  guardedProgram = program;
  struct sigaction fault {};
  fault.sa_sigaction = onMappedFileFault;
  fault.sa_flags = SA_SIGINFO;
  sigemptyset(&fault.sa_mask);
  sigaction(SIGBUS, &fault, nullptr);
}

// While it lives, a fault on a mapped file also removes `temporary`.
class GuardedTemporary {
 public:
  explicit GuardedTemporary(const std::filesystem::path& temporary) {
    const std::string path = temporary.string();
    if (path.size() < sizeof guardedTemporary) {
      std::memcpy(guardedTemporary, path.c_str(), path.size() + 1);
    }
  }
  ~GuardedTemporary() { guardedTemporary[0] = '\0'; }
  GuardedTemporary(const GuardedTemporary&) = delete;
  GuardedTemporary& operator=(const GuardedTemporary&) = delete;
};

}  // namespace kestrix
