#include "platform/mapped_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/guard_slots.hpp"

namespace kestrix::platform {

namespace {

// Files below this size are read rather than mapped.
constexpr off_t kSmallestMapped = 64 * 1024;

// A file mapped into memory, known to the guard while mapped, unmapped with
// the last owner.
class FileMapping {
 public:
  FileMapping(void* address, std::size_t size, std::string_view name)
      : address_(address), size_(size), slot_(guard::rememberMapping(address, size, name)) {}
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping() {
    guard::forgetMapping(slot_);
    munmap(address_, size_);
  }

 private:
  void* address_;
  std::size_t size_;
  int slot_;
};

void removeTemporary(const char* path) {
  unlink(path);
}

void onMappedFileFault(int, siginfo_t* info, void*) {
  guard::forEachTemporary(removeTemporary);
  for (const char* piece : guard::faultMessage(info->si_addr).pieces)
    (void)!write(STDERR_FILENO, piece, std::strlen(piece));
  _exit(1);
}

}  // namespace

std::optional<FileBytes> mapFile(const std::filesystem::path& path, std::uintmax_t largest,
                                 std::string_view name) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  if (!regular || status.st_size <= 0 || static_cast<std::uintmax_t>(status.st_size) > largest) {
    close(fd);
    return std::nullopt;
  }
  const auto size = static_cast<std::size_t>(status.st_size);
  if (status.st_size < kSmallestMapped) {
    // A small file (a joined run reads thousands) is cheaper read than
    // mapped: one read, and no map to set up and tear down, which two
    // threads would take turns at.
    std::vector<std::uint8_t> bytes(size + 1);
    std::size_t used = 0;
    ssize_t n = 0;
    while (used < bytes.size() && (n = read(fd, bytes.data() + used, bytes.size() - used)) > 0)
      used += static_cast<std::size_t>(n);
    close(fd);
    if (n < 0 || used == bytes.size()) return std::nullopt;  // a read failed, or it grew
    bytes.resize(used);
    auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    const std::span<const std::uint8_t> view(*owned);
    return FileBytes{view, std::move(owned)};
  }
  void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  close(fd);
  if (address == MAP_FAILED) return std::nullopt;
  auto mapping = std::make_shared<const FileMapping>(address, size, name);
  return FileBytes{{static_cast<const std::uint8_t*>(address), size}, std::move(mapping)};
}

void guardMappedFiles(const char* program) {
  guard::setProgram(program);
  struct sigaction fault {};
  fault.sa_sigaction = onMappedFileFault;
  fault.sa_flags = SA_SIGINFO;
  sigemptyset(&fault.sa_mask);
  sigaction(SIGBUS, &fault, nullptr);
}

GuardedTemporary::GuardedTemporary(const std::filesystem::path& temporary)
    : slot_(guard::rememberTemporary(temporary)) {}

GuardedTemporary::~GuardedTemporary() {
  guard::forgetTemporary(slot_);
}

}  // namespace kestrix::platform
