// kestrix-convert: logger files in, one merged table out, no window.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert_files.hpp"
#include "error.hpp"
#include "limits.hpp"
#include "mapped_file.hpp"
#include "regional.hpp"
#include "sinks.hpp"
#include "summary.hpp"
#include "table.hpp"
#ifdef KESTRIX_REPORT
#include "report_cli.hpp"
#endif
#ifdef KESTRIX_FULL_PROGRAM
#include "full_program.hpp"
#endif

namespace {

constexpr const char* program = "kestrix-convert";

constexpr const char* helpText =
    "Usage: kestrix-convert [-o PATH] [--format tsv|xlsx] [--encoding windows-1252|utf-8]\n"
    "                       [--include-overflowed] [--summary PATH] [--report FILE] [-q]\n"
    "                       FILE...\n"
    "Convert logger data files (UC*.PDB) into one merged tab-separated table.\n"
    "\n"
    "The files are laid on one time axis in the order given (1 to 101 files).\n"
    "\n"
    "  -o, --output=PATH    write the table to PATH (replaced only when complete)\n"
    "                       instead of standard output\n"
    "      --format=FORMAT  tsv (default): the table as text; xlsx: a workbook,\n"
    "                       dates and numbers as values (needs -o)\n"
    "      --encoding=NAME  windows-1252 (default; also cp1252) or utf-8 (also utf8),\n"
    "                       for the tsv table and the summary\n"
    "      --include-overflowed\n"
    "                       show the samples the logger still held that the safety\n"
    "                       margin marks \"overflow\"\n"
    "      --summary=PATH   write one summary line per column to PATH ('-': standard\n"
    "                       output); the table is then written only with -o\n"
    "      --report=FILE    write a PDF report (chart and summary) to FILE; the table\n"
    "                       is then written only with -o\n"
    "  -q, --quiet          print no status on standard error\n"
    "      --help           display this help and exit\n"
    "      --version        output version information and exit\n"
    "\n"
    "Numbers take the decimal mark of LC_NUMERIC, dates the separators of LC_TIME.\n"
    "Exit status: 0 on success, 1 when a file cannot be converted, 2 for a usage error.\n";

enum class Format { Tsv, Xlsx };

struct Options {
  std::optional<std::string> output;
  Format format = Format::Tsv;
  std::optional<std::string> report;  // the PDF report
  kestrix::Encoding encoding = kestrix::Encoding::Windows1252;
  std::optional<std::string> summary;
  bool includeOverflowed = false;
  bool quiet = false;
  std::vector<std::string> files;
};

struct UsageError {
  std::string message;
};

kestrix::Encoding parseEncoding(std::string_view name) {
  if (name == "windows-1252" || name == "cp1252") return kestrix::Encoding::Windows1252;
  if (name == "utf-8" || name == "utf8") return kestrix::Encoding::Utf8;
  throw UsageError{"unknown encoding '" + std::string(name) + "' (windows-1252 or utf-8)"};
}

Format parseFormat(std::string_view name) {
  if (name == "tsv") return Format::Tsv;
  if (name == "xlsx") return Format::Xlsx;
  throw UsageError{"unknown format '" + std::string(name) + "' (tsv or xlsx)"};
}

// Returns nothing when --help or --version was answered.
std::optional<Options> parse(int argc, char** argv) {
  Options o;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view option) -> std::string {
      if (i + 1 >= argc) throw UsageError{"option '" + std::string(option) + "' needs a value"};
      return argv[++i];
    };
    if (optionsEnd || arg == "-" || arg.empty() || arg[0] != '-') {
      o.files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "--help") {
      std::fputs(helpText, stdout);
      return std::nullopt;
    } else if (arg == "--version") {
      std::printf("%s %s\n", program, KESTRIX_VERSION);
      return std::nullopt;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "-o" || arg == "--output") {
      o.output = value(arg);
    } else if (arg.starts_with("--output=")) {
      o.output = std::string(arg.substr(9));
    } else if (arg.starts_with("-o")) {
      o.output = std::string(arg.substr(2));
    } else if (arg == "--format") {
      o.format = parseFormat(value(arg));
    } else if (arg.starts_with("--format=")) {
      o.format = parseFormat(arg.substr(9));
    } else if (arg == "--include-overflowed") {
      o.includeOverflowed = true;
    } else if (arg == "--summary") {
      o.summary = value(arg);
    } else if (arg.starts_with("--summary=")) {
      o.summary = std::string(arg.substr(10));
    } else if (arg == "--report") {
      o.report = value(arg);
    } else if (arg.starts_with("--report=")) {
      o.report = std::string(arg.substr(9));
    } else if (arg == "--encoding") {
      o.encoding = parseEncoding(value(arg));
    } else if (arg.starts_with("--encoding=")) {
      o.encoding = parseEncoding(arg.substr(11));
    } else {
      throw UsageError{"unknown option '" + std::string(arg) + "'"};
    }
  }
  if (o.output && o.output->empty()) throw UsageError{"the output path is empty"};
  if (o.summary && o.summary->empty()) throw UsageError{"the summary path is empty"};
  if (o.format == Format::Xlsx && !o.output) {
    throw UsageError{"a workbook is written to a file only: give it with -o PATH"};
  }
  if (o.report && o.report->empty()) throw UsageError{"the report path is empty"};
