// The file a Qt writer (the PDF writer, a PNG image) fills to replace a
// target once complete, with the system's reason on every failure.
#pragma once

#include <QFile>
#include <filesystem>
#include <string>
#include <string_view>

#include "file_sinks.hpp"

namespace kestrix::chart {

// A QFile open on a new temporary file beside `target` (see ReplacementFile),
// renamed over `target` on commit() and removed otherwise. `what` names the
// content ("a report") in the refusal of a target that is no plain file.
// Every failure throws ConversionError (CannotWrite) naming `target`.
class ReplacementDevice {
 public:
  ReplacementDevice(std::filesystem::path target, std::string_view what);

  QFile& device() noexcept { return file_; }

  // Flushes and closes the file and renames it over the target; a write error
  // met on the way, or a file left empty, fails instead.
  void commit();

  // Fails with the file's own write error when it has one, else with `reason`.
  [[noreturn]] void fail(std::string_view reason) const;

 private:
  std::filesystem::path target_;  // as the caller named it
  ReplacementFile replacement_;
  QFile file_;
};

}  // namespace kestrix::chart
