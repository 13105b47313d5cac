#include "file_sinks.hpp"

#include <cerrno>

#include "error.hpp"
#include "platform/file_system.hpp"
#include "platform/terminal.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

[[noreturn]] void cannotWrite(const fs::path& target, const std::string& what) {
  throw ConversionError(ErrorKind::CannotWrite, target.string(), what);
}

}  // namespace

fs::path replacedPath(fs::path target) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(target, ec))) return target;
  // Write beside the file a link points to, not over the link. A link to
  // nothing yet is followed by hand, as far as the system would follow links.
  if (!fs::exists(fs::status(target, ec))) {
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
      fs::path next = fs::read_symlink(target, ec);
      if (ec) break;
      target = next.is_absolute() ? std::move(next) : target.parent_path() / next;
    }
  }
  fs::path resolved = fs::weakly_canonical(target, ec);
  return ec ? target : resolved;
}

ReplacedFile replacedFile(fs::path target) {
  std::error_code ec;
  target = replacedPath(std::move(target));
  const fs::file_status status = fs::status(target, ec);
  if (fs::is_directory(status)) cannotWrite(target, "is a folder");
  // A file this user may not write is left alone, as cp leaves it; renaming
  // a new file over it would take no more than write access to its folder.
  if (fs::is_regular_file(status)) {
    std::FILE* probe = platform::openFile(target, "r+b");  // neither truncates nor writes
    if (!probe && errno == EBUSY) {
      cannotWrite(target,
                  "is open in another program, which keeps it from being replaced: close "
                  "it there and try again");
    }
    if (!probe && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      cannotWrite(target, "cannot replace it: " + systemMessage(errno));
    }
    if (probe) std::fclose(probe);
  }
  return {std::move(target), status};
}

void keepPermissions(const ReplacedFile& replaced, const fs::path& replacement) {
  platform::keepPermissions(replaced.status, replacement);
}

platform::TemporaryFile createTemporaryBeside(const fs::path& target) {
  std::error_code error;
  platform::TemporaryFile temporary = platform::createTemporaryBeside(target, error);
  if (temporary.file) return temporary;
  const std::string folder = platform::folderOf(target).string();
  if (error == std::errc::file_exists)
    cannotWrite(target, "cannot create a temporary file in " + folder);
  cannotWrite(target, "cannot create a file in " + folder + ": " + error.message());
}

ReplacementFile::ReplacementFile(fs::path target, std::string_view what) {
  ReplacedFile replaced = replacedFile(std::move(target));
  target_ = std::move(replaced.path);
  replacedStatus_ = replaced.status;
  if (fs::exists(replaced.status) && !fs::is_regular_file(replaced.status)) {
    cannotWrite(target_,
                "is no plain file; " + std::string(what) + " can only be written to a file");
  }
  folder_ = platform::folderOf(target_);
  platform::TemporaryFile temporary = createTemporaryBeside(target_);
  std::fclose(temporary.file);
  temporary_ = std::move(temporary.path);
}

ReplacementFile::~ReplacementFile() {
  if (committed_) return;
  std::error_code ec;
  fs::remove(temporary_, ec);
}

void ReplacementFile::commit() {
  keepPermissions({target_, replacedStatus_}, temporary_);
  if (const std::error_code ec = platform::replaceFile(temporary_, target_))
    cannotWrite(target_, "cannot replace the file: " + ec.message());
  committed_ = true;
}

AtomicFileSink::AtomicFileSink(fs::path target) {
  ReplacedFile replaced = replacedFile(std::move(target));
  target_ = std::move(replaced.path);
  replacedStatus_ = replaced.status;
  if (fs::exists(replaced.status) && !fs::is_regular_file(replaced.status)) {
    // A device or a pipe: written in place, there is nothing to rename over.
    file_ = platform::openFile(target_, "wb");
    if (!file_) fail("cannot open: " + systemMessage(errno));
    return;
  }
  platform::TemporaryFile temporary = createTemporaryBeside(target_);
  temporary_ = std::move(temporary.path);
  file_ = temporary.file;
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

void AtomicFileSink::finish() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (!flushed) fail("write error: " + systemMessage(flushError));
  if (!closed) fail("write error: " + systemMessage(closeError));
}

void AtomicFileSink::commit() {
  finish();
  if (temporary_.empty()) {
    committed_ = true;
    return;
  }
  keepPermissions({target_, replacedStatus_}, temporary_);
  if (const std::error_code ec = platform::replaceFile(temporary_, target_))
    fail("cannot replace the file: " + ec.message());
  committed_ = true;
}

namespace {

// The error of a write to `name` that failed with errno `error`.
[[noreturn]] void throwWriteError(const std::string& name, int error) {
  if (platform::readerGone(error))
    throw ConversionError(ErrorKind::ReaderGone, name, "the program reading it has closed it");
  throw ConversionError(ErrorKind::CannotWrite, name, "write error: " + systemMessage(error));
}

}  // namespace

void StreamSink::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size())
    throwWriteError(name_, errno);
}

void StreamSink::flush() {
  if (std::fflush(stream_) != 0) throwWriteError(name_, errno);
}

}  // namespace kestrix
