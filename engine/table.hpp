// The merged table: four header lines, then one row per sampling step.
// TableText states what every line holds; writeTable writes the same bytes
// faster (cell_texts.hpp, row_writer.hpp, table_writer.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "channels.hpp"
#include "dates.hpp"
#include "regional.hpp"
#include "row_range.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "text_format.hpp"

namespace kestrix {

// Every line of the table ends so.
inline constexpr std::string_view crlf = "\r\n";

// The first column's words on header lines 1 and 4 (the workbook's too).
inline constexpr std::string_view fileHeading = "Fichier";
inline constexpr std::string_view dateHeading = "Date";

// Rows of one spreadsheet sheet: a workbook's sheet holds at most this many
// lines, and the window puts no longer table on the clipboard.
inline constexpr std::int64_t spreadsheetRows = 1'048'576;

struct TableOptions {
  Regional regional;
  Encoding encoding = Encoding::Windows1252;
  // Called with each whole percentage of rows written as it rises.
  std::function<void(int percent)> progress;
  // Long tables are formatted on two threads unless this is set (or the
  // machine has one core); the bytes are the same either way.
  bool oneThread = false;
  // Cells that only the safety margin marks "overflow" (samples the logger's
  // memory still held) show their values; samples it no longer held still
  // read "overflow".
  bool includeOverflowed = false;
  // The row dates: regional (dd/mm/yy hh:mm:ss) or ISO 8601 (YYYY-MM-DD
  // hh:mm:ss), the UTC offset appended to ISO dates only.
  DateStyle dates = DateStyle::Regional;
  std::optional<int> utcOffsetMinutes;
  // The rows written (1-based, both included; clipped to the table): a time
  // window. None: every row. The header is written all the same.
  std::optional<RowRange> rows;
};

// How a table's rows are written: the tab-separated table's form, or the
// CSV's (csvTableForm).
struct RowForm {
  // The dates; their `regional` also gives the numbers' decimal mark. The
  // marks and separators are already in the output's encoding.
  DateForm dates;
  char separator = '\t';     // before each cell
  bool numbersOnly = false;  // "overflow" and "-" cells are written empty

  const std::string& decimalMark() const noexcept { return dates.regional.decimalMark; }
};

// The table's own form: regional dates and `regional`'s decimal mark, TAB-separated.
inline RowForm regionalRows(const Regional& regional) {
  RowForm form;
  form.dates = regionalDates(regional);
  return form;
}

// A logger's identity as the table writes it: eight hexadecimal digits.
std::string identityText(std::int32_t id);

// The separators and decimal mark come from the locale in UTF-8; a
// Windows-1252 text takes them in that code page, or the defaults when they
// have no place there.
Regional encodedFor(const Regional& regional, Encoding encoding);

// "Done..." or "Done... inconsistent file(s)".
std::string closingStatus(bool inconsistentFlag);

// The cells of a run as text, row by row: what the table writer writes.
class TableText {
 public:
  TableText(const ConversionRun& run, const Regional& regional, bool includeOverflowed = false)
      : TableText(run, regionalRows(regional), includeOverflowed) {}
  TableText(const ConversionRun& run, const RowForm& form, bool includeOverflowed = false);

  // The four header lines, each followed by CR LF, in Windows-1252.
  std::string headerLines() const;
  // Row r (1-based) without its line end: the date, then the separator and
  // each column's cell.
  void appendRow(std::int64_t r, std::string& out) const;
  // The cell of column j (run.columns) in row r: one field, or two joined by
  // the separator.
  std::string cellText(std::size_t j, std::int64_t r) const;

 private:
  void appendCell(std::size_t j, std::int64_t r, std::string& out) const;

  const ConversionRun& run_;
  RowForm form_;
  bool includeOverflowed_ = false;
};

// The table's form of `options`: its dates and decimal mark, in its encoding.
RowForm tableForm(const TableOptions& options);

// Writes the table to `sink`, its four header lines and then its rows (those
// of options.rows), and returns the closing status.
std::string writeTable(const ConversionRun& run, Sink& sink, const TableOptions& options);

}  // namespace kestrix
