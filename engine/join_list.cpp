#include "join_list.hpp"

#include "joined_column.hpp"
#include "table.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

// A file's name as a field: control bytes (a TAB or a line end in a file
// name) would break the line, so each becomes a blank.
std::string nameField(const std::string& utf8, Encoding encoding) {
  // The output is one encoding: a character Windows-1252 lacks becomes '?'.
  std::string name =
      encoding == Encoding::Utf8 ? validUtf8(utf8) : utf8ToWindows1252Replacing(utf8);
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return name;
}

}  // namespace

std::vector<std::string> joinedColumnLines(const ConversionRun& run, bool includeOverflowed) {
  std::vector<std::string> lines;
  for (const ColumnPlan& column : run.columns) {
    if (!run.joined || column.files.size() < 2) continue;
    const LoggerFile& named = run.files[column.file().file];
    const JoinCounts& counts = column.counts(includeOverflowed);
    lines.push_back("joined " + std::to_string(column.files.size()) + " downloads of " +
                    identityText(named.loggerId) + " (" + windows1252ToUtf8(named.containerName) +
                    "): " + std::to_string(counts.rowsWithValues) + " rows, " +
                    std::to_string(counts.overlapping) + " overlapping, " +
                    std::to_string(counts.conflicting) + " conflicting");
  }
  return lines;
}

std::vector<std::string> keptApartLines(const ConversionRun& run) {
  std::vector<std::string> lines;
  for (const KeptApart& apart : run.keptApart) {
    const LoggerFile& file = run.files[apart.file];
    lines.push_back(file.displayName + " is kept apart from " + run.files[apart.other].displayName +
                    " (logger " + identityText(file.loggerId) + "): " + apart.reason);
  }
  return lines;
}

void writeJoins(const ConversionRun& run, bool includeOverflowed, RowRange rows, Sink& sink,
                const TextFormat& format) {
  const TextFormatter out(format);
  std::string text =
      "Title\tLogger\tDownloads\tNames\tRows with values\tOverlapping\tConflicting\tFirst "
      "conflict\r\n";
  for (const ColumnPlan& column : run.columns) {
    const LoggerFile& named = run.files[column.file().file];
    const JoinCounts counts = joinCountsIn(column, run.files, includeOverflowed, rows);
    out.text(named.containerName, text);
    ((text += '\t') += identityText(named.loggerId)) += '\t';
    text += std::to_string(column.files.size());
    text += '\t';
    for (std::size_t k = 0; k < column.files.size(); ++k) {
      if (k > 0) text += ", ";
      text += nameField(run.files[column.files[k].file].displayName, format.encoding);
    }
    (text += '\t') += std::to_string(counts.rowsWithValues);
    (text += '\t') += std::to_string(counts.overlapping);
    (text += '\t') += std::to_string(counts.conflicting);
    text += '\t';
    if (counts.firstConflict > 0)
      out.date(run.rowDate(column.tableRow(counts.firstConflict)), text);
    text += "\r\n";
    sink.write(text);
    text.clear();
  }
  sink.write(text);
}

}  // namespace kestrix
