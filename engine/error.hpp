// The one error type of a conversion: a kind for code, a message for people.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace kestrix {

enum class ErrorKind {
  NoFiles,                   // a run over no file
  TooManyFiles,              // more than limits::maxFiles (maxJoinedFiles when joining)
  TooManyColumns,            // joined downloads making more than limits::maxJoinedColumns columns
  CannotRead,                // the file cannot be opened or read
  FileTooLarge,              // larger than limits::maxFileBytes
  TruncatedContainerHeader,  // container header cut short by the end of the file
  TruncatedRecordIndex,      // record index cut short
  NoRecord,                  // record count 0
  TruncatedRecordingHeader,  // recording header cut short
  BadStartDate,              // start fields that are no valid date and time
  BadIntervalCode,           // interval code outside 0 to 13
  OffsetOutOfRange,          // time axis offset beyond 32 bits
  TooManyRows,               // table longer than limits::maxRows
  CannotWrite,               // an output cannot be written
  ReaderGone,                // standard output's reader has closed it (a pager quit)
  RefusedTarget,             // an output would replace a logger file
};

class ConversionError : public std::runtime_error {
 public:
  // `file` names the file the problem is in (may be empty); `detail` says what is wrong.
  ConversionError(ErrorKind kind, std::string file, std::string detail)
      : std::runtime_error(file.empty() ? detail : file + ": " + detail),
        kind_(kind),
        file_(std::move(file)),
        detail_(std::move(detail)) {}

  ErrorKind kind() const noexcept { return kind_; }
  const std::string& file() const noexcept { return file_; }
  const std::string& detail() const noexcept { return detail_; }

 private:
  ErrorKind kind_;
  std::string file_;
  std::string detail_;
};

// The system's text for an errno value, as it appears after "cannot open: " or "write error: ".
inline std::string systemMessage(int error) {
  return std::strerror(error);
}

}  // namespace kestrix
