// One conversion from logger files on disk to a table: the files read
// (mapped), laid on one time axis, the table written and, for a table file,
// renamed over the earlier one once complete.
#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input_files.hpp"
#include "limit_rules.hpp"
#include "periods.hpp"
#include "sink.hpp"
#include "table.hpp"
#include "time_window.hpp"
#include "workbook_options.hpp"

class CStringBuilder;

namespace kestrix {

class PendingOutputs;

enum class OutputFormat {
  Table,     // the tab-separated text table
  Workbook,  // an XLSX workbook; needs `target` and `writeWorkbook`
  Csv,       // the table as CSV (csv_table.hpp)
  None,      // nothing written: the run only (for a summary or a report)
};

struct ConversionRequest {
  std::vector<std::filesystem::path> paths;  // the logger files, in table order
  std::vector<std::string> displayNames;     // how messages name them, one per path
  // The table file, replaced only by the complete table; refuseUnsafeTarget
  // checks it first.
  std::filesystem::path target;
  // Instead of `target`: the sink that takes the table (standard output).
  Sink* output = nullptr;
  // With it, the table or workbook file is complete but not yet renamed over
  // `target` when convertFiles returns: it replaces `target` together with
  // the run's other outputs (PendingOutputs::commit). Without it, it does
  // before convertFiles returns.
  PendingOutputs* pending = nullptr;
  // When set, receives every byte of the table as well (the window's clipboard),
  // unless the table runs to more than `clipboardMaxLines` lines: then nothing
  // is gathered and ConversionResult::clipboardTooLarge is set.
  CStringBuilder* clipboardText = nullptr;
  std::size_t clipboardMaxLines = std::numeric_limits<std::size_t>::max();
  // Gets each logger file's bytes; empty: mapped (mapInputFile). readIntoMemory
  // copies them instead, so that a file cut short by another program during
  // the run reads as a shorter file rather than faulting.
  InputReader reader;
  Limits limits;  // on the files and the run
  // The downloads of each logger joined into one column (makeRun).
  bool joinDownloads = false;
  TableOptions options;
  OutputFormat format = OutputFormat::Table;
  // A workbook checks the channels against these and gains the sheets
  // "Summary" and "Excursions" (WorkbookOptions::limits).
  std::optional<std::vector<LimitRule>> limitRules;
  // A workbook gains the sheet "Periods" of these periods (WorkbookOptions::periods).
  std::optional<PeriodKind> periods;
  // Writes a workbook (xlsx's writeWorkbook), from the program built with
  // the workbook library; without it a workbook is refused.
  WorkbookWriter writeWorkbook;
  // Only the rows dated inside it are written (options.rows is set from it).
  TimeWindow window;
};

// What a run turned out to be, for the caller's messages.
struct ConversionResult {
  std::string status;  // "Done..." or "Done... inconsistent file(s)"
  // The table had more lines than the clipboard copy may hold: none was made.
  bool clipboardTooLarge = false;
  // The run itself: its files' intervals and consistency for the messages,
  // and what is made of it after the table (summary, chart).
  std::shared_ptr<const ConversionRun> run;
  // The rows the request's time window holds (every row without one): what
  // the table held, and what every other output of the run covers.
  RowRange rows;
};

// Converts the files of `request` into one table or workbook. Throws ConversionError
// naming the file or the target (RefusedTarget for a target that would replace
// logger data, see refuseUnsafeTarget); a table file is then left as it was and no
// temporary file remains.
ConversionResult convertFiles(const ConversionRequest& request);

}  // namespace kestrix
