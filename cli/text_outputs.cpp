#include "text_outputs.hpp"

#include <cstdio>

#include "cell_values.hpp"
#include "mapped_file.hpp"
#include "sinks.hpp"
#include "summary.hpp"

namespace kestrix::cli {

std::vector<TextOutput> textOutputs(const Options& options, const Regional& regional) {
  std::vector<TextOutput> outputs;
  if (options.summary) {
    const bool includeOverflowed = options.includeOverflowed;
    outputs.push_back({*options.summary, [includeOverflowed, regional](const ConversionRun& run,
                                                                       Sink& sink, Encoding e) {
                         const TableValues values(run, includeOverflowed);
                         writeSummary(summarize(values), run, sink, regional, e);
                       }});
  }
  return outputs;
}

Encoding textEncodingFor(const Options& options, std::string_view) {
  return options.encoding;
}

void writeTextOutput(const TextOutput& output, const ConversionRun& run, Encoding encoding) {
  if (output.path == standardOutputPath) {
    StreamSink sink(stdout, "standard output");
    output.write(run, sink, encoding);
    sink.flush();
    return;
  }
  AtomicFileSink sink(output.path);
  const GuardedTemporary guard(sink.temporaryPath());
  output.write(run, sink, encoding);
  sink.commit();
}

}  // namespace kestrix::cli
