#include "conversion.hpp"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "argument_path.hpp"
#include "cell_values.hpp"
#include "convert_files.hpp"
#include "error.hpp"
#include "excursions.hpp"
#include "file_sinks.hpp"
#include "join_list.hpp"
#include "limits_file.hpp"
#include "output_target.hpp"
#include "pending_outputs.hpp"
#include "platform/regional_settings.hpp"
#include "platform/terminal.hpp"
#include "run_warnings.hpp"
#include "same_file.hpp"
#include "text_outputs.hpp"

namespace fs = std::filesystem;

namespace kestrix::cli {

namespace {

// Every file the options ask to write: the table or workbook, the text
// outputs that do not go to standard output, the report.
std::vector<fs::path> fileTargets(const Options& o, const std::vector<TextOutput>& texts) {
  std::vector<fs::path> targets;
  if (o.output && *o.output != standardOutputPath) targets.push_back(argumentPath(*o.output));
  for (const TextOutput& text : texts) {
    if (text.path != standardOutputPath) targets.push_back(argumentPath(text.path));
  }
  if (o.report) targets.push_back(argumentPath(*o.report));
  return targets;
}

// Two outputs never share a file, and none replaces the limits file read:
// whatever the names, through links and hard links (sameFile).
void refuseSharedTargets(const std::vector<fs::path>& targets, const Options& o) {
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (o.limits && sameFile(targets[i], argumentPath(*o.limits))) {
      throw ConversionError(ErrorKind::RefusedTarget, targets[i].string(),
                            "is the limits file given; it is not overwritten by an output");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (sameFile(targets[i], targets[j])) {
        throw ConversionError(ErrorKind::RefusedTarget, targets[i].string(),
                              "is named for two outputs; each output takes a file of its own");
      }
    }
  }
}

// What an empty time window tells: the window asked for and the table's own
// dates, both as --from and --to take them.
std::string emptyWindowWarning(const ConversionRun& run, const TimeWindow& window) {
  const auto iso = [](std::int64_t seconds) {
    std::string text;
    appendIsoDate(seconds, ' ', std::nullopt, text);
    return text;
  };
  std::string text = "no row of the table is dated";
  if (window.from) text += " from " + iso(*window.from);
  if (window.to) text += " up to " + iso(*window.to);
  if (run.totalRows > 0) {
    text += " (its rows run from " + iso(run.rowDate(1)) + " to " +
            iso(run.rowDate(run.totalRows)) + ")";
  }
  return text + ": the outputs hold no row";
}

void printWarnings(const RunWarnings& warnings, bool quiet) {
  if (!quiet && !warnings.intervalNote.empty())
    std::fprintf(stderr, "%s: note: %s\n", programName, warnings.intervalNote.c_str());
  for (const std::string& line : warnings.inconsistentFiles)
    std::fprintf(stderr, "%s: warning: %s\n", programName, line.c_str());
}

}  // namespace

