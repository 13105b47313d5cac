#include "input_files.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <thread>

#include "error.hpp"
#include "limits.hpp"

namespace fs = std::filesystem;

namespace kestrix {

std::vector<std::uint8_t> readInputFile(const fs::path& path, std::string_view displayName) {
  const std::string name(displayName);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) throw ConversionError(ErrorKind::CannotRead, name, "cannot open: " + ec.message());
  if (fs::is_directory(status)) {
    throw ConversionError(ErrorKind::CannotRead, name, "is a folder, not a logger file");
  }

  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    throw ConversionError(ErrorKind::CannotRead, name, "cannot open: " + systemMessage(errno));

  // One read of the whole file into a buffer of its size (plus the byte that
  // shows its end); growing only when the file is longer than it said.
  constexpr std::size_t limit = limits::maxFileBytes;
  std::error_code sizeError;
  const std::uintmax_t announced = fs::is_regular_file(status) ? fs::file_size(path, sizeError) : 0;
  const std::size_t firstSize =
      sizeError
          ? 65536
          : static_cast<std::size_t>(std::clamp<std::uintmax_t>(announced + 1, 65536, limit + 1));
  std::vector<std::uint8_t> bytes(firstSize);
  std::size_t used = 0;
  for (;;) {
    used += std::fread(bytes.data() + used, 1, bytes.size() - used, file);
    if (used > limit) {
      std::fclose(file);
      throw ConversionError(ErrorKind::FileTooLarge, name,
                            "not a logger file (larger than " + std::to_string(limit >> 20) +
                                " MiB, more than any logger holds)");
    }
    if (used < bytes.size()) break;  // the end of the file, or an error
    bytes.resize(std::min(2 * bytes.size(), limit + 1));
  }
  bytes.resize(used);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed)
    throw ConversionError(ErrorKind::CannotRead, name, "cannot read: " + systemMessage(error));
  return bytes;
}

InputBytes readIntoMemory(const fs::path& path, std::string_view displayName) {
  auto bytes = std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName));
  return {std::span<const std::uint8_t>(*bytes), bytes};
}

std::vector<LoggerFile> readLoggerFiles(const std::vector<fs::path>& paths,
                                        const std::vector<std::string>& displayNames,
                                        const InputReader& reader) {
  const std::size_t count = std::min(paths.size(), displayNames.size());
  std::vector<LoggerFile> files(count);
  std::vector<std::exception_ptr> errors(count);
  std::atomic<std::size_t> next = 0;
  std::atomic<std::size_t> firstError = count;  // no file after it needs reading
  auto work = [&] {
    for (std::size_t i; (i = next++) < count && i < firstError;) {
      try {
        InputBytes input =
            reader ? reader(paths[i], displayNames[i]) : readIntoMemory(paths[i], displayNames[i]);
        files[i] = readLoggerFile(displayNames[i], input.bytes, std::move(input.owner));
      } catch (...) {
        errors[i] = std::current_exception();
        std::size_t seen = firstError;
        while (i < seen && !firstError.compare_exchange_weak(seen, i)) {
        }
      }
    }
  };
  std::thread helper;
  if (count > 1) {
    try {
      helper = std::thread(work);
    } catch (const std::system_error&) {
      // No second thread to be had: this one reads every file.
    }
  }
  work();
  if (helper.joinable()) helper.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
  return files;
}

}  // namespace kestrix
