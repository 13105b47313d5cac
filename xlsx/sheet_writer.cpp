#include "sheet_writer.hpp"

#include "text.hpp"
#include "workbook_writer.hpp"

namespace kestrix {

namespace {

constexpr double kSecondsPerDay = 86400.0;

double powerOfTen(int digits) {
  double scale = 1;
  for (int i = 0; i < digits; ++i) scale *= 10;
  return scale;
}

}  // namespace

SheetWriter::SheetWriter(SheetHost& host, const TableValues& values)
    : host_(host), run_(values.run()) {
  bold_ = host.addFormat();
  date_ = host.addFormat();
  day_ = host.addFormat();
  duration_ = host.addFormat();
  format_set_bold(bold_);
  format_set_num_format(date_, "dd/mm/yyyy hh:mm:ss");
  format_set_num_format(day_, "dd/mm/yyyy");
  format_set_num_format(duration_, "[h]:mm:ss");
  const char* const decimals[] = {"0", "0.0", "0.00", "0.000"};
  for (int digits = 0; digits < 4; ++digits) {
    decimals_[digits] = host.addFormat();
    format_set_num_format(decimals_[digits], decimals[digits]);
  }
}

void SheetWriter::start(const std::string& name, const std::vector<std::string>& header,
                        const std::vector<double>& widths) {
  sheet_ = host_.addSheet(name);
  worksheet_freeze_panes(sheet_, 1, 0);
  for (std::size_t c = 0; c < widths.size(); ++c) {
    const auto column = static_cast<lxw_col_t>(c);
    host_.check(worksheet_set_column(sheet_, column, column, widths[c], nullptr));
  }
  row_ = 0;
  for (std::size_t c = 0; c < header.size(); ++c) text(c, header[c], bold_);
  row_ = 1;
}

void SheetWriter::text(std::size_t c, const std::string& value, lxw_format* format) {
  if (value.empty()) return;
  host_.check(
      worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(c), value.c_str(), format));
}

void SheetWriter::number(std::size_t c, double value, lxw_format* format) {
  host_.check(worksheet_write_number(sheet_, row_, static_cast<lxw_col_t>(c), value, format));
}

void SheetWriter::date(std::size_t c, std::int64_t row) {
  number(c, spreadsheetSerial(run_.rowDate(row)), date_);
}

void SheetWriter::day(std::size_t c, std::int64_t seconds) {
  const std::int64_t rest = seconds % 86400;
  number(c, spreadsheetSerial(seconds - (rest < 0 ? rest + 86400 : rest)), day_);
}

void SheetWriter::duration(std::size_t c, std::int64_t seconds) {
  number(c, static_cast<double>(seconds) / kSecondsPerDay, duration_);
}

void SheetWriter::cellNumber(std::size_t c, std::int64_t tenths, int decimals) {
  number(c, static_cast<double>(tenths) / 10.0, decimals_[decimals > 0 ? 1 : 0]);
}

void SheetWriter::hundredths(std::size_t c, std::int64_t value) {
  number(c, static_cast<double>(value) / 100.0, decimals_[2]);
}

void SheetWriter::decimal(std::size_t c, std::int64_t units, int digits) {
  digits = digits < 0 ? 0 : digits > 3 ? 3 : digits;
  number(c, static_cast<double>(units) / powerOfTen(digits), decimals_[digits]);
}

void SheetWriter::channel(std::size_t c, const ColumnInfo& info) {
  text(c, windows1252ToUtf8(info.title));
  text(c + 1, info.loggerId);
  text(c + 2, windows1252ToUtf8(info.label));
  text(c + 3, windows1252ToUtf8(info.unit));
}

}  // namespace kestrix
