#include "platform/guard_slots.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "limits.hpp"

namespace kestrix::platform::guard {

namespace {

// A slot is claimed while its file is mapped.
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

// What the fault handler prints and removes: the temporary files of a run's
// outputs, each written beside its target until all of them replace theirs.
const char* guardedProgram = "kestrix";
using Char = std::filesystem::path::value_type;
struct GuardedSlot {
  std::atomic<bool> claimed{false};
  Char path[4096] = {};
};
GuardedSlot guardedTemporaries[16];

}  // namespace

int rememberMapping(const void* address, std::size_t size, std::string_view name) noexcept {
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
    nextSlot.store(at + 1);
    return static_cast<int>(at);
  }
  return -1;
}

void forgetMapping(int slot) noexcept {
  if (slot < 0) return;
  mappedFiles[slot].ready.store(false);
  mappedFiles[slot].claimed.store(false);
}

const char* mappedFileAt(const void* address) noexcept {
  const auto* a = static_cast<const std::uint8_t*>(address);
  for (const MappedFileSlot& slot : mappedFiles) {
    if (slot.ready.load() && a >= slot.begin && a < slot.begin + slot.size) return slot.name;
  }
  return nullptr;
}

void setProgram(const char* program) noexcept {
  guardedProgram = program;
}

const char* program() noexcept {
  return guardedProgram;
}

int rememberTemporary(const std::filesystem::path& temporary) noexcept {
  const std::filesystem::path::string_type& path = temporary.native();
  if (path.empty() || path.size() >= std::size(GuardedSlot{}.path)) return -1;
  for (std::size_t i = 0; i < std::size(guardedTemporaries); ++i) {
    GuardedSlot& slot = guardedTemporaries[i];
    bool free = false;
    if (!slot.claimed.compare_exchange_strong(free, true)) continue;
    // The first character last: the handler never sees half a name.
    std::copy(path.begin() + 1, path.end(), slot.path + 1);
    slot.path[path.size()] = Char{};
    std::atomic_signal_fence(std::memory_order_release);
    slot.path[0] = path[0];
    return static_cast<int>(i);
  }
  return -1;
}

void forgetTemporary(int slot) noexcept {
  if (slot < 0) return;
  GuardedSlot& guarded = guardedTemporaries[slot];
  guarded.path[0] = Char{};
  guarded.claimed.store(false);
}

void forEachTemporary(void (*remove)(const Char* path)) noexcept {
  for (const GuardedSlot& slot : guardedTemporaries) {
    if (slot.path[0] != Char{}) remove(slot.path);
  }
}

FaultMessage faultMessage(const void* address) noexcept {
  const char* name = mappedFileAt(address);
  return {{"\n", guardedProgram, ": ", name ? name : "an input file",
           name ? ": the file was" : " was",
           " cut short by another program during the conversion; the conversion stopped\n"}};
}

}  // namespace kestrix::platform::guard
