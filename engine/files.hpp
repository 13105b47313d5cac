// Reading logger files and writing tables safely.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table.hpp"

namespace kestrix {

// The whole file, at most limits::maxFileBytes. Throws ConversionError naming
// `displayName` when it cannot be read.
std::vector<std::uint8_t> readInputFile(const std::filesystem::path& path,
                                        std::string_view displayName);

// The bytes of one input file and what keeps them alive.
struct InputBytes {
  std::span<const std::uint8_t> bytes;
  std::shared_ptr<const void> owner;
};

// Gets an input file's bytes; throws as readInputFile does.
using InputReader =
    std::function<InputBytes(const std::filesystem::path& path, std::string_view displayName)>;

// Reads and decodes the logger files at `paths`, named `displayNames` in
// messages (one name per path), two files at a time: most of the time goes
// into memory for the file's bytes, which two threads get from the system
// faster than one. The files come back in the order given. `reader` gets each
// file's bytes (by default readInputFile). Throws the error of the first file,
// in that order, that cannot be converted.
std::vector<LoggerFile> readLoggerFiles(const std::vector<std::filesystem::path>& paths,
                                        const std::vector<std::string>& displayNames,
                                        const InputReader& reader = {});

// Writes to a new temporary file beside `target` and renames it over `target`
// on commit(): the target is either the earlier table, untouched, or the
// complete new one. Without commit() the temporary file is removed. Throws
// ConversionError (CannotWrite) naming the target.
class AtomicFileSink final : public Sink {
 public:
  explicit AtomicFileSink(std::filesystem::path target);
  ~AtomicFileSink() override;
  AtomicFileSink(const AtomicFileSink&) = delete;
  AtomicFileSink& operator=(const AtomicFileSink&) = delete;

  void write(std::string_view bytes) override;
  void commit();
  // The file being written until commit(); empty for a device written in place.
  const std::filesystem::path& temporaryPath() const noexcept { return temporary_; }

 private:
  void fail(const std::string& what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// Writes to an open stream (standard output). Throws ConversionError
// (CannotWrite) naming `name` on a write error.
class StreamSink final : public Sink {
 public:
  StreamSink(std::FILE* stream, std::string name) : stream_(stream), name_(std::move(name)) {}
  void write(std::string_view bytes) override;
  void flush();

 private:
  std::FILE* stream_;
  std::string name_;
};

// Keeps the bytes in memory.
class StringSink final : public Sink {
 public:
  void write(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

}  // namespace kestrix
