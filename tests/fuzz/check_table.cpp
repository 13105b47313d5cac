#include "check_table.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "fuzz_input.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace kestrix::fuzz {

namespace {

// Every data row: a date, then one TAB before each channel's cell.
void checkRow(std::string_view row, int channels, std::int64_t number) {
  const auto where = [number] { return "row " + std::to_string(number); };
  check(row.size() >= 17, "row shorter than its date", where);
  check(count(row, "\t") == static_cast<std::size_t>(channels), "row has a wrong column count",
        [&] { return where() + ": " + std::string(row); });
  check(row.find('\r') == std::string_view::npos && row.find('\n') == std::string_view::npos,
        "line break inside a row", where);
}

}  // namespace

std::string checkedTable(const ConversionRun& run, int channels, Encoding encoding) {
  TableOptions options;
  options.encoding = encoding;
  std::vector<int> progress;
  options.progress = [&progress](int percent) { progress.push_back(percent); };
  StringSink sink;
  const std::string status = writeTable(run, sink, options);

  check(status == closingStatus(run.inconsistentFlag), "closing status");
  const std::string_view table = sink.data;
  check(table.size() >= 2 && table.substr(table.size() - 2) == "\r\n", "table ends without CR LF");
  const std::int64_t rows = std::max<std::int64_t>(run.totalRows, 0);
  check(count(table, "\r\n") == static_cast<std::size_t>(4 + rows), "line count",
        std::to_string(count(table, "\r\n")) + " lines for " + std::to_string(rows) + " rows");

  // The writer builds rows its own fast way; TableText is the plain one.
  const TableText reference(run, Regional{});
  std::string expected;
  std::size_t from = 0;
  for (std::int64_t line = 1; line <= 4 + rows; ++line) {
    const std::size_t end = table.find("\r\n", from);
    const std::string_view text = table.substr(from, end - from);
    if (line > 4) {
      checkRow(text, channels, line - 4);
      expected.clear();
      reference.appendRow(line - 4, expected);
      check(text == expected, "row differs from TableText:", [&] {
        return "row " + std::to_string(line - 4) + ": " + std::string(text) + " instead of " +
               expected;
      });
    } else {
      // Header lines: one field per channel, however odd the container names.
      check(count(text, "\t") == static_cast<std::size_t>(channels),
            "header line has a wrong column count",
            "line " + std::to_string(line) + ": " + std::string(text));
    }
    from = end + 2;
  }

  for (std::size_t i = 0; i < progress.size(); ++i) {
    check(progress[i] >= 1 && progress[i] <= 100, "progress out of range");
    check(i == 0 || progress[i] > progress[i - 1], "progress not rising");
  }
  check(rows == 0 || (!progress.empty() && progress.back() == 100), "progress does not end at 100");
  return std::move(sink.data);
}

}  // namespace kestrix::fuzz
