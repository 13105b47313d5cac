// The files a run writes: each replaced only once complete, through a
// temporary file beside it (platform/temporary_file.hpp), and an open stream.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/temporary_file.hpp"
#include "sink.hpp"

namespace kestrix {

// The file that writing `target` replaces: the one a link points to, through
// links to links; for a link to nothing yet, the file it names, which the
// writing creates. `target` itself when it is no link.
std::filesystem::path replacedPath(std::filesystem::path target);

// The file that writing `target` replaces (replacedPath) and its
// status. Throws ConversionError (CannotWrite) naming it when it is a folder
// or a file this user may not write.
struct ReplacedFile {
  std::filesystem::path path;
  std::filesystem::file_status status;
};
ReplacedFile replacedFile(std::filesystem::path target);

// Gives `replacement` the permission bits of the file it replaces, if any.
void keepPermissions(const ReplacedFile& replaced, const std::filesystem::path& replacement);

// A new file beside `target` that nobody else has, created empty and open for
// writing: ".NAME.NUMBER.tmp", within the 255 bytes a file name may have.
// Throws ConversionError (CannotWrite) naming `target` when none can be made.
platform::TemporaryFile createTemporaryBeside(const std::filesystem::path& target);

// A file written by another hand (a library, a painter) that replaces
// `target` only once complete: a new temporary file beside it, created empty
// at once so that nobody else takes the name, renamed over `target` on
// commit() and removed otherwise. `what` names the content in the refusal of
// a target that is no plain file ("a workbook"). Throws ConversionError
// (CannotWrite) naming the target.
class ReplacementFile {
 public:
  ReplacementFile(std::filesystem::path target, std::string_view what);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  const std::filesystem::path& target() const noexcept { return target_; }
  const std::filesystem::path& folder() const noexcept { return folder_; }
  // The temporary file to write.
  const std::filesystem::path& path() const noexcept { return temporary_; }

  void commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path folder_;
  std::filesystem::path temporary_;
  std::filesystem::file_status replacedStatus_;
  bool committed_ = false;
};

// Writes to a new temporary file beside `target` and renames it over `target`
// on commit(): the target is either the earlier table, untouched, or the
// complete new one, with the earlier one's permission bits. Without commit() the temporary file is
// removed. Throws ConversionError (CannotWrite) naming the target.
class AtomicFileSink final : public Sink {
 public:
  explicit AtomicFileSink(std::filesystem::path target);
  ~AtomicFileSink() override;
  AtomicFileSink(const AtomicFileSink&) = delete;
  AtomicFileSink& operator=(const AtomicFileSink&) = delete;

  void write(std::string_view bytes) override;
  // Flushes and closes the file: a write error shows here at the latest.
  // commit() then only renames it; nothing more may be written.
  void finish();
  void commit();
  // The file replaced: the target, or the file a link there points to.
  const std::filesystem::path& target() const noexcept { return target_; }
  // The file being written until commit(); empty for a device written in place.
  const std::filesystem::path& temporaryPath() const noexcept { return temporary_; }

 private:
  void fail(const std::string& what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::filesystem::file_status replacedStatus_;
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

}  // namespace kestrix
