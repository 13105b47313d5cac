// kestrix-convert's command line: what the user asked for, as a plain struct.
// A new option is a field here and a line in options.cpp (and in the help).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert_files.hpp"
#include "periods.hpp"
#include "table.hpp"
#include "time_window.hpp"

namespace kestrix::cli {

inline constexpr const char* programName = "kestrix-convert";

struct Options {
  std::optional<std::string> output;  // -o: the table or workbook; none or "-": standard output
  OutputFormat format = OutputFormat::Table;
  // --encoding; none: the default for where the text goes (textEncodingFor).
  std::optional<Encoding> encoding;
  std::optional<std::string> summary;     // "-": standard output
  std::optional<std::string> report;      // the PDF report
  std::optional<std::string> limits;      // the limits file applied to the outputs
  std::optional<std::string> excursions;  // the excursion list; "-": standard output
  std::optional<std::string> periods;     // the period table; "-": standard output
  // --period: the period of the period table, the workbook's Periods sheet
  // and the report's period pages; none: no sheet and no pages (the table: days).
  std::optional<PeriodKind> period;
  bool includeOverflowed = false;
  bool join = false;                      // --join: the downloads of each logger in one column
  std::optional<std::string> joins;       // the list of joined columns; "-": standard output
  std::optional<std::string> gaps;        // the gap list; "-": standard output
  bool quiet = false;                     // no status and no progress; warnings still shown
  bool strict = false;                    // a warning makes the exit status 1
  DateStyle dates = DateStyle::Regional;  // --dates, for the table and the text outputs
  std::optional<int> utcOffsetMinutes;    // --utc-offset, after ISO dates
  TimeWindow window;                      // --from, --to: the rows every output covers
  std::vector<std::string> files;
};

// A command line that asks for nothing the program can do; `message` says why.
struct UsageError {
  std::string message;
};

struct CommandLine {
  enum class Request { Convert, Help, Version };
  Request request = Request::Convert;
  Options options;  // for Convert
};

// Reads argv GNU-style: "--name value", "--name=value", "-oPATH", short flags
// together ("-qo PATH"), "--" ending the options, "-" a file. Throws UsageError.
CommandLine parseCommandLine(int argc, const char* const* argv);

// What --help prints.
extern const char* const helpText;

}  // namespace kestrix::cli
