#include "text_outputs.hpp"

#include <cstdio>

#include "argument_path.hpp"
#include "cell_values.hpp"
#include "file_sinks.hpp"
#include "gaps.hpp"
#include "join_list.hpp"
#include "periods.hpp"
#include "platform/terminal.hpp"
#include "summary.hpp"

namespace kestrix::cli {

std::vector<TextOutput> textOutputs(const Options& options) {
  std::vector<TextOutput> outputs;
  if (options.summary) {
    outputs.push_back(
        {*options.summary, [](const OutputContext& context, Sink& sink, const TextFormat& format) {
           writeSummary(summarize(context.values, context.rows), context.run, sink, format,
                        context.limits);
         }});
  }
  if (options.excursions) {
    outputs.push_back({*options.excursions,
                       [](const OutputContext& context, Sink& sink, const TextFormat& format) {
                         writeExcursions(*context.limits, context.values, sink, format);
                       }});
  }
  if (options.periods) {
    outputs.push_back(
        {*options.periods, [kind = options.period.value_or(PeriodKind::Day)](
                               const OutputContext& context, Sink& sink, const TextFormat& format) {
           writePeriods(makePeriodTable(context.values, context.rows, kind, context.limits),
                        context.values, sink, format);
         }});
  }
  if (options.joins) {
    outputs.push_back(
        {*options.joins, [includeOverflowed = options.includeOverflowed](
                             const OutputContext& context, Sink& sink, const TextFormat& format) {
           writeJoins(context.run, includeOverflowed, context.rows, sink, format);
         }});
  }
  if (options.gaps) {
    outputs.push_back(
        {*options.gaps, [](const OutputContext& context, Sink& sink, const TextFormat& format) {
           writeGaps(findGaps(context.values, context.rows), context.values, sink, format);
         }});
  }
  return outputs;
}

Encoding textEncodingFor(const Options& options, bool toStandardOutput) {
  if (options.encoding) return *options.encoding;
  if (toStandardOutput && platform::isTerminal(platform::StandardStream::Output))
    return platform::terminalTakesUtf8() ? Encoding::Utf8 : Encoding::Windows1252;
  return Encoding::Windows1252;
}

void writeTextOutput(const TextOutput& output, const OutputContext& context,
                     const TextFormat& format, PendingOutputs& pending) {
  if (output.path == standardOutputPath) {
    StreamSink sink(stdout, "standard output");
    output.write(context, sink, format);
    sink.flush();
    return;
  }
  output.write(context, pending.addSink(argumentPath(output.path)), format);
}

}  // namespace kestrix::cli
