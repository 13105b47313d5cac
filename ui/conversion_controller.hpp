// What MAKE does behind the window: the selected logger files converted into
// the table (and the clipboard's copy), and what the window then shows and
// tells. No widget here: Form1 reads the controls and shows the outcome.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "limit_rules.hpp"
#include "periods.hpp"
#include "regional.hpp"
#include "run.hpp"

namespace kestrix {
class TableValues;
}

namespace kestrix::ui {

// The options of one run, as the window's check boxes stand at its start.
struct RunChoices {
  bool copyToClipboard = true;     // Check1
  bool includeOverflowed = false;  // Check2
  bool joinDownloads = false;      // Check3
};

// What one run leaves for the window.
struct RunOutcome {
  enum class End { Converted, Failed, Cancelled };
  End end = End::Failed;
  // Failed: the message. Converted: the status, "Done... written to PATH".
  QString status;
  // Converted: the status, then each inconsistent file by name, a line each.
  QString details;
  // Converted: files cut short and downloads kept apart, told after the table; else empty.
  QString warning;
  std::shared_ptr<const ConversionRun> run;  // Converted: for the chart
  bool includeOverflowed = false;
  // The table for the clipboard, in UTF-8, when copyToClipboard asked for it
  // and it is no longer than a spreadsheet holds.
  std::optional<QString> clipboardText;
  bool clipboardTooLarge = false;  // asked for, but too long
};

// Whether the running user may create files in a folder.
using FolderCheck = std::function<bool(const std::filesystem::path& dir)>;

class ConversionController {
 public:
  // `outputDir`: where tables go while it can be written. `canWrite` judges
  // the folders (by default the running user's rights: canWriteInto).
  ConversionController(std::filesystem::path outputDir, Regional regional,
                       FolderCheck canWrite = {});

  const std::filesystem::path& outputDirectory() const noexcept { return outputDir_; }
  void setOutputDirectory(std::filesystem::path dir) { outputDir_ = std::move(dir); }
  const std::string& outputName() const noexcept { return outputName_; }
  void setOutputName(std::string name) { outputName_ = std::move(name); }

  // Where the table of logger files in `filesDir` goes: into the output
  // folder when it can be written, else into `filesDir` when it can, else
  // to the file chosen for it; none while none is chosen (the window asks).
  std::optional<std::filesystem::path> tableTarget(const std::filesystem::path& filesDir) const;
  // The file chosen for the table where no folder can be written; it serves
  // until the program ends.
  const std::optional<std::filesystem::path>& chosenTable() const noexcept { return chosenTable_; }
  void setChosenTable(std::filesystem::path file) { chosenTable_ = std::move(file); }
  bool canWrite(const std::filesystem::path& dir) const { return canWrite_(dir); }

  // Converts `names`, files of `filesDir`, into the table. `progress` is
  // told each percentage; when it returns false the run stops and keeps no
  // table (End::Cancelled).
  RunOutcome run(const std::filesystem::path& filesDir, std::vector<std::string> names,
                 const RunChoices& choices, const std::function<bool(int percent)>& progress);

  // Writes `table` (its rows `rows`) as a workbook to `target`, with the
  // sheets of the limits when there are `rules` and the sheet Periods with
  // `periods`, telling `progress` each percentage. Throws ConversionError
  // naming `target` on failure.
  void writeWorkbook(const TableValues& table, const std::filesystem::path& target, RowRange rows,
                     const std::vector<LimitRule>* rules,
                     const std::function<void(int percent)>& progress,
                     std::optional<PeriodKind> periods = std::nullopt) const;

 private:
  std::filesystem::path outputDir_;
  std::string outputName_;
  Regional regional_;
  FolderCheck canWrite_;
  std::optional<std::filesystem::path> chosenTable_;
};

}  // namespace kestrix::ui
