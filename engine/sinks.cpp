#include "sinks.hpp"

#include <cerrno>
#include <cstring>
#include <random>

#include "error.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

std::string systemMessage(int error) {
  return std::strerror(error);
}

}  // namespace

AtomicFileSink::AtomicFileSink(fs::path target) : target_(std::move(target)) {
  std::error_code ec;
  // Write beside the file a link points to, not over the link.
  if (fs::is_symlink(fs::symlink_status(target_, ec))) {
    const fs::path resolved = fs::weakly_canonical(target_, ec);
    if (!ec) target_ = resolved;
  }
  const fs::file_status status = fs::status(target_, ec);
  if (fs::is_directory(status)) fail("is a folder");

  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device or a pipe: written in place, there is nothing to rename over.
    file_ = std::fopen(target_.c_str(), "wb");
    if (!file_) fail("cannot open: " + systemMessage(errno));
    return;
  }

  std::random_device random;
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    const std::string suffix = std::to_string(random() % 1000000000u);
    // Within the 255 bytes a file name may have, however long the target's.
    const std::string stem = target_.filename().string().substr(0, 200);
    temporary_ = folder / ("." + stem + "." + suffix + ".tmp");
    file_ = std::fopen(temporary_.c_str(), "wbx");
    if (!file_ && errno != EEXIST) {
      const int error = errno;
      temporary_.clear();
      fail("cannot create a file in " + folder.string() + ": " + systemMessage(error));
    }
  }
  if (!file_) {
    temporary_.clear();
    fail("cannot create a temporary file in " + folder.string());
  }
}

AtomicFileSink::~AtomicFileSink() {
  if (file_) std::fclose(file_);
  if (!committed_ && !temporary_.empty()) {
    std::error_code ec;
    fs::remove(temporary_, ec);
  }
}

void AtomicFileSink::fail(const std::string& what) {
  throw ConversionError(ErrorKind::CannotWrite, target_.string(), what);
}

void AtomicFileSink::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    fail("write error: " + systemMessage(errno));
  }
}

void AtomicFileSink::commit() {
  std::FILE* file = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (!flushed) fail("write error: " + systemMessage(flushError));
  if (!closed) fail("write error: " + systemMessage(closeError));
  if (temporary_.empty()) {
    committed_ = true;
    return;
  }
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) fail("cannot replace the file: " + ec.message());
  committed_ = true;
}

void StreamSink::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
    throw ConversionError(ErrorKind::CannotWrite, name_, "write error: " + systemMessage(errno));
  }
}

void StreamSink::flush() {
  if (std::fflush(stream_) != 0) {
    throw ConversionError(ErrorKind::CannotWrite, name_, "write error: " + systemMessage(errno));
  }
}

}  // namespace kestrix
