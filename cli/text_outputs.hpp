// The text outputs that kestrix-convert writes from a run besides the table:
// the summary, the excursion list and the period table. A new one is a path
// in Options and an entry in textOutputs(). Every one is made from the same
// OutputContext: the run's cells, the rows the outputs cover, the limits
// checked over them, and how texts are written.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cell_values.hpp"
#include "excursions.hpp"
#include "options.hpp"
#include "pending_outputs.hpp"
#include "row_range.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"
#include "text_format.hpp"

namespace kestrix::cli {

// The path that stands for standard output.
inline constexpr std::string_view standardOutputPath = "-";

// What every output of one run is made from.
struct OutputContext {
  const ConversionRun& run;
  const TableValues& values;  // the table's cells, as every output reads them
  RowRange rows;              // the table rows the outputs cover
  // With --limits: each column checked against its rule over `rows`.
  const std::vector<ChannelCheck>* limits = nullptr;
};

struct TextOutput {
  std::string path;  // or standardOutputPath
  // Writes the text made of `context` to `sink`, its texts as `format` says.
  std::function<void(const OutputContext& context, Sink& sink, const TextFormat& format)> write;
};

// The text outputs `options` asks for, in the order they are written.
std::vector<TextOutput> textOutputs(const Options& options);

// The encoding of a text: the one --encoding names; otherwise, for standard
// output on a terminal, the locale's character set (UTF-8 or, for any other,
// Windows-1252), and Windows-1252 everywhere else.
Encoding textEncodingFor(const Options& options, bool toStandardOutput);

// Writes `output` to standard output, or to a temporary file beside its path
// that replaces it with the run's other outputs (`pending`). Throws
// ConversionError naming it.
void writeTextOutput(const TextOutput& output, const OutputContext& context,
                     const TextFormat& format, PendingOutputs& pending);

}  // namespace kestrix::cli
