#include "workbook_writer.hpp"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cell_values.hpp"
#include "error.hpp"
#include "file_sinks.hpp"
#include "limit_sheets.hpp"
#include "period_sheet.hpp"
#include "platform/file_system.hpp"
#include "table.hpp"
#include "text.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

constexpr std::int64_t kHeaderRows = 4;
// A sheet holds spreadsheetRows rows, the four header lines included.
constexpr std::int64_t kDataRowsPerSheet = spreadsheetRows - kHeaderRows;
// Rows fetched from the values at a time, every column for each.
constexpr std::int64_t kBlockRows = 256;
// The share of the progress that writing the rows stands for; packing the
// sheets (compression) takes the rest.
constexpr int kRowsPercent = 45;

[[noreturn]] void fail(const fs::path& target, const std::string& what) {
  throw ConversionError(ErrorKind::CannotWrite, target.string(), what);
}

struct FreeWorkbook {
  void operator()(lxw_workbook* workbook) const noexcept { lxw_workbook_free(workbook); }
};

// Writes the rows of the table in order, sheet after sheet, then the limit
// sheets when asked for.
class WorkbookBuilder final : public SheetHost {
 public:
  WorkbookBuilder(const ConversionRun& run, const ReplacementFile& file,
                  const WorkbookOptions& options)
      : run_(run), file_(file), options_(options), values_(run, options.includeOverflowed) {
    // The sheets' data waits beside the target until the workbook is packed
    // (about as many bytes as the table's text, twice over at the end).
    temporaryFolder_ = file.folder().string();
    temporaryFolderName_ = platform::libraryFileName(file.folder());
    const std::string fileName = platform::libraryFileName(file.path());
    lxw_workbook_options settings{};
    settings.constant_memory = LXW_TRUE;
    settings.tmpdir = temporaryFolderName_.data();
    settings.use_zip64 = needsZip64() ? LXW_TRUE : LXW_FALSE;
    workbook_.reset(workbook_new_opt(fileName.c_str(), &settings));
    if (!workbook_) fail(file_.target(), "out of memory");

    bold_ = workbook_add_format(workbook_.get());
    dateFormat_ = workbook_add_format(workbook_.get());
    oneDecimal_ = workbook_add_format(workbook_.get());
    whole_ = workbook_add_format(workbook_.get());
    if (!bold_ || !dateFormat_ || !oneDecimal_ || !whole_) fail(file_.target(), "out of memory");
    format_set_bold(bold_);
    format_set_num_format(dateFormat_, "dd/mm/yyyy hh:mm:ss");
    format_set_num_format(oneDecimal_, "0.0");
    format_set_num_format(whole_, "0");

    for (std::size_t c = 0; c < values_.columnCount(); ++c) {
      const ColumnInfo& column = values_.column(c);
      titles_.push_back(windows1252ToUtf8(column.title));
      loggerIds_.push_back(column.loggerId);
      labels_.push_back(windows1252ToUtf8(column.label));
      units_.push_back(windows1252ToUtf8(column.unit));
      numberFormats_.push_back(column.decimals > 0 ? oneDecimal_ : whole_);
    }
  }

  WorkbookBuilder(const WorkbookBuilder&) = delete;
  WorkbookBuilder& operator=(const WorkbookBuilder&) = delete;
  // A workbook never packed: lxw_workbook_free leaves the sheets' temporary
  // files open, so they are closed here.
  ~WorkbookBuilder() override {
    if (!workbook_) return;
    for (lxw_worksheet* sheet : sheets_) {
      if (sheet->optimize_tmpfile) std::fclose(sheet->optimize_tmpfile);
      sheet->optimize_tmpfile = nullptr;
      sheet->file = nullptr;
    }
  }

