// What the guard of mapped files knows, for the system's fault handler
// (posix/ and windows/ mapped_file.cpp): where each mapped file lies and its
// name, and the temporary files to remove. Everything the handler reads is
// safe to read in a signal handler.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace kestrix::platform::guard {

// Makes the mapping at `address` (`size` bytes) known by `name` until
// forgetMapping(returned slot); -1 when every slot is taken (the file is then
// mapped all the same, only not named).
int rememberMapping(const void* address, std::size_t size, std::string_view name) noexcept;
void forgetMapping(int slot) noexcept;

// The name of the mapped file that holds `address`, or nullptr.
const char* mappedFileAt(const void* address) noexcept;

// The program named first in the message (guardMappedFiles).
void setProgram(const char* program) noexcept;
const char* program() noexcept;

// Makes `temporary` known for removal; -1 when every slot is taken or the
// path is too long to keep.
int rememberTemporary(const std::filesystem::path& temporary) noexcept;
void forgetTemporary(int slot) noexcept;

// Calls `remove` with every temporary file known, in the system's characters.
void forEachTemporary(void (*remove)(const std::filesystem::path::value_type* path)) noexcept;

// What the handler prints for a fault at `address`, piece after piece, the
// program's name and the file's among them; nothing allocated.
struct FaultMessage {
  const char* pieces[6];
};
FaultMessage faultMessage(const void* address) noexcept;

}  // namespace kestrix::platform::guard
