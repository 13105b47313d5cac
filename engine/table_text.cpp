// The rule of the table, cell by cell: the header lines, each row's date and
// cells, and the closing status. The table writer's fast paths must give
// exactly these bytes.
#include <cstdint>
#include <string>

#include "channels.hpp"
#include "dates.hpp"
#include "table.hpp"
#include "text.hpp"

namespace kestrix {

std::string identityText(std::int32_t id) {
  constexpr char digits[] = "0123456789ABCDEF";
  const auto u = static_cast<std::uint32_t>(id);
  std::string s(8, '0');
  for (int i = 0; i < 8; ++i) s[static_cast<std::size_t>(7 - i)] = digits[(u >> (4 * i)) & 0xF];
  return s;
}

Regional encodedFor(const Regional& regional, Encoding encoding) {
  if (encoding == Encoding::Utf8) return regional;
  const Regional defaults;
  Regional out;
  out.decimalMark = utf8ToWindows1252(regional.decimalMark).value_or(defaults.decimalMark);
  out.dateSeparator = utf8ToWindows1252(regional.dateSeparator).value_or(defaults.dateSeparator);
  out.timeSeparator = utf8ToWindows1252(regional.timeSeparator).value_or(defaults.timeSeparator);
  return out;
}

std::string closingStatus(bool inconsistentFlag) {
  return inconsistentFlag ? "Done... inconsistent file(s)" : "Done...";
}

RowForm tableForm(const TableOptions& options) {
  RowForm form;
  form.dates.regional = encodedFor(options.regional, options.encoding);
  form.dates.style = options.dates;
  if (options.dates == DateStyle::Iso) form.dates.utcOffsetMinutes = options.utcOffsetMinutes;
  return form;
}

TableText::TableText(const ConversionRun& run, const RowForm& form, bool includeOverflowed)
    : run_(run), form_(form), includeOverflowed_(includeOverflowed) {}

std::string TableText::headerLines() const {
  auto fileOf = [this](const ColumnPlan& column) -> const LoggerFile& {
    return run_.files[column.file().file];
  };
  std::string lines(fileHeading);
  for (const ColumnPlan& column : run_.columns) {
    const LoggerFile& f = fileOf(column);
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += f.containerName;
  }
  lines += crlf;
  for (const ColumnPlan& column : run_.columns) {
    const LoggerFile& f = fileOf(column);
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += identityText(f.loggerId);
  }
  lines += crlf;
  for (const ColumnPlan& column : run_.columns)
    (lines += '\t') += channelLabels(fileOf(column).typeCode);
  lines += crlf;
  lines += dateHeading;
  for (const ColumnPlan& column : run_.columns)
    (lines += '\t') += channelUnits(fileOf(column).typeCode);
  lines += crlf;
  return lines;
}

void TableText::appendCell(std::size_t j, std::int64_t r, std::string& out) const {
  const ColumnPlan& column = run_.columns[j];
  const bool two = column.twoChannels();
  const char separator = form_.separator;
  const std::int64_t slot = column.slotAt(r);
  const ColumnPiece* piece = slot > 0 ? column.pieceAt(slot, includeOverflowed_) : nullptr;
  if (!piece) {
    if (two) out += separator;
    return;
  }
  if (piece->shows == RowShows::Overflow) {
    if (!form_.numbersOnly) out += "overflow";
    if (two) out += separator;
    if (two && !form_.numbersOnly) out += "overflow";
    return;
  }
  const FilePlan& plan = column.files[piece->file];
  const SampleColumn& samples = run_.files[plan.file].samples;
  const std::int64_t p = plan.position(slot);
  const auto s1 = two ? samples.at(2 * p - 1) : samples.at(p);
  const auto s2 = two ? samples.at(2 * p) : s1;
  if (!s1 || !s2) {  // never read from the file
    if (two) out += separator;
    return;
  }
  if (separator == '\t' && !form_.numbersOnly) {
    appendCellText(plan.formula, *s1, *s2, r == 1, form_.decimalMark(), out);
    return;
  }
  // Field by field: each separated by `separator`, a first-row "-" empty
  // where only numbers are written.
  std::string text;
  appendCellText(plan.formula, *s1, *s2, r == 1, form_.decimalMark(), text);
  const std::size_t tab = text.find('\t');
  const auto put = [&](std::string_view field) {
    if (!(form_.numbersOnly && field == "-")) out += field;
  };
  put(std::string_view(text).substr(0, tab));
  if (tab == std::string::npos) return;
  out += separator;
  put(std::string_view(text).substr(tab + 1));
}

void TableText::appendRow(std::int64_t r, std::string& out) const {
  appendDate(run_.rowDate(r), form_.dates, out);
  for (std::size_t j = 0; j < run_.columns.size(); ++j) {
    out += form_.separator;
    appendCell(j, r, out);
  }
}

std::string TableText::cellText(std::size_t j, std::int64_t r) const {
  std::string cell;
  appendCell(j, r, cell);
  return cell;
}

}  // namespace kestrix
