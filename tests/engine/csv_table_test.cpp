// The table as CSV: its column names and its quoting (its fields against the
// table's: tests/cli/dates_cli_test.cpp and the fuzz entry).
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "csv_table.hpp"
#include "sink.hpp"
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

}  // namespace
}  // namespace kestrix
