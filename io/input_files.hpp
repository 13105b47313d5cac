// Reading logger files from disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run.hpp"

namespace kestrix {

// The whole file, at most limits.maxFileBytes. Throws ConversionError naming
// `displayName` when it cannot be read.
std::vector<std::uint8_t> readInputFile(const std::filesystem::path& path,
                                        std::string_view displayName, const Limits& limits = {});

// The bytes of one input file and what keeps them alive.
struct InputBytes {
  std::span<const std::uint8_t> bytes;
  std::shared_ptr<const void> owner;
};

// The bytes readInputFile gives, read into memory of their own that the
// returned owner keeps (never cleared first).
InputBytes readIntoMemory(const std::filesystem::path& path, std::string_view displayName,
                          const Limits& limits = {});

// Gets an input file's bytes within `limits`; throws as readInputFile does.
using InputReader = std::function<InputBytes(const std::filesystem::path& path,
                                             std::string_view displayName, const Limits& limits)>;

// Reads and decodes the logger files at `paths`, named `displayNames` in
// messages (one name per path), two files at a time: most of the time goes
// into memory for the file's bytes, which two threads get from the system
// faster than one. The files come back in the order given. `reader` gets each
// file's bytes (by default readIntoMemory). Throws the error of the first file,
// in that order, that cannot be converted.
std::vector<LoggerFile> readLoggerFiles(const std::vector<std::filesystem::path>& paths,
                                        const std::vector<std::string>& displayNames,
                                        const InputReader& reader = {}, const Limits& limits = {});

}  // namespace kestrix
