// What kestrix-convert does once its command line is read: every output
// target checked, the files converted, the outputs written, then the
// warnings and the closing status.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "limit_rules.hpp"
#include "options.hpp"
#include "periods.hpp"
#include "row_range.hpp"
#include "run.hpp"
#include "workbook_options.hpp"

namespace kestrix::cli {

// The limits file a report records: its rules, its path as given and its
// text as read (what the report's SHA-256 is of).
struct ReportLimitsFile {
  std::vector<LimitRule> rules;
  std::string path;
  std::string fileText;
};

// What the report of a run covers: `rows` of the table (none: the whole
// run), values as includeOverflowed says, checked against `limits` when
// given, with the period table of `periods` when given.
struct ReportRequest {
  bool includeOverflowed = false;
  std::optional<RowRange> rows;
  const ReportLimitsFile* limits = nullptr;
  std::optional<PeriodKind> periods;
};

// Writes the PDF report of a run to a file (the chart's
// writeReportWithoutDisplay). Throws ConversionError naming the file.
using ReportWriter = std::function<void(const ConversionRun& run, const std::filesystem::path& file,
                                        const ReportRequest& report)>;

// The writers that need libraries of their own, handed in by the program
// built with them (kestrix-convert-full). Without one, its output is refused.
struct Writers {
  WorkbookWriter workbook;
  ReportWriter report;
};

// Converts and writes everything `options` asks for. Returns the exit status:
// 0, or 1 when --strict meets a warning. Throws ConversionError naming the
// file at fault; a refused target (RefusedTarget), or one whose folder takes
// no file, before a logger file is read. The output files replace their
// targets all together, once every one is complete: after a failure, none.
// A workbook and a report are written with `writers`. `progressShown` tells
// the caller to end the progress line before a message.
int convertAndWrite(const Options& options, const Writers& writers, bool& progressShown);

}  // namespace kestrix::cli
