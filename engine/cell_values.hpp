// The table as values: what each cell of the table holds, as a spreadsheet
// reads its text. Shared by the summary, the chart and the workbook export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "run.hpp"

namespace kestrix {

// What one table cell holds. Text is a first-row "-" (power channels).
enum class CellKind : std::uint8_t { Blank, Number, Overflow, Text };

struct CellValue {
  CellKind kind = CellKind::Blank;
  std::int64_t tenths = 0;  // Number: the value times ten, exactly (cells have <= 1 decimal)

  friend bool operator==(const CellValue&, const CellValue&) = default;
};

// One table column after the date: a file's channel, or a channel joined
// from downloads of one logger.
struct ColumnInfo {
  std::size_t file = 0;    // index in run.files: the file that names the column
  int channel = 0;         // 0 or 1
  std::string title;       // header line 1: container name, Windows-1252 bytes
  std::string loggerId;    // header line 2: 8 hex digits
  std::string label;       // header line 3 (Windows-1252)
  std::string unit;        // header line 4 (Windows-1252), e.g. "\260C"
  int decimals = 1;        // 1 for the "0.0" format, 0 for "0"
  std::size_t column = 0;  // index in run.columns: its plan, with every file it shows
};

// Appends units / 10^unitDigits with its first `shownDigits` digits (at most
// unitDigits, the rest being zeros) after `decimalMark`; no sign for zero.
void appendDecimal(std::int64_t units, int unitDigits, int shownDigits,
                   std::string_view decimalMark, std::string& out);
// The same written at `at`, which has room for decimalSizeMost(shownDigits,
// decimalMark) bytes; returns the end.
char* writeDecimal(std::int64_t units, int unitDigits, int shownDigits,
                   std::string_view decimalMark, char* at) noexcept;
inline std::size_t decimalSizeMost(int shownDigits, std::string_view decimalMark) noexcept {
  return 21 + decimalMark.size() + static_cast<std::size_t>(shownDigits);  // sign, 20 digits
}

// Appends the text the table shows for a Number cell: tenths / 10 with
// `decimals` digits (0 or 1) after `decimalMark`.
void appendNumberText(std::int64_t tenths, int decimals, std::string_view decimalMark,
                      std::string& out);

// Appends the text the table shows for `cell`: its number, "overflow", "-" or nothing.
void appendCellValueText(const CellValue& cell, int decimals, std::string_view decimalMark,
                         std::string& out);

// A cell as a compact code, for scans over many cells: cellCodeBias plus
// its tenths for a Number; cellCodeBlank, cellCodeText or cellCodeOverflow
// for a cell without one. Codes up to cellCodeNoNumber hold no number;
// number codes are at least cellCodeNoNumber + 2.
inline constexpr std::int32_t cellCodeBlank = 0;
inline constexpr std::int32_t cellCodeText = 1;
inline constexpr std::int32_t cellCodeOverflow = 2;
inline constexpr std::int32_t cellCodeNoNumber = cellCodeOverflow;
inline constexpr std::int32_t cellCodeBias = std::int32_t{1} << 30;

// The cells of a run as values, column by column. The run must outlive it.
// Every Number's text (appendNumberText with the column's decimals) is
// exactly the cell text the table writer writes; a double equal to that text
// is tenths / 10.0. Safe to read from several threads: the value of each raw
// sample is worked out the first time a cell shows it, under a lock.
//
// With `includeOverflowed`, cells that read "overflow" only because of the
// safety margin the table keeps below the oldest sample in the logger's
// memory show their values; cells older than the memory still read overflow.
class TableValues {
 public:
  explicit TableValues(const ConversionRun& run, bool includeOverflowed = false);
  ~TableValues();
  TableValues(const TableValues&) = delete;
  TableValues& operator=(const TableValues&) = delete;

  const ConversionRun& run() const noexcept { return run_; }
  // True when the cells that only the safety margin marks "overflow" hold values.
  bool includesOverflowed() const noexcept { return includeOverflowed_; }
  std::size_t columnCount() const noexcept { return columns_.size(); }
  const ColumnInfo& column(std::size_t c) const { return columns_[c].info; }
  // Rows of the table (0 when the run has none).
  std::int64_t rowCount() const noexcept { return rows_; }

