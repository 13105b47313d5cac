#include "input_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "error.hpp"
#include "platform/file_system.hpp"
#include "two_threads.hpp"

namespace fs = std::filesystem;

namespace kestrix {

std::vector<std::uint8_t> readInputFile(const fs::path& path, std::string_view displayName,
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
  std::vector<std::uint8_t> bytes(firstSize);
  std::size_t used = 0;
  for (;;) {
    used += std::fread(bytes.data() + used, 1, bytes.size() - used, file);
    if (used > limit) {
      std::fclose(file);
      const std::string size = limit % (std::size_t{1} << 20) == 0
                                   ? std::to_string(limit >> 20) + " MiB"
                                   : std::to_string(limit) + " bytes";
      throw ConversionError(
          ErrorKind::FileTooLarge, name,
          "not a logger file (larger than " + size + ", more than any logger holds)");
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

InputBytes readIntoMemory(const fs::path& path, std::string_view displayName,
                          const Limits& limits) {
  auto bytes =
      std::make_shared<const std::vector<std::uint8_t>>(readInputFile(path, displayName, limits));
  return {std::span<const std::uint8_t>(*bytes), bytes};
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
