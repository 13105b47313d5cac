#include "options.hpp"

#include <CLI/CLI.hpp>
#include <string_view>

#include "date_options.hpp"
#include "file_patterns.hpp"
#include "limits.hpp"

namespace kestrix::cli {

// Kept by hand: the manual page documents it, and CLI11's formatter lays
// options out otherwise.
const char* const helpText =
    "Usage: kestrix-convert [-o PATH] [--format tsv|xlsx|csv]\n"
    "                       [--encoding windows-1252|utf-8] [--dates regional|iso]\n"
    "                       [--utc-offset +HH:MM] [--from DATE] [--to DATE]\n"
    "                       [--include-overflowed] [--summary PATH] [--report FILE]\n"
    "                       [--limits FILE [--excursions PATH]]\n"
    "                       [--periods PATH] [--period day|week|month|all]\n"
    "                       [--join [--joins PATH]] [--gaps PATH] [-q] [--strict]\n"
    "                       FILE...\n"
    "Convert logger data files (UC*.PDB) into one merged tab-separated table.\n"
    "\n"
    "The files are laid on one time axis in the order given (1 to 101 files; with\n"
    "--join up to 10000 files making up to 101 columns).\n"
    "\n"
    "  -o, --output=PATH    write the table to PATH instead of standard output\n"
    "                       ('-': standard output; ./- for a file named -); every\n"
    "                       file is replaced only once all the outputs are complete\n"
    "      --format=FORMAT  tsv (default): the table as text; xlsx: a workbook,\n"
    "                       dates and numbers as values (needs -o); csv: the table\n"
    "                       for scripts (RFC 4180, UTF-8, a header row, ISO dates\n"
    "                       with a T, a dot decimal, no-number cells empty)\n"
    "      --encoding=NAME  windows-1252 (default; also cp1252) or utf-8 (also utf8),\n"
    "                       for the tsv table and the summary; without it, text\n"
    "                       to a terminal is in the locale's character set\n"
    "      --dates=STYLE    regional (default): dd/mm/yy hh:mm:ss in the locale's\n"
    "                       separators; iso: YYYY-MM-DD HH:MM:SS, in the table and\n"
    "                       every text output\n"
    "      --utc-offset=+HH:MM\n"
    "                       the loggers' clock's offset from UTC (-14:00 to +14:00),\n"
    "                       appended to every ISO date ('Z' for +00:00); needs\n"
    "                       --dates iso or --format csv\n"
    "      --from=DATE      keep the rows dated from DATE (included) ...\n"
    "      --to=DATE        ... up to DATE (excluded); every output covers those\n"
    "                       rows alone. DATE: YYYY-MM-DD, YYYY-MM-DD HH:MM or\n"
    "                       YYYY-MM-DD HH:MM:SS (a T may stand for the space)\n"
    "      --include-overflowed\n"
    "                       show the samples the logger still held that the safety\n"
    "                       margin marks \"overflow\"\n"
    "      --summary=PATH   write one summary line per column to PATH ('-': standard\n"
    "                       output); the table is then written only with -o\n"
    "      --report=FILE    write a PDF report (chart and summary) to FILE; the table\n"
    "                       is then written only with -o\n"
    "      --limits=FILE    check each channel against the [[limit]] rules of the\n"
    "                       TOML file FILE: the summary gains the limits, the time\n"
    "                       below and above, the excursions, the alarms and the\n"
    "                       result; a workbook gains the sheets Summary and\n"
    "                       Excursions\n"
    "      --excursions=PATH\n"
    "                       write the excursion list to PATH ('-': standard output);\n"
    "                       needs --limits; the table is then written only with -o\n"
    "      --periods=PATH   write each channel's figures per period (day by default)\n"
    "                       to PATH ('-': standard output): values, extremes, mean,\n"
    "                       MKT, the total of Watts (kWh), Pulses and Seconds (h),\n"
    "                       the time outside the limits; the table is then written\n"
    "                       only with -o\n"
    "      --period=PERIOD  day, week (ISO, from Monday), month or all (the whole\n"
    "                       run): the period of --periods; a workbook gains the\n"
    "                       sheet Periods, a report the period table\n"
    "      --join           join the downloads of each logger into one column: files\n"
    "                       of one logger, type, calibration and interval whose\n"
    "                       starts lie on one sampling grid; where downloads\n"
    "                       overlap, the newest one's value\n"
    "      --joins=PATH     write one line per column of a joined run to PATH ('-':\n"
    "                       standard output): its downloads, overlaps and conflicts;\n"
    "                       needs --join; the table is then written only with -o\n"
    "      --gaps=PATH      write one line per gap (rows without a value between a\n"
    "                       channel's first and last value) to PATH ('-': standard\n"
    "                       output); the table is then written only with -o\n"
    "  -q, --quiet          print no status or progress on standard error; warnings\n"
    "                       about the files are still printed\n"
    "      --strict         exit with status 1 when there was a warning (the outputs\n"
    "                       are written all the same)\n"
    "      --help           display this help and exit\n"
    "      --version        output version information and exit\n"
    "\n"
#ifdef _WIN32
    "Numbers take a dot for the decimal mark, dates / and : for their separators.\n"
#else
    "Numbers take the decimal mark of LC_NUMERIC, dates the separators of LC_TIME.\n"
#endif
    "Exit status: 0 on success, 1 when a file cannot be converted or written (or,\n"
    "with --strict, after a warning), 2 for a usage error.\n"
#ifdef _WIN32
    "\n"
    "This build for Windows expands the wildcards * and ? in FILE itself, in name\n"
    "order. It writes no workbook (--format xlsx) and no report (--report): the\n"
    "Linux package and the browser page do.\n"
#endif
    ;

namespace {

Encoding parseEncoding(const std::string& name) {
  if (name == "windows-1252" || name == "cp1252") return Encoding::Windows1252;
  if (name == "utf-8" || name == "utf8") return Encoding::Utf8;
  throw UsageError{"unknown encoding '" + name + "' (windows-1252 or utf-8)"};
}

PeriodKind parsePeriod(const std::string& name) {
  if (const auto kind = parsePeriodKind(name)) return *kind;
  throw UsageError{"unknown period '" + name + "' (day, week, month or all)"};
}

OutputFormat parseFormat(const std::string& name) {
  if (name == "tsv") return OutputFormat::Table;
  if (name == "xlsx") return OutputFormat::Workbook;
  if (name == "csv") return OutputFormat::Csv;
  throw UsageError{"unknown format '" + name + "' (tsv, xlsx or csv)"};
}

// CLI11's complaint in the program's words. It only ever objects to a value:
// one missing at the end of the line, or one given to a flag.
std::string usageMessage(const CLI::ParseError& error, const CLI::App& app,
                         const std::vector<std::string>& args) {
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) == nullptr || args.empty()) {
    return error.what();
  }
  for (const std::string& arg : args) {
    if (arg == "--") break;
    const std::size_t equals = arg.find('=');
    const CLI::Option* option = app.get_option_no_throw(arg.substr(0, equals));
    if (equals != std::string::npos && option != nullptr && option->get_expected_max() == 0) {
      return "option '" + arg.substr(0, equals) + "' takes no value";
    }
  }
  std::string last = args.back();
  if (!last.starts_with("--") && last.size() > 2) last = "-" + last.substr(last.size() - 1);
  return "option '" + last + "' needs a value";
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine line;
  Options& o = line.options;
  bool help = false;
  bool version = false;
  CLI::App app{"", programName};
  app.set_help_flag();  // answered below, with helpText
  app.allow_extras();   // an unknown option is named below
  // Options are GNU-style everywhere: on Windows "/Loggers/UC001.PDB" is a
  // path from the current drive, not an option (CLI11's default there).
  app.allow_windows_style_options(false);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("--help", help)->disable_flag_override();
  app.add_flag("--version", version)->disable_flag_override();
  app.add_option_function<std::string>("-o,--output", [&o](const std::string& v) { o.output = v; });
  app.add_option_function<std::string>("--format",
                                       [&o](const std::string& v) { o.format = parseFormat(v); });
  app.add_option_function<std::string>(
      "--encoding", [&o](const std::string& v) { o.encoding = parseEncoding(v); });
  app.add_flag("--include-overflowed", o.includeOverflowed)->disable_flag_override();
  app.add_option_function<std::string>("--summary", [&o](const std::string& v) { o.summary = v; });
  app.add_option_function<std::string>("--report", [&o](const std::string& v) { o.report = v; });
  app.add_option_function<std::string>("--limits", [&o](const std::string& v) { o.limits = v; });
  app.add_option_function<std::string>("--excursions",
                                       [&o](const std::string& v) { o.excursions = v; });
  app.add_option_function<std::string>("--periods", [&o](const std::string& v) { o.periods = v; });
  app.add_option_function<std::string>("--period",
                                       [&o](const std::string& v) { o.period = parsePeriod(v); });
  app.add_flag("--join", o.join)->disable_flag_override();
  app.add_option_function<std::string>("--joins", [&o](const std::string& v) { o.joins = v; });
  app.add_option_function<std::string>("--gaps", [&o](const std::string& v) { o.gaps = v; });
  app.add_flag("-q,--quiet", o.quiet)->disable_flag_override();
  app.add_flag("--strict", o.strict)->disable_flag_override();
  app.add_option_function<std::string>("--dates",
                                       [&o](const std::string& v) { o.dates = parseDateStyle(v); });
  app.add_option_function<std::string>(
      "--utc-offset", [&o](const std::string& v) { o.utcOffsetMinutes = parseUtcOffset(v); });
  app.add_option_function<std::string>(
      "--from", [&o](const std::string& v) { o.window.from = parseWindowEnd("--from", v); });
  app.add_option_function<std::string>(
      "--to", [&o](const std::string& v) { o.window.to = parseWindowEnd("--to", v); });
  app.add_option("files", o.files)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

