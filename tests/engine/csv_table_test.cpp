// The table as CSV: its column names, its quoting, and every field against
// the tab-separated table's.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>
#include <set>

#include "csv_table.hpp"
#include "sinks.hpp"
#include "table.hpp"

namespace kestrix {
namespace {

using testing::convertToText;
using testing::crlfLines;
using testing::LoggerFileBuilder;
using testing::runOf;
using testing::split;

LoggerFileBuilder logger(std::string_view title, std::uint32_t id, std::uint8_t type) {
  LoggerFileBuilder b;
  b.name(title).loggerId(id).typeCode(type).start(2026, 12, 31, 23, 58, 0).samples({400, 401});
  return b;
}

std::string csvOf(const ConversionRun& run, TableOptions options = {}) {
  StringSink sink;
  EXPECT_EQ(writeCsv(run, sink, options), "Done...");
  return sink.data;
}

TEST(CsvTable, ColumnNamesAreUniqueQuotedWhereNeededAndInUtf8) {
  const ConversionRun run = runOf({
      logger("K\xFChlraum", 0xA1, 1),      // Windows-1252 in the file
      logger("K\xFChlraum", 0xB2, 1),      // same name: both get their identity
      logger("Hall, \"north\"", 0xC3, 3),  // a comma and quotes; two channels
      logger("Hall, \"north\"", 0xC3, 3),  // the same logger twice: numbered
      logger("", 0xD4, 2),                 // no title
  });
  EXPECT_EQ(csvColumnNames(run), (std::vector<std::string>{
                                     "K\xC3\xBChlraum Ulmacorder Temp (\xC2\xB0"
                                     "C) [000000A1]",
                                     "K\xC3\xBChlraum Ulmacorder Temp (\xC2\xB0"
                                     "C) [000000B2]",
                                     "Hall, \"north\" Ulmacorder Temp (\xC2\xB0"
                                     "C) [000000C3]",
                                     "Hall, \"north\" Humidity (%RH) [000000C3]",
                                     "Hall, \"north\" Ulmacorder Temp (\xC2\xB0"
                                     "C) [000000C3] #2",
                                     "Hall, \"north\" Humidity (%RH) [000000C3] #2",
                                     "Ulmacorder Impulse (Pulses)",
                                 }));
  const std::string csv = csvOf(run);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "time,K\xC3\xBChlraum Ulmacorder Temp (\xC2\xB0"
            "C) [000000A1],"
            "K\xC3\xBChlraum Ulmacorder Temp (\xC2\xB0"
            "C) [000000B2],"
            "\"Hall, \"\"north\"\" Ulmacorder Temp (\xC2\xB0"
            "C) [000000C3]\","
            "\"Hall, \"\"north\"\" Humidity (%RH) [000000C3]\","
            "\"Hall, \"\"north\"\" Ulmacorder Temp (\xC2\xB0"
            "C) [000000C3] #2\","
            "\"Hall, \"\"north\"\" Humidity (%RH) [000000C3] #2\","
            "Ulmacorder Impulse (Pulses)");

  std::string field;
  appendCsvField("two\r\nlines", field);
  EXPECT_EQ(field, "\"two\r\nlines\"");
}

TEST(CsvTable, FieldsAreTheTablesNumbersAndEmptyWhereItHoldsNone) {
  // A wattmeter's first row reads "-", the wrapped humidity logger's early
  // rows "overflow", and the late one's rows before its start are blank.
  LoggerFileBuilder watts = logger("Power", 1, 7);
  watts.start(2026, 12, 31, 23, 0, 0).factorParam(2300);
  watts.samples(std::vector<std::int16_t>(2 * 200, 30));
  LoggerFileBuilder humid = logger("Cellar", 2, 3);
  humid.start(2026, 12, 31, 23, 0, 0)
      .memoryCode(0)
      .wrappedMemory(65536, 2 * 32900, [](std::int64_t serial) {
        return static_cast<std::int16_t>(serial % 2 ? 1200 + serial % 300 : 4000 + serial % 900);
      });
  LoggerFileBuilder late = logger("Late", 3, 1);
  late.start(2027, 1, 1, 0, 0, 0).samples({-17, 0, 1601});
  const ConversionRun run = runOf({watts, humid, late});

  TableOptions options;
  options.utcOffsetMinutes = 330;
  const std::vector<std::string> csv = crlfLines(csvOf(run, options));
  const std::vector<std::string> table = crlfLines(convertToText(run).text);
  ASSERT_EQ(csv.size(), table.size() - 3);
  EXPECT_EQ(csv[0].find('\xEF'), std::string::npos);  // no byte-order mark
  std::set<std::string> emptied;
  for (std::size_t line = 1; line < csv.size(); ++line) {
    const std::vector<std::string> got = split(csv[line], ",");
    const std::vector<std::string> cells = split(table[line + 3], "\t");
    ASSERT_EQ(got.size(), 6u);
    ASSERT_EQ(got.size(), cells.size()) << "row " << line;
    std::string date;
    appendIsoDate(run.rowDate(static_cast<std::int64_t>(line)), 'T', 330, date);
    ASSERT_EQ(got[0], date);
    for (std::size_t c = 1; c < cells.size(); ++c) {
      const bool number = !cells[c].empty() && cells[c] != "-" && cells[c] != "overflow";
      ASSERT_EQ(got[c], number ? cells[c] : "") << "row " << line << " column " << c;
      if (!number) emptied.insert(cells[c]);
    }
  }
  EXPECT_EQ(emptied, (std::set<std::string>{"", "-", "overflow"}));
  EXPECT_EQ(csv[1].substr(0, 26), "2026-12-31T23:00:00+05:30,");
  EXPECT_EQ(csv[61].substr(0, 26), "2027-01-01T00:00:00+05:30,");
}

}  // namespace
}  // namespace kestrix
