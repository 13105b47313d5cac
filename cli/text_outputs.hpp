// The text outputs that kestrix-convert writes from a run besides the table:
// the summary. A new one is a path in Options and an entry in textOutputs().
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "options.hpp"
#include "regional.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace kestrix::cli {

// The path that stands for standard output.
inline constexpr std::string_view standardOutputPath = "-";

struct TextOutput {
  std::string path;  // or standardOutputPath
  // Writes the text made of `run` to `sink`.
  std::function<void(const ConversionRun& run, Sink& sink, Encoding encoding)> write;
};

// The text outputs `options` asks for, in the order they are written; their
// numbers and dates follow `regional`.
std::vector<TextOutput> textOutputs(const Options& options, const Regional& regional);

// The encoding of a text: the one --encoding names; otherwise, for standard
// output on a terminal, the locale's character set (UTF-8 or, for any other,
// Windows-1252), and Windows-1252 everywhere else.
Encoding textEncodingFor(const Options& options, bool toStandardOutput);

// Writes `output` of `run` to standard output, or to a temporary file beside
// its path that replaces it once complete. Throws ConversionError naming it.
void writeTextOutput(const TextOutput& output, const ConversionRun& run, Encoding encoding);

}  // namespace kestrix::cli
