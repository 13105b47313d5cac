#include "check_dates.hpp"

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "csv_table.hpp"
#include "dates.hpp"
#include "fuzz_check.hpp"
#include "fuzz_input.hpp"
#include "sink.hpp"
#include "table.hpp"
#include "time_window.hpp"

namespace kestrix::fuzz {

namespace {

// The lines of a text, each without its CR LF.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    check(end != std::string_view::npos, "a line without CR LF");
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// One RFC 4180 record from `at`, which is moved past its CR LF.
std::vector<std::string> csvRecord(std::string_view text, std::size_t& at) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (;;) {
    check(at < text.size(), "csv: a record without CR LF");
    const char c = text[at++];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (at < text.size() && text[at] == '"') {
        fields.back() += '"';
        ++at;
      } else {
        quoted = false;
        check(at < text.size() && (text[at] == ',' || text[at] == '\r'),
              "csv: text after a closing quote");
      }
    } else if (c == '"') {
      check(fields.back().empty(), "csv: a quote inside an unquoted field");
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\r') {
      check(at < text.size() && text[at] == '\n', "csv: CR without LF");
      ++at;
      return fields;
    } else {
      check(c != '\n', "csv: LF without CR");
      fields.back() += c;
    }
  }
}

}  // namespace

void checkDatesCsvAndWindow(const ConversionRun& run, std::string_view table, Encoding encoding,
                            std::string_view input) {
  std::uint64_t hash = inputHash(input, 14695981039346656037u);
  const auto bits = [&hash](int n) {
    const auto value = static_cast<std::int64_t>(hash & ((std::uint64_t{1} << n) - 1));
    hash >>= n;
    return value;
  };
  const std::vector<std::string_view> lines = linesOf(table);
  const std::int64_t rows = std::max<std::int64_t>(run.totalRows, 0);
  check(lines.size() == static_cast<std::size_t>(4 + rows), "dates: table line count");

  // A window from a little before the first row to a little after the last.
  const std::int64_t span = rows * run.step;
  TimeWindow window;
  if (bits(2) != 0) window.from = run.earliestStart - run.step + bits(20) % (span + 3);
  if (bits(2) != 0) window.to = run.earliestStart - run.step + bits(20) % (span + 3);
  if (window.from && window.to && *window.to <= *window.from)
    window.to = *window.from + bits(6) + 1;
  const RowRange inWindow = rowsInWindow(run, window);
  const auto inside = [&window, &run](std::int64_t r) {
    const std::int64_t date = run.rowDate(r);
    return (!window.from || date >= *window.from) && (!window.to || date < *window.to);
  };
  for (const std::int64_t r :
       {inWindow.first - 1, inWindow.first, inWindow.last, inWindow.last + 1})
    if (r >= 1 && r <= rows)
      check(inside(r) == (r >= inWindow.first && r <= inWindow.last),
            "window: a row on the wrong side of its edge", "row " + std::to_string(r));
  check(inWindow.empty() || (inWindow.first >= 1 && inWindow.last <= rows), "window: rows");

  std::optional<int> offset;
  if (bits(1) != 0) offset = static_cast<int>(bits(11) % (28 * 60 + 1)) - 14 * 60;
  TableOptions options;
  options.rows = inWindow;
  options.utcOffsetMinutes = offset;
  options.dates = DateStyle::Iso;
  options.encoding = encoding;

  // The table over the window in ISO dates: the full table's header and rows,
  // each row's date the only change.
  StringSink iso;
  writeTable(run, iso, options);
  const std::vector<std::string_view> isoLines = linesOf(iso.data);
  check(isoLines.size() == 4 + static_cast<std::size_t>(inWindow.count()),
        "window: table line count");
  for (std::size_t i = 0; i < 4; ++i) check(isoLines[i] == lines[i], "window: header differs");
  for (std::int64_t r = inWindow.first; r <= inWindow.last; ++r) {
    const std::string_view full = lines[static_cast<std::size_t>(3 + r)];
    std::string expected;
    appendIsoDate(run.rowDate(r), ' ', offset, expected);
    expected +=
        full.substr(full.find('\t') == std::string_view::npos ? full.size() : full.find('\t'));
    check(isoLines[static_cast<std::size_t>(3 + r - inWindow.first + 1)] == expected,
          "window: ISO row differs from the table's", [r] { return "row " + std::to_string(r); });
  }

  // The CSV over the window: its names, and each field the table's number or empty.
  StringSink csv;
  writeCsv(run, csv, options);
  std::size_t at = 0;
  const std::vector<std::string> header = csvRecord(csv.data, at);
  const std::vector<std::string_view> tableHeader = tabFields(lines[0]);
  check(header.size() == tableHeader.size() && header[0] == csvTimeHeading, "csv: header width");
  const std::set<std::string> distinct(header.begin() + 1, header.end());
  check(distinct.size() + 1 == header.size(), "csv: column names repeated");
  const std::vector<std::string> names = csvColumnNames(run);
  check(std::equal(names.begin(), names.end(), header.begin() + 1), "csv: names read back differ");
  for (std::int64_t r = inWindow.first; r <= inWindow.last; ++r) {
    const std::vector<std::string> fields = csvRecord(csv.data, at);
    const std::vector<std::string_view> cells = tabFields(lines[static_cast<std::size_t>(3 + r)]);
    const auto where = [r] { return "row " + std::to_string(r); };
    check(fields.size() == cells.size(), "csv: row width", where);
    std::string date;
    appendIsoDate(run.rowDate(r), 'T', offset, date);
    check(fields[0] == date, "csv: date", where);
    for (std::size_t c = 1; c < cells.size(); ++c) {
      const bool number = !cells[c].empty() && cells[c] != "-" && cells[c] != "overflow";
      check(fields[c] == (number ? cells[c] : std::string_view()), "csv: field differs",
            [&] { return where() + " column " + std::to_string(c); });
    }
  }
  check(at == csv.data.size(), "csv: more records than rows");
}

}  // namespace kestrix::fuzz
