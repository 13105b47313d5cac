#include "convert_files.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <system_error>

#include "clipboard_tee.hpp"
#include "csv_table.hpp"
#include "error.hpp"
#include "input_files.hpp"
#include "mapped_file.hpp"
#include "output_target.hpp"
#include "pending_outputs.hpp"
#include "platform/mapped_file.hpp"
#include "run.hpp"

namespace fs = std::filesystem;

namespace kestrix {

ConversionResult convertFiles(const ConversionRequest& request) {
  const bool toTarget = request.format == OutputFormat::Workbook ||
                        (request.format != OutputFormat::None && !request.output);
  if (toTarget) refuseUnsafeTarget(request.target, request.paths);

  auto shared = std::make_shared<ConversionRun>(makeRun(
      readLoggerFiles(request.paths, request.displayNames,
                      request.reader ? request.reader : InputReader(mapInputFile), request.limits),
      request.limits, request.joinDownloads));
  const ConversionRun& run = *shared;

  ConversionResult result;
  result.run = shared;
  result.rows = rowsInWindow(run, request.window);
  TableOptions options = request.options;
  if (request.window.limits()) options.rows = result.rows;

  if (request.format == OutputFormat::None) {
    result.status = closingStatus(run.inconsistentFlag);
    return result;
  }
  // The table file or the workbook, renamed over the target here or with
  // the run's other outputs.
  PendingOutputs own;
  PendingOutputs& pending = request.pending ? *request.pending : own;
  if (request.format == OutputFormat::Workbook) {
    if (!request.writeWorkbook) {
      throw ConversionError(ErrorKind::CannotWrite, request.target.string(),
                            "this build of the conversion writes no workbook");
    }
    WorkbookOptions workbook;
    workbook.progress = request.options.progress;
    workbook.includeOverflowed = request.options.includeOverflowed;
    workbook.limits = request.limitRules;
    workbook.periods = request.periods;
    workbook.rows = options.rows;
    std::optional<platform::GuardedTemporary> temporary;
    workbook.temporaryReady = [&temporary](const fs::path& p) { temporary.emplace(p); };
    pending.addWrittenFile(request.target, "a workbook", [&](const fs::path& file) {
      result.status = request.writeWorkbook(run, file, workbook);
    });
    if (!request.pending) own.commit();
    return result;
  }

  Sink* sink = request.output ? request.output : &pending.addSink(request.target);
  if (request.format == OutputFormat::Csv) {
    result.status = writeCsv(run, *sink, options);
  } else {
    // The four header lines, then one line a row.
    const auto tableLines = static_cast<std::uint64_t>(4 + result.rows.count());
    result.clipboardTooLarge =
        request.clipboardText != nullptr && tableLines > request.clipboardMaxLines;
    if (request.clipboardText && !result.clipboardTooLarge) {
      ClipboardTee tee(*sink, *request.clipboardText);
      result.status = writeTable(run, tee, options);
    } else {
      result.status = writeTable(run, *sink, options);
    }
  }
  if (!request.output && !request.pending) own.commit();
  return result;
}

}  // namespace kestrix
