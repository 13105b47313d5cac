#include "csv_table.hpp"

#include <map>
#include <set>

#include "row_writer.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

// The TAB-separated field `index` (0 or 1) of a two-field label or unit.
std::string_view fieldOf(std::string_view fields, int index) {
  const std::size_t tab = fields.find('\t');
  if (index == 0) return fields.substr(0, tab);
  return tab == std::string_view::npos ? std::string_view() : fields.substr(tab + 1);
}

}  // namespace

RowForm csvTableForm(std::optional<int> utcOffsetMinutes) {
  RowForm form;
  form.dates.style = DateStyle::Iso;
  form.dates.between = 'T';
  form.dates.utcOffsetMinutes = utcOffsetMinutes;
  form.dates.regional.decimalMark = ".";
  form.separator = ',';
  form.numbersOnly = true;
  return form;
}

std::vector<std::string> csvColumnNames(const ConversionRun& run) {
  struct Column {
    std::string name;
    std::int32_t loggerId = 0;
  };
  std::vector<Column> columns;
  for (const ColumnPlan& plan : run.columns) {
    const LoggerFile& f = run.files[plan.file().file];
    for (int c = 0; c < f.channelCount; ++c) {
      std::string name = windows1252ToUtf8(f.containerName);
      if (!name.empty()) name += ' ';
      name += windows1252ToUtf8(fieldOf(channelLabels(f.typeCode), c));
      name += " (";
      name += windows1252ToUtf8(fieldOf(channelUnits(f.typeCode), c));
      name += ')';
      columns.push_back({std::move(name), f.loggerId});
    }
  }
  std::map<std::string, int> uses;
  for (const Column& c : columns) ++uses[c.name];
  for (Column& c : columns) {
    if (uses[c.name] > 1) c.name += " [" + identityText(c.loggerId) + "]";
  }
  // A name still repeated (a file given twice): its later occurrences
  // numbered, past any name already taken.
  std::set<std::string> taken;
  for (const Column& c : columns) taken.insert(c.name);
  std::map<std::string, int> met;
  std::vector<std::string> names;
  for (const Column& c : columns) {
    std::string name = c.name;
    if (int& n = met[c.name]; ++n > 1) {
      while (!taken.insert(name = c.name + " #" + std::to_string(n)).second) ++n;
    }
    names.push_back(std::move(name));
  }
  return names;
}

void appendCsvField(std::string_view text, std::string& out) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string writeCsv(const ConversionRun& run, Sink& sink, const TableOptions& options) {
  std::string header(csvTimeHeading);
  for (const std::string& name : csvColumnNames(run)) {
    header += ',';
    appendCsvField(name, header);
  }
  header += crlf;
  sink.write(header);
  writeTableRows(run, csvTableForm(options.utcOffsetMinutes), options, sink);
  return closingStatus(run.inconsistentFlag);
}

}  // namespace kestrix
