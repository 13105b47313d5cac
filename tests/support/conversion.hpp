// Whole conversions in memory for the tests and the micro-benchmarks: built
// files joined into one run, the table written to text, and the table cut
// into its CR LF lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logger_file_builder.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace kestrix::testing {

// The name the run gives the `n`th file (from 1): UC001.PDB, UC002.PDB, ...
inline std::string fileNameOf(int n) {
  const std::string digits = std::to_string(n);
  return "UC" + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits + ".PDB";
}

// The built files, read under the names fileNameOf(1), fileNameOf(2), ...,
// as one run.
inline ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<LoggerFile> files;
  for (const LoggerFileBuilder& b : builders) {
    files.push_back(readLoggerFile(fileNameOf(static_cast<int>(files.size()) + 1), b.build()));
  }
  return makeRun(std::move(files));
}

// A run of one file already read.
inline ConversionRun runOf(LoggerFile file) {
  std::vector<LoggerFile> files;
  files.push_back(std::move(file));
  return makeRun(std::move(files));
}

// A table written to memory: its bytes, the status writeTable gave and every
// progress percentage reported, in order.
struct WrittenTable {
  std::string text;
  std::string status;
  std::vector<int> progress;
};

inline WrittenTable convertToText(const ConversionRun& run, TableOptions options = {}) {
  WrittenTable out;
  options.progress = [&out, also = std::move(options.progress)](int percent) {
    out.progress.push_back(percent);
    if (also) also(percent);
  };
  StringSink sink;
  out.status = writeTable(run, sink, options);
  out.text = std::move(sink.data);
  return out;
}

inline WrittenTable convertToText(const std::vector<LoggerFileBuilder>& builders,
                                  TableOptions options = {}) {
  return convertToText(runOf(builders), std::move(options));
}

// The pieces of `text` between the separators: one more than there are
// separators, so an empty text gives one empty piece.
inline std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(separator, from)) != std::string_view::npos;
       from = at + separator.size()) {
    pieces.emplace_back(text.substr(from, at - from));
  }
  pieces.emplace_back(text.substr(from));
  return pieces;
}

// The lines of a table, without their CR LF. Text after the last CR LF is a
// line of its own, so that a table cut off mid-line shows.
inline std::vector<std::string> crlfLines(std::string_view text) {
  std::vector<std::string> lines = split(text, "\r\n");
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace kestrix::testing