  std::string write() {
    const RowRange rows = rowsWritten();
    if (rows.empty()) startSheet();
    const std::size_t columns = values_.columnCount();
    std::vector<CellValue> block(columns * static_cast<std::size_t>(kBlockRows));
    int percent = 0;
    for (std::int64_t first = rows.first; first <= rows.last; first += kBlockRows) {
      const std::int64_t n = std::min(kBlockRows, rows.last - first + 1);
      for (std::size_t c = 0; c < columns; ++c) {
        values_.tableCells(c, first, n, block.data() + c * static_cast<std::size_t>(kBlockRows));
      }
      for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t r = first + i;
        const std::int64_t atInSheet = (r - rows.first) % kDataRowsPerSheet;
        if (atInSheet == 0) startSheet();
        writeRow(static_cast<lxw_row_t>(kHeaderRows + atInSheet), r, block.data() + i);
      }
      const auto done = static_cast<int>((first + n - rows.first) * kRowsPercent / rows.count());
      if (done > percent && options_.progress) {
        percent = done;
        options_.progress(percent);
      }
    }
    if (options_.limits) writeLimitSheets(*this, values_, *options_.limits, rows);
    if (options_.periods) {
      writePeriodSheets(*this, values_, *options_.periods,
                        options_.limits ? &*options_.limits : nullptr, rows);
    }
    close();
    if (options_.progress) options_.progress(100);
    return closingStatus(run_.inconsistentFlag);
  }

 private:
  // The table rows written: every row, or those of the time window.
  RowRange rowsWritten() const {
    RowRange rows{1, values_.rowCount()};
    if (options_.rows) {
      rows.first = std::max(rows.first, options_.rows->first);
      rows.last = std::min(rows.last, options_.rows->last);
    }
    return rows;
  }

  // The sheets' data can pass 4 GiB unpacked only with ZIP64 (about 48
  // bytes of XML per cell); smaller workbooks leave it out, as readers expect.
  bool needsZip64() const {
    const std::int64_t rows = std::min(rowsWritten().count(), spreadsheetRows);
    const auto columns = static_cast<std::int64_t>(values_.columnCount()) + 1;
    return rows * (columns * 48 + 40) > (std::int64_t{3} << 30);
  }

  void check(lxw_error error) override {
    if (error != LXW_NO_ERROR) fail(file_.target(), lxw_strerror(error));
  }

  lxw_worksheet* addSheet(const std::string& name) override {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook_.get(), name.c_str());
    if (!sheet) fail(file_.target(), "cannot create temporary files in " + temporaryFolder_);
    sheets_.push_back(sheet);
    return sheet;
  }

  lxw_format* addFormat() override {
    lxw_format* format = workbook_add_format(workbook_.get());
    if (!format) fail(file_.target(), "out of memory");
    return format;
  }

  void text(lxw_row_t row, lxw_col_t column, const std::string& value, lxw_format* format) {
    if (!value.empty()) check(worksheet_write_string(sheet_, row, column, value.c_str(), format));
  }

  void startSheet() {
    sheet_ = addSheet(sheetName(sheets_.size()));
    worksheet_freeze_panes(sheet_, static_cast<lxw_row_t>(kHeaderRows), 1);
    // Wide enough for "dd/mm/yyyy hh:mm:ss".
    check(worksheet_set_column(sheet_, 0, 0, 20, nullptr));

    // Row by row: the library keeps only the current row.
    const std::vector<std::string>* lines[] = {&titles_, &loggerIds_, &labels_, &units_};
    for (lxw_row_t line = 0; line < kHeaderRows; ++line) {
      if (line == 0) text(line, 0, std::string(fileHeading), bold_);
      if (line == 3) text(line, 0, std::string(dateHeading), bold_);
      const std::vector<std::string>& fields = *lines[line];
      for (std::size_t c = 0; c < fields.size(); ++c) {
        text(line, static_cast<lxw_col_t>(c + 1), fields[c], bold_);
      }
    }
  }

  // `cells` holds the row's cell of column c at cells[c * kBlockRows].
  void writeRow(lxw_row_t row, std::int64_t r, const CellValue* cells) {
    check(worksheet_write_number(sheet_, row, 0, spreadsheetSerial(run_.rowDate(r)), dateFormat_));
    for (std::size_t c = 0; c < numberFormats_.size(); ++c) {
      const CellValue& cell = cells[c * static_cast<std::size_t>(kBlockRows)];
      const auto column = static_cast<lxw_col_t>(c + 1);
      switch (cell.kind) {
        case CellKind::Blank:
          break;
        case CellKind::Number:
          check(worksheet_write_number(sheet_, row, column, static_cast<double>(cell.tenths) / 10.0,
                                       numberFormats_[c]));
          break;
        case CellKind::Overflow:
          check(worksheet_write_string(sheet_, row, column, "overflow", nullptr));
          break;
        case CellKind::Text:
          check(worksheet_write_string(sheet_, row, column, "-", nullptr));
          break;
      }
    }
  }

  // Packs the workbook. The library writes each sheet's rows to a temporary
  // file and copies it once more while packing without checking either
  // write: a full disk would give a workbook cut short, reported as written.
  // So the rows' files are checked here, and the room for the copy.
  void close() {
    std::uintmax_t largest = 0, total = 0;
    for (lxw_worksheet* sheet : sheets_) {
      if (sheet->optimize_row) lxw_worksheet_write_single_row(sheet);
      std::FILE* data = sheet->file;
      errno = 0;
      if (std::fflush(data) != 0 || std::ferror(data) != 0) {
        fail(file_.target(), "cannot write temporary data in " + temporaryFolder_ + ": " +
                                 (errno != 0 ? std::strerror(errno) : "write error"));
      }
      const long size = std::ftell(data);
      if (size > 0) {
        largest = std::max(largest, static_cast<std::uintmax_t>(size));
        total += static_cast<std::uintmax_t>(size);
      }
    }
    if (const std::optional<std::uintmax_t> available = platform::freeSpace(file_.folder())) {
      // The copy of the largest sheet, and the packed workbook beside the
      // target (well under a quarter of its XML) when both share the disk.
      const std::uintmax_t needed = largest + total / 4 + (std::uintmax_t{1} << 20);
      if (*available < needed) {
        fail(file_.target(), "not enough free space in " + temporaryFolder_ + " (" +
                                 std::to_string(needed >> 20) + " MiB needed)");
      }
    }
    // workbook_close frees the workbook, whatever it returns.
    const lxw_error error = workbook_close(workbook_.release());
    if (error != LXW_NO_ERROR) fail(file_.target(), lxw_strerror(error));
  }

  const ConversionRun& run_;
  const ReplacementFile& file_;
  const WorkbookOptions& options_;
  TableValues values_;
  std::string temporaryFolder_;      // for messages
  std::string temporaryFolderName_;  // for the library
  std::unique_ptr<lxw_workbook, FreeWorkbook> workbook_;
  std::vector<lxw_worksheet*> sheets_;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* bold_ = nullptr;
  lxw_format* dateFormat_ = nullptr;
  lxw_format* oneDecimal_ = nullptr;
  lxw_format* whole_ = nullptr;
  std::vector<std::string> titles_, loggerIds_, labels_, units_;
  std::vector<lxw_format*> numberFormats_;
};

}  // namespace

std::string sheetName(std::size_t index) {
  return index == 0 ? "uc1" : "uc1 (" + std::to_string(index + 1) + ")";
}

double spreadsheetSerial(std::int64_t seconds) noexcept {
  // 1 January 2000 is day 36526 of the spreadsheet's calendar.
  constexpr std::int64_t kEpochSeconds = std::int64_t{36526} * 86400;
  return static_cast<double>(seconds + kEpochSeconds) / 86400.0;
}

std::string writeWorkbook(const ConversionRun& run, const fs::path& target,
                          const WorkbookOptions& options) {
  ReplacementFile file(target, "a workbook");
  if (options.temporaryReady) options.temporaryReady(file.path());
  WorkbookBuilder builder(run, file, options);
  std::string status = builder.write();
  file.commit();
  return status;
}

}  // namespace kestrix