  // CLI11 would read "--summary=" as "--summary" followed by its value: the next word.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    const CLI::Option* option = arg.starts_with("--") && arg.ends_with("=")
                                    ? app.get_option_no_throw(arg.substr(0, arg.size() - 1))
                                    : nullptr;
    if (option != nullptr && option->get_expected_max() > 0) {
      throw UsageError{"option '" + arg.substr(0, arg.size() - 1) + "' needs a value"};
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    throw UsageError{usageMessage(e, app, args)};
  }
  if (help) {
    line.request = CommandLine::Request::Help;
    return line;
  }
  if (version) {
    line.request = CommandLine::Request::Version;
    return line;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra != "--") throw UsageError{"unknown option '" + extra + "'"};
  }

#ifdef _WIN32
  // Workbooks need libxlsxwriter and reports the chart's Qt: the Windows
  // build has neither.
  if (o.format == OutputFormat::Workbook) {
    throw UsageError{
        "--format xlsx: this build cannot write workbooks; the Linux package or the browser "
        "page can"};
  }
  if (o.report) {
    throw UsageError{
        "--report: this build cannot write reports; the Linux package or the browser page can"};
  }
#endif
  if (o.output && o.output->empty()) throw UsageError{"the output path is empty"};
  if (o.summary && o.summary->empty()) throw UsageError{"the summary path is empty"};
  if (o.format == OutputFormat::Workbook && (!o.output || *o.output == "-")) {
    throw UsageError{"a workbook is written to a file only: give it with -o PATH"};
  }
  if (o.report && o.report->empty()) throw UsageError{"the report path is empty"};
  if (o.report && *o.report == "-") {
    throw UsageError{"a report is written to a file only: give it with --report PATH"};
  }
  if (o.limits && o.limits->empty()) throw UsageError{"the limits file's path is empty"};
  if (o.excursions && o.excursions->empty()) throw UsageError{"the excursions path is empty"};
  if (o.excursions && !o.limits) {
    throw UsageError{"--excursions needs --limits FILE (the limits an excursion leaves)"};
  }
  checkDateOptions(o);
  if (o.periods && o.periods->empty()) throw UsageError{"the periods path is empty"};
  if (o.period && !o.periods && !o.report && o.format != OutputFormat::Workbook) {
    throw UsageError{"--period chooses the period of --periods, a workbook or a report"};
  }
  if (o.joins && o.joins->empty()) throw UsageError{"the joins path is empty"};
  if (o.joins && !o.join) throw UsageError{"--joins needs --join (the columns it lists)"};
  if (o.gaps && o.gaps->empty()) throw UsageError{"the gaps path is empty"};
  std::vector<std::string> toStandardOutput;
  for (const auto& [name, path] : {std::pair{"-o", &o.output},
                                   {"--summary", &o.summary},
                                   {"--excursions", &o.excursions},
                                   {"--periods", &o.periods},
                                   {"--joins", &o.joins},
                                   {"--gaps", &o.gaps}}) {
    if (*path == "-") toStandardOutput.emplace_back(name);
  }
  if (toStandardOutput.size() > 1) {
    throw UsageError{toStandardOutput[0] + " and " + toStandardOutput[1] +
                     " cannot both go to standard output"};
  }
#ifndef KESTRIX_REPORTS
  if (o.report) {
    throw UsageError{
        "--report needs the chart, which this build lacks (build with KESTRIX_GUI=ON)"};
  }
#endif
#ifdef _WIN32
  // cmd.exe and PowerShell hand "UC*.PDB" over as it is.
  o.files = expandFilePatterns(o.files);
#endif
  if (o.files.empty()) throw UsageError{"no logger file given"};
  const int maxFiles = o.join ? limits::maxJoinedFiles : limits::maxFiles;
  if (o.files.size() > static_cast<std::size_t>(maxFiles)) {
    throw UsageError{std::to_string(o.files.size()) + " files given; one table takes at most " +
                     std::to_string(maxFiles) + (o.join ? " when joining downloads" : "")};
  }
  return line;
}

}  // namespace kestrix::cli
