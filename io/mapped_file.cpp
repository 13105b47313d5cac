#include "mapped_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "limits.hpp"

namespace kestrix {

namespace {

// Where the mapped files lie, so that a fault on a mapped page can be told
// and named from a signal handler. A slot is claimed while its file is mapped.
struct MappedFileSlot {
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};
  const std::uint8_t* begin = nullptr;
  std::size_t size = 0;
  char name[256] = {};
};
// One a file of the largest run: a joined one (a run reads its files two at a
// time, but keeps every one mapped until it ends).
MappedFileSlot mappedFiles[std::max(limits::maxFiles, limits::maxJoinedFiles)];

std::atomic<std::size_t> nextSlot{0};

// Files below this size are read rather than mapped.
constexpr off_t kSmallestMapped = 64 * 1024;  // where the search for a free slot starts

// What the fault handler prints and removes: the temporary files of a run's
// outputs, each written beside its target until all of them replace theirs.
const char* guardedProgram = "kestrix";
struct GuardedSlot {
  std::atomic<bool> claimed{false};
  char path[4096] = {};
};
GuardedSlot guardedTemporaries[16];

// The name of the mapped file that holds `address`, or nullptr. Safe in a
// signal handler.
const char* mappedFileAt(const void* address) noexcept {
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
    // From where the last file found one: with thousands of files mapped,
    // scanning the claimed slots from the first each time would add up.
    constexpr std::size_t slots = std::size(mappedFiles);
    const std::size_t from = nextSlot.load() % slots;
    for (std::size_t i = 0; i < slots; ++i) {
      const std::size_t at = (from + i) % slots;
      MappedFileSlot& slot = mappedFiles[at];
      bool free = false;
      if (!slot.claimed.compare_exchange_strong(free, true)) continue;
      slot.begin = static_cast<const std::uint8_t*>(address);
      slot.size = size;
      const std::size_t n = std::min(name.size(), sizeof slot.name - 1);
      std::memcpy(slot.name, name.data(), n);
      slot.name[n] = '\0';
      slot.ready.store(true);
      slot_ = &slot;
      nextSlot.store(at + 1);
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

void onMappedFileFault(int, siginfo_t* info, void*) {
  const char* name = mappedFileAt(info->si_addr);
  for (const GuardedSlot& slot : guardedTemporaries) {
    if (slot.path[0] != '\0') unlink(slot.path);
  }
  auto say = [](const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); };
  say("\n");
  say(guardedProgram);
  say(": ");
  say(name ? name : "an input file");
  say(name ? ": the file was" : " was");
  say(" cut short by another program during the conversion; the conversion stopped\n");
  _exit(1);
}

}  // namespace

InputBytes mapInputFile(const std::filesystem::path& path, std::string_view displayName,
                        const Limits& limits) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat status {};
    void* address = MAP_FAILED;
    std::size_t size = 0;
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (regular && status.st_size > 0 && status.st_size < kSmallestMapped &&
        static_cast<std::uintmax_t>(status.st_size) <= limits.maxFileBytes) {
      // A small file (a joined run reads thousands) is cheaper read than
      // mapped: one read, and no map to set up and tear down, which two
      // threads would take turns at.
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size) + 1);
      std::size_t used = 0;
      ssize_t n = 0;
      while (used < bytes.size() && (n = read(fd, bytes.data() + used, bytes.size() - used)) > 0)
        used += static_cast<std::size_t>(n);
      close(fd);
      if (n >= 0 && used < bytes.size()) {  // the whole file, as long as it said
        bytes.resize(used);
        auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        const std::span<const std::uint8_t> view(*owned);
        return {view, std::move(owned)};
      }
      // It grew, or a read failed: read as usual, with the usual errors.
      auto read = std::make_shared<const std::vector<std::uint8_t>>(
          readInputFile(path, displayName, limits));
      const std::span<const std::uint8_t> view(*read);
      return {view, std::move(read)};
    }
    if (regular && status.st_size > 0 &&
        static_cast<std::uintmax_t>(status.st_size) <= limits.maxFileBytes) {
      size = static_cast<std::size_t>(status.st_size);
      address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    }
    close(fd);
    if (address != MAP_FAILED) {
      auto mapping = std::make_shared<const FileMapping>(address, size, displayName);
      return {{static_cast<const std::uint8_t*>(address), size}, std::move(mapping)};
    }
  }
  auto bytes =
      std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName, limits));
  const std::span<const std::uint8_t> view(*bytes);
  return {view, std::move(bytes)};
}

void guardMappedFiles(const char* program) {
  guardedProgram = program;
  struct sigaction fault {};
  fault.sa_sigaction = onMappedFileFault;
  fault.sa_flags = SA_SIGINFO;
  sigemptyset(&fault.sa_mask);
  sigaction(SIGBUS, &fault, nullptr);
}

GuardedTemporary::GuardedTemporary(const std::filesystem::path& temporary) {
  const std::string path = temporary.string();
  if (path.empty() || path.size() >= sizeof GuardedSlot::path) return;
  for (std::size_t i = 0; i < std::size(guardedTemporaries); ++i) {
    GuardedSlot& slot = guardedTemporaries[i];
    bool free = false;
    if (!slot.claimed.compare_exchange_strong(free, true)) continue;
    // The first byte last: the handler never sees half a name.
    std::memcpy(slot.path + 1, path.c_str() + 1, path.size());
    std::atomic_signal_fence(std::memory_order_release);
    slot.path[0] = path[0];
    slot_ = static_cast<int>(i);
    return;
  }
}

GuardedTemporary::~GuardedTemporary() {
  if (slot_ < 0) return;
  GuardedSlot& slot = guardedTemporaries[slot_];
  slot.path[0] = '\0';
  slot.claimed.store(false);
}

}  // namespace kestrix