  // Each column is read in its own slots (column_plan.hpp): its samples'
  // places, one every interval(c) seconds. When the run's files share one
  // interval, a slot is a table row.
  //
  // Slots of column c up to the table's last row.
  std::int64_t slotCount(std::size_t c) const noexcept;
  // The slots of column c standing on the table rows `rows` (clipped to the table).
  RowRange slotsIn(std::size_t c, RowRange rows) const noexcept;
  // The table row of slot `slot` of column c, and its date.
  std::int64_t slotRow(std::size_t c, std::int64_t slot) const noexcept;
  std::int64_t slotDate(std::size_t c, std::int64_t slot) const noexcept;
  // Seconds from one slot of column c to the next.
  int interval(std::size_t c) const noexcept;
  // The table rows from the first to the last position of column c's files
  // (overflowed ones included); empty for a column without one.
  RowRange heldRows(std::size_t c) const noexcept;

  // The cell of column c in slot `slot` (1-based, 1 .. slotCount(c)).
  CellValue cell(std::size_t c, std::int64_t slot) const;
  // The cell of column c on table row `row`: blank between its slots.
  CellValue tableCell(std::size_t c, std::int64_t row) const;
  // Cells of column c on table rows first .. first + n - 1: blank between its slots.
  void tableCells(std::size_t c, std::int64_t first, std::int64_t n, CellValue* out) const;
  // Cells of column c for slots first .. first + n - 1 (inside the table) into out.
  void cells(std::size_t c, std::int64_t first, std::int64_t n, CellValue* out) const;
  // The same cells as codes (cellCodeBias), four bytes each.
  void cellCodes(std::size_t c, std::int64_t first, std::int64_t n, std::int32_t* out) const;

 private:
  bool includeOverflowed_ = false;
  // A table column as the values read it: its plan and its channel's values
  // by raw sample (the files of a joined column share their formula).
  struct Column {
    ColumnInfo info;
    const ColumnPlan* plan = nullptr;
    const std::vector<ColumnPiece>* pieces = nullptr;  // the plan's, for includeOverflowed
    bool two = false;                                  // a two-channel file: samples interleaved
    std::int16_t rawOffset = 0;               // added to each raw sample before the look-up
    const std::int32_t* values = nullptr;     // the channel's value of each raw value
    CellKind firstRowKind = CellKind::Blank;  // Number or Text: the first row's own cell
    const FilePlan* formula = nullptr;        // whose reduced formula fills `values`
  };
  class Formulas;

  // The look-up entry of raw value v (after the raw offset) in column c's
  // channel, worked out first if no cell has shown it yet.
  std::int32_t entry(const Column& c, std::uint16_t v) const;
  std::int32_t fillEntry(const Column& c, std::uint16_t v) const;

  // The cell of column c in row r, the careful way.
  CellValue valueAt(const Column& c, std::int64_t r) const;
  // Cells of column c for rows first .. first + n - 1, each what `fromEntry`
  // makes of the value table's entry where the row shows a sample, or
  // `fromValue` of the row's CellValue where it does not.
  template <class Out, class FromEntry, class FromValue>
  void readCells(std::size_t c, std::int64_t first, std::int64_t n, Out* out, FromEntry fromEntry,
                 FromValue fromValue) const;
  // The same for rows inside a piece showing the samples of `file`.
  template <class Out, class FromEntry, class FromValue>
  void sampleCells(const Column& c, const FilePlan& file, std::int64_t first, std::int64_t n,
                   Out* out, FromEntry fromEntry, FromValue fromValue) const;

  const ConversionRun& run_;
  std::int64_t rows_ = 0;
  std::unique_ptr<Formulas> formulas_;  // filled under fillLock_, read without it
  mutable std::mutex fillLock_;
  std::vector<Column> columns_;
};

}  // namespace kestrix
