#include "table.hpp"

#include <CStringBuilder.hpp>

#include "channels.hpp"
#include "dates.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::size_t flushBytes = std::size_t{1} << 20;

std::string identityText(std::int32_t id) {
  constexpr char digits[] = "0123456789ABCDEF";
  const auto u = static_cast<std::uint32_t>(id);
  std::string s(8, '0');
  for (int i = 0; i < 8; ++i) s[static_cast<std::size_t>(7 - i)] = digits[(u >> (4 * i)) & 0xF];
  return s;
}

// Rows written * 100 / total, to the nearest whole number, a half to the even one.
int percentOf(std::int64_t rows, std::int64_t total) {
  std::int64_t q = rows * 100 / total;
  const std::int64_t twiceRest = 2 * (rows * 100 % total);
  if (twiceRest > total || (twiceRest == total && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

// The separators and decimal mark come from the locale in UTF-8; a
// Windows-1252 table takes them in that code page, or the defaults when they
// have no place there.
Regional encodedFor(const Regional& regional, Encoding encoding) {
  if (encoding == Encoding::Utf8) return regional;
  const Regional defaults;
  Regional out;
  out.decimalMark = utf8ToWindows1252(regional.decimalMark).value_or(defaults.decimalMark);
  out.dateSeparator = utf8ToWindows1252(regional.dateSeparator).value_or(defaults.dateSeparator);
  out.timeSeparator = utf8ToWindows1252(regional.timeSeparator).value_or(defaults.timeSeparator);
  return out;
}

}  // namespace

std::string closingStatus(bool inconsistentFlag) {
  return inconsistentFlag ? "Done... inconsistent file(s)" : "Done...";
}

TableText::TableText(const ConversionRun& run, const Regional& regional)
    : run_(run), regional_(regional) {}

std::string TableText::headerLines() const {
  std::string lines = "Fichier";
  for (const LoggerFile& f : run_.files) {
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += f.fileName;
  }
  lines += crlf;
  for (const LoggerFile& f : run_.files) {
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += identityText(f.loggerId);
  }
  lines += crlf;
  for (const LoggerFile& f : run_.files) (lines += '\t') += typtext(f.typeCode);
  lines += crlf;
  lines += "Date";
  for (const LoggerFile& f : run_.files) (lines += '\t') += typunit(f.typeCode);
  lines += crlf;
  return lines;
}

void TableText::appendCell(std::size_t j, std::int64_t r, std::string& out) const {
  const LoggerFile& f = run_.files[j];
  const bool two = f.channelCount == 2;
  const std::int64_t p = r - run_.stepOffsets[j];
  if (p < 1 || p > f.sampleCount) {
    if (two) out += '\t';
    return;
  }
  // Samples the logger's memory no longer held, plus a margin.
  const std::int64_t margin = 120 / run_.interval;
  if (p < std::int64_t{f.sampleCount} + margin - f.memorySize + 1) {
    out += two ? "overflow\toverflow" : "overflow";
    return;
  }
  const auto s1 = two ? f.samples.at(2 * p - 1) : f.samples.at(p);
  const auto s2 = two ? f.samples.at(2 * p) : s1;
  if (!s1 || !s2) {  // never read from the file
    if (two) out += '\t';
    return;
  }
  const CellParams params{f.typeCode, f.offsetParam, f.factorParam, run_.interval};
  typvalue(params, *s1, *s2, r == 1, regional_.decimalMark, out);
}

void TableText::appendRow(std::int64_t r, std::string& out) const {
  appendRowDate(run_.rowDate(r), regional_, out);
  for (std::size_t j = 0; j < run_.files.size(); ++j) {
    out += '\t';
    appendCell(j, r, out);
  }
}

std::string TableText::cellText(std::size_t j, std::int64_t r) const {
  std::string cell;
  appendCell(j, r, cell);
  return cell;
}

std::string writeTable(const ConversionRun& run, Sink& sink, const TableOptions& options) {
  const TableText text(run, encodedFor(options.regional, options.encoding));

  auto emit = [&](std::string_view bytes) {
    sink.write(bytes);
    if (options.clipboardText) options.clipboardText->Append(bytes);
  };

  std::string header = text.headerLines();
  if (options.encoding == Encoding::Utf8) header = windows1252ToUtf8(header);
  emit(header);

  std::string buffer;
  buffer.reserve(flushBytes + (flushBytes >> 2));
  int lastPercent = 0;
  for (std::int64_t r = 1; r <= run.totalRows; ++r) {
    text.appendRow(r, buffer);
    buffer += crlf;
    if (buffer.size() >= flushBytes) {
      emit(buffer);
      buffer.clear();
    }
    const int percent = percentOf(r, run.totalRows);
    if (percent > lastPercent) {
      lastPercent = percent;
      if (options.progress) options.progress(percent);
    }
  }
  if (!buffer.empty()) emit(buffer);
  return closingStatus(run.inconsistentFlag);
}

}  // namespace kestrix
