#include "input_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "error.hpp"
#include "platform/file_system.hpp"
#include "two_threads.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

// A file's bytes in a buffer that is never filled with zeros first: the file
// is read straight into fresh memory, touched once (in WebAssembly, where
// nothing is mapped, clearing 25 MiB of inputs first took as long again).
class ReadBuffer {
 public:
  explicit ReadBuffer(std::size_t capacity)
      : data_(new std::uint8_t[capacity]), capacity_(capacity) {}  // left uninitialised

  std::uint8_t* data() const noexcept { return data_.get(); }
  std::size_t capacity() const noexcept { return capacity_; }
  // Room for `capacity` bytes, the first `used` kept.
  void grow(std::size_t capacity, std::size_t used) {
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[capacity]);
    std::memcpy(bigger.get(), data_.get(), used);
    data_ = std::move(bigger);
    capacity_ = capacity;
  }
  std::shared_ptr<const std::uint8_t[]> release() noexcept { return std::move(data_); }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t capacity_;
};

}  // namespace

InputBytes readIntoMemory(const fs::path& path, std::string_view displayName,
                          const Limits& limits) {
  const std::string name(displayName);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) throw ConversionError(ErrorKind::CannotRead, name, "cannot open: " + ec.message());
  if (fs::is_directory(status)) {
    throw ConversionError(ErrorKind::CannotRead, name, "is a folder, not a logger file");
  }

  std::FILE* file = platform::openFile(path, "rb");
  if (!file)
    throw ConversionError(ErrorKind::CannotRead, name, "cannot open: " + systemMessage(errno));

  // One read of the whole file into a buffer of its size (plus the byte that
  // shows its end); growing only when the file is longer than it said.
  const std::size_t limit = limits.maxFileBytes;
  std::error_code sizeError;
  const std::uintmax_t announced = fs::is_regular_file(status) ? fs::file_size(path, sizeError) : 0;
  const std::size_t firstSize =
      sizeError
          ? 65536
          : static_cast<std::size_t>(std::clamp<std::uintmax_t>(announced + 1, 65536, limit + 1));
  std::size_t used = 0;
  std::optional<ReadBuffer> buffer;
  try {
    buffer.emplace(firstSize);
    for (;;) {
      used += std::fread(buffer->data() + used, 1, buffer->capacity() - used, file);
      if (used > limit) {
        const std::string size = limit % (std::size_t{1} << 20) == 0
                                     ? std::to_string(limit >> 20) + " MiB"
                                     : std::to_string(limit) + " bytes";
        throw ConversionError(
            ErrorKind::FileTooLarge, name,
            "not a logger file (larger than " + size + ", more than any logger holds)");
      }
      if (used < buffer->capacity()) break;  // the end of the file, or an error
      buffer->grow(std::min(2 * buffer->capacity(), limit + 1), used);
    }
  } catch (...) {
    std::fclose(file);
    throw;
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed)
    throw ConversionError(ErrorKind::CannotRead, name, "cannot read: " + systemMessage(error));
  std::shared_ptr<const std::uint8_t[]> bytes = buffer->release();
  return {std::span<const std::uint8_t>(bytes.get(), used), std::move(bytes)};
}

std::vector<std::uint8_t> readInputFile(const fs::path& path, std::string_view displayName,
                                        const Limits& limits) {
  const InputBytes input = readIntoMemory(path, displayName, limits);
  return {input.bytes.begin(), input.bytes.end()};
}

std::vector<LoggerFile> readLoggerFiles(const std::vector<fs::path>& paths,
                                        const std::vector<std::string>& displayNames,
                                        const InputReader& reader, const Limits& limits) {
  const std::size_t count = std::min(paths.size(), displayNames.size());
  std::vector<LoggerFile> files(count);
  forEachOnTwoThreads(count, [&](std::size_t i) {
    InputBytes input = reader ? reader(paths[i], displayNames[i], limits)
                              : readIntoMemory(paths[i], displayNames[i], limits);
    files[i] = readLoggerFile(displayNames[i], input.bytes, std::move(input.owner));
  });
  return files;
}

}  // namespace kestrix
