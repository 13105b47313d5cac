#include "conversion_controller.hpp"

#include <QFile>
#include <QStringList>
#include <exception>

#include "CStringBuilder.hpp"
#include "cell_values.hpp"
#include "clipboard.hpp"
#include "convert_files.hpp"
#include "join_list.hpp"
#include "path_text.hpp"
#include "run_warnings.hpp"
#include "startup.hpp"
#include "text.hpp"
#include "workbook_writer.hpp"

namespace fs = std::filesystem;

namespace kestrix::ui {
namespace {

// Thrown from the progress report when the window ends the run.
struct RunCancelled {};

// Names each file kept apart from its logger's other downloads, and why.
QString keptApartMessage(const ConversionRun& run) {
  QStringList lines;
  for (const std::string& line : keptApartLines(run)) lines << QFile::decodeName(line.c_str());
  if (lines.isEmpty()) return {};
  lines.prepend(QStringLiteral("Some downloads of one logger were not joined with the others:"));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

ConversionController::ConversionController(fs::path outputDir, Regional regional,
                                           FolderCheck canWrite)
    : outputDir_(std::move(outputDir)),
      outputName_(defaultOutputName),
      regional_(std::move(regional)),
      canWrite_(canWrite ? std::move(canWrite) : FolderCheck(canWriteInto)) {}

std::optional<fs::path> ConversionController::tableTarget(const fs::path& filesDir) const {
  if (canWrite_(outputDir_)) return outputDir_ / outputName_;
  if (canWrite_(filesDir)) return filesDir / outputName_;
  return chosenTable_;
}

RunOutcome ConversionController::run(const fs::path& filesDir, std::vector<std::string> names,
                                     const RunChoices& choices,
                                     const std::function<bool(int percent)>& progress) {
  RunOutcome outcome;
  CStringBuilder clip;
  ConversionRequest request;
  for (const std::string& name : names) request.paths.push_back(filesDir / name);
  request.displayNames = std::move(names);
  // Read into memory rather than mapped: a file cut short by another program
  // meanwhile then reads as a shorter file instead of ending the program.
  request.reader = readIntoMemory;
  request.options.regional = regional_;
  request.options.includeOverflowed = choices.includeOverflowed;
  request.joinDownloads = choices.joinDownloads;
  request.clipboardText = choices.copyToClipboard ? &clip : nullptr;
  request.clipboardMaxLines = clipboardMaxLines;
  request.options.progress = [&progress](int percent) {
    if (!progress(percent)) throw RunCancelled{};
  };

  const std::optional<fs::path> target = tableTarget(filesDir);
  if (!target) {
    outcome.status = QStringLiteral(
                         "Error: the table cannot be written: neither the program's "
                         "folder %1 nor the logger files' folder %2 can be written by "
                         "this user")
                         .arg(displayName(outputDir_), displayName(filesDir));
    return outcome;
  }
  ConversionResult result;
  try {
    request.target = *target;
    result = convertFiles(request);
  } catch (const RunCancelled&) {
    outcome.end = RunOutcome::End::Cancelled;
    return outcome;
  } catch (const std::exception& e) {
    outcome.status = QStringLiteral("Error: ") + QString::fromUtf8(e.what());
    return outcome;
  }

  outcome.end = RunOutcome::End::Converted;
  const ConversionRun& run = *result.run;
  QString status = QString::fromStdString(result.status);
  if (run.joined) {
    std::size_t columns = 0;  // the table's, a two-channel logger's two
    for (const ColumnPlan& column : run.columns) columns += column.twoChannels() ? 2 : 1;
    const QString joined = QStringLiteral("%1 file%2 in %3 column%4")
                               .arg(run.files.size())
                               .arg(run.files.size() == 1 ? QString() : QStringLiteral("s"))
                               .arg(columns)
                               .arg(columns == 1 ? QString() : QStringLiteral("s"));
    status = run.inconsistentFlag ? status + QStringLiteral("; ") + joined
                                  : status + QLatin1Char(' ') + joined;
  }
  outcome.status = status + QStringLiteral(" written to ") + displayName(request.target);
  QStringList details{outcome.status};
  const RunWarnings warned = runWarnings(run);
  if (!warned.intervalNote.empty()) details << QFile::decodeName(warned.intervalNote.c_str());
  for (const std::string& line : warned.inconsistentFiles)
    details << QFile::decodeName(line.c_str());
  for (const std::string& line : joinedColumnLines(run, choices.includeOverflowed))
    details << QString::fromStdString(line);
  outcome.details = details.join(QLatin1Char('\n'));
  QStringList warnings;
  if (!warned.inconsistentFiles.empty()) {
    QStringList lines{
        QStringLiteral("Some files hold fewer samples than they announce; their "
                       "missing samples are blank cells:")};
    for (const std::string& line : warned.inconsistentFiles)
      lines << QFile::decodeName(line.c_str());
    warnings << lines.join(QLatin1Char('\n'));
  }
  if (!run.keptApart.empty()) warnings << keptApartMessage(run);
  outcome.warning = warnings.join(QStringLiteral("\n\n"));
  outcome.run = result.run;
  outcome.includeOverflowed = choices.includeOverflowed;
  outcome.clipboardTooLarge = choices.copyToClipboard && result.clipboardTooLarge;
  if (choices.copyToClipboard && !result.clipboardTooLarge)
    outcome.clipboardText = QString::fromUtf8(windows1252ToUtf8(clip.ToString()));
  return outcome;
}

void ConversionController::writeWorkbook(const TableValues& table, const fs::path& target,
                                         RowRange rows, const std::vector<LimitRule>* rules,
                                         const std::function<void(int percent)>& progress,
                                         std::optional<PeriodKind> periods) const {
  WorkbookOptions workbook;
  if (rules) workbook.limits = *rules;
  workbook.periods = periods;
  workbook.includeOverflowed = table.includesOverflowed();
  workbook.rows = rows;
  workbook.progress = progress;
  kestrix::writeWorkbook(table.run(), target, workbook);
}

}  // namespace kestrix::ui
