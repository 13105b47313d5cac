// The sheets a workbook gains beside the table's (summary, excursions,
// periods): what they need of the workbook, and a writer of their cells.
#pragma once

#include <xlsxwriter.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cell_values.hpp"

namespace kestrix {

// What the sheets need of the workbook being written.
class SheetHost {
 public:
  virtual ~SheetHost() = default;
  // A new sheet at the end, kept for packing; fails (throws) when none can be made.
  virtual lxw_worksheet* addSheet(const std::string& name) = 0;
  // A new cell format; fails when none can be made.
  virtual lxw_format* addFormat() = 0;
  // Fails on any error of the library.
  virtual void check(lxw_error error) = 0;
};

// Writes the cells of one sheet row by row, as constant-memory mode needs.
class SheetWriter {
 public:
  SheetWriter(SheetHost& host, const TableValues& values);

  // A new sheet: its header line in bold, frozen, and the columns' widths.
  void start(const std::string& name, const std::vector<std::string>& header,
             const std::vector<double>& widths);

  void next() { ++row_; }
  lxw_row_t row() const noexcept { return row_; }

  void text(std::size_t c, const std::string& value, lxw_format* format = nullptr);
  void number(std::size_t c, double value, lxw_format* format = nullptr);
  // The date and time of table row `row`.
  void date(std::size_t c, std::int64_t row);
  // The day of `seconds` (since 1 January 2000), without its time.
  void day(std::size_t c, std::int64_t seconds);
  void duration(std::size_t c, std::int64_t seconds);
  // A cell's value, with the table's digits.
  void cellNumber(std::size_t c, std::int64_t tenths, int decimals);
  void hundredths(std::size_t c, std::int64_t value);
  // units / 10^digits (digits 0 to 3), shown with that many decimals.
  void decimal(std::size_t c, std::int64_t units, int digits);
  // The four fields that name a channel, from column `c` on.
  void channel(std::size_t c, const ColumnInfo& info);

  static constexpr double textWidth = 16;
  static constexpr double dateWidth = 20;

 private:
  SheetHost& host_;
  const ConversionRun& run_;
  lxw_worksheet* sheet_ = nullptr;
  lxw_row_t row_ = 0;
  lxw_format* bold_ = nullptr;
  lxw_format* date_ = nullptr;
  lxw_format* day_ = nullptr;
  lxw_format* duration_ = nullptr;
  lxw_format* decimals_[4] = {};  // "0", "0.0", "0.00", "0.000"
};

}  // namespace kestrix