int convertAndWrite(const Options& o, const Writers& writers, bool& progressShown) {
  ConversionRequest request;
  for (const std::string& file : o.files) request.paths.push_back(argumentPath(file));
  request.displayNames = o.files;
  request.options.regional = platform::regionalSettings();
  const std::vector<TextOutput> texts = textOutputs(o);
  // The limits are read first: a bad file stops everything (LimitsFileError).
  // Its text is kept for the report's record of it.
  std::string limitsFileText;
  if (o.limits) {
    limitsFileText = readLimitsText(argumentPath(*o.limits), *o.limits);
    request.limitRules = parseLimits(limitsFileText, *o.limits);
  }
  // Every target is checked before a logger file is read: none may take the
  // place of logger data or of the limits, nor be a file or in a folder this
  // user may not write, nor take two outputs.
  const std::vector<fs::path> targets = fileTargets(o, texts);
  for (const fs::path& target : targets) refuseUnsafeTarget(target, request.paths);
  refuseSharedTargets(targets, o);

  // The files are written beside their targets and replace them together,
  // once every one is complete: a run that fails leaves them all as they were.
  PendingOutputs pending;
  request.pending = &pending;
  StreamSink standardOutput(stdout, "standard output");
  const bool tableToStandardOutput = !o.output || *o.output == standardOutputPath;
  if (tableToStandardOutput) {
    request.output = &standardOutput;
  } else {
    request.target = argumentPath(*o.output);
  }
  request.format = o.format;
  request.periods = o.period;
  request.writeWorkbook = writers.workbook;
  // Other outputs alone: no table unless -o asks for one too.
  if ((!texts.empty() || o.report) && !o.output) request.format = OutputFormat::None;
  request.options.encoding = textEncodingFor(o, tableToStandardOutput);
  request.options.includeOverflowed = o.includeOverflowed;
  request.joinDownloads = o.join;
  request.options.dates = o.dates;
  request.options.utcOffsetMinutes = o.utcOffsetMinutes;
  request.window = o.window;
  if (!o.quiet && platform::isTerminal(platform::StandardStream::Error)) {
    request.options.progress = [&progressShown](int percent) {
      std::fprintf(stderr, "\r%d%%", percent);
      progressShown = true;
    };
  }

  const ConversionResult result = convertFiles(request);
  const ConversionRun& run = *result.run;
  // A text table on standard output: its last bytes may still wait in the stream.
  if ((request.format == OutputFormat::Table || request.format == OutputFormat::Csv) &&
      tableToStandardOutput)
    standardOutput.flush();
  if (progressShown) std::fputs("\r", stderr);
  progressShown = false;
  // The warnings concern the files: they are shown whatever happens next.
  const RunWarnings warnings = runWarnings(run);
  printWarnings(warnings, o.quiet);
  if (!o.quiet) {
    for (const auto& lines : {joinedColumnLines(run, o.includeOverflowed), keptApartLines(run)}) {
      for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
    }
  }
  // A limits file without a rule checks nothing: most likely not what was meant.
  const bool noRules = request.limitRules && request.limitRules->empty();
  if (noRules) {
    std::fprintf(stderr, "%s: warning: %s holds no limit rule: no channel is checked\n",
                 programName, o.limits->c_str());
  }
  const bool emptyWindow = o.window.limits() && result.rows.empty();
  if (emptyWindow) {
    std::fprintf(stderr, "%s: warning: %s\n", programName,
                 emptyWindowWarning(run, o.window).c_str());
  }

  if (!texts.empty()) {
    const TableValues values(run, o.includeOverflowed);
    OutputContext context{run, values, result.rows};
    std::vector<ChannelCheck> checks;
    if (request.limitRules) {
      checks = checkLimits(values, *request.limitRules, context.rows);
      context.limits = &checks;
    }
    for (const TextOutput& text : texts) {
      TextFormat format;
      format.regional = request.options.regional;
      format.encoding = textEncodingFor(o, text.path == standardOutputPath);
      format.dates = o.dates;
      if (o.dates == DateStyle::Iso) format.utcOffsetMinutes = o.utcOffsetMinutes;
      writeTextOutput(text, context, format, pending);
    }
  }
  if (o.report && writers.report) {
    std::optional<ReportLimitsFile> limits;
    if (o.limits) limits = ReportLimitsFile{*request.limitRules, *o.limits, limitsFileText};
    ReportRequest report;
    report.includeOverflowed = o.includeOverflowed;
    if (o.window.limits()) report.rows = result.rows;
    report.limits = limits ? &*limits : nullptr;
    report.periods = o.period;
    pending.addWrittenFile(argumentPath(*o.report), "a report",
                           [&](const fs::path& file) { writers.report(run, file, report); });
  }
  pending.commit();
  if (!o.quiet) std::fprintf(stderr, "%s\n", result.status.c_str());
  return o.strict && (!warnings.empty() || emptyWindow || noRules) ? 1 : 0;
}

}  // namespace kestrix::cli