#if !defined(KESTRIX_REPORT) && !defined(KESTRIX_REPORT_BY_FULL_PROGRAM)
  if (o.report) {
    throw UsageError{
        "--report needs the chart, which this build lacks (build with KESTRIX_GUI=ON)"};
  }
#endif
  if (o.files.empty()) throw UsageError{"no logger file given"};
  if (o.files.size() > static_cast<std::size_t>(kestrix::limits::maxFiles)) {
    throw UsageError{std::to_string(o.files.size()) + " files given; one table takes at most " +
                     std::to_string(kestrix::limits::maxFiles)};
  }
  return o;
}

// Writes the summary of `run` to o.summary, atomically unless it is "-".
void writeSummaryOf(const kestrix::ConversionRun& run, const Options& o,
                    const kestrix::Regional& regional) {
  const kestrix::TableValues values(run, o.includeOverflowed);
  const std::vector<kestrix::ColumnSummary> summary = kestrix::summarize(values);
  if (*o.summary == "-") {
    kestrix::StreamSink sink(stdout, "standard output");
    kestrix::writeSummary(summary, run, sink, regional, o.encoding);
    sink.flush();
    return;
  }
  kestrix::AtomicFileSink sink(*o.summary);
  const kestrix::GuardedTemporary guard(sink.temporaryPath());
  kestrix::writeSummary(summary, run, sink, regional, o.encoding);
  sink.commit();
}

// `progressShown` tells main to end the progress line before a message.
int convert(const Options& o, bool& progressShown) {
  kestrix::ConversionRequest request;
  request.paths.assign(o.files.begin(), o.files.end());
  // A summary or report would replace a logger file given by mistake as its path.
  if (o.summary && *o.summary != "-") kestrix::refuseLoggerFileAsTarget(*o.summary, request.paths);
  if (o.report) kestrix::refuseLoggerFileAsTarget(*o.report, request.paths);
  request.displayNames = o.files;
  kestrix::StreamSink standardOutput(stdout, "standard output");
  if (o.output) {
    request.target = *o.output;
  } else {
    request.output = &standardOutput;
  }
  if (o.format == Format::Xlsx) request.format = kestrix::OutputFormat::Workbook;
  // A summary or a report alone: no table unless -o asks for one too.
  if ((o.summary || o.report) && !o.output) request.format = kestrix::OutputFormat::None;
  request.options.regional = kestrix::regionalFromLocale();
  request.options.encoding = o.encoding;
  request.options.includeOverflowed = o.includeOverflowed;
  const bool showProgress = !o.quiet && isatty(STDERR_FILENO) == 1;
  if (showProgress) {
    request.options.progress = [&progressShown](int percent) {
      std::fprintf(stderr, "\r%d%%", percent);
      progressShown = true;
    };
  }

  const kestrix::ConversionResult result = kestrix::convertFiles(request);
  if (request.format == kestrix::OutputFormat::Table && !o.output) standardOutput.flush();
  if (o.summary) writeSummaryOf(*result.run, o, request.options.regional);
  if (progressShown) std::fputs("\r", stderr);
  progressShown = false;
  if (!o.quiet) {
    const kestrix::ConversionRun& run = *result.run;
    if (run.intervalsDiffer()) {
      std::fprintf(stderr,
                   "%s: warning: the files' sampling intervals differ; the last file's interval "
                   "(%d s) serves every file\n",
                   program, run.interval);
      for (const kestrix::LoggerFile& f : run.files) {
        if (f.interval != run.interval)
          std::fprintf(stderr, "%s: warning: %s samples every %d s\n", program,
                       f.displayName.c_str(), f.interval);
      }
    }
    for (const kestrix::LoggerFile& f : run.files) {
      if (f.inconsistent)
        std::fprintf(stderr, "%s: %s: fewer samples in the file than it announces\n", program,
                     f.displayName.c_str());
    }
    std::fprintf(stderr, "%s\n", result.status.c_str());
  }
#ifdef KESTRIX_REPORT
  if (o.report) {
    kestrix::ui::writeReportWithoutDisplay(*result.run, *o.report, o.includeOverflowed);
  }
#endif
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options;
  try {
    options = parse(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
                 e.message.c_str(), program);
    return 2;
  }
  if (!options) return std::fflush(stdout) == 0 ? 0 : 1;
#ifdef KESTRIX_FULL_PROGRAM
  if (options->report || options->format == Format::Xlsx) {
    kestrix::cli::runFullProgram(argv, KESTRIX_FULL_PROGRAM, program);
    return 1;
  }
#endif

  kestrix::guardMappedFiles(program);

  bool progressShown = false;
  try {
    return convert(*options, progressShown);
  } catch (const kestrix::ConversionError& e) {
    std::fprintf(stderr, "%s%s: %s\n", progressShown ? "\n" : "", program, e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", program);
    return 1;
  }
}
