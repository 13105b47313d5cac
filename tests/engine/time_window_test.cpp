// The time window: its dates as the command line gives them, the rows it
// holds, and the table written over it.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "dates.hpp"
#include "table.hpp"
#include "time_window.hpp"

namespace kestrix {
namespace {

using testing::convertToText;
using testing::crlfLines;
using testing::LoggerFileBuilder;
using testing::runOf;

std::int64_t secondsOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return toSeconds(CivilTime{y, mo, d, h, mi, s});
}

TEST(TimeWindow, ReadsTheThreeDateFormsAndNothingElse) {
  EXPECT_EQ(parseWindowDate("2026-12-01"), secondsOf(2026, 12, 1));
  EXPECT_EQ(parseWindowDate("2026-12-01 09:30"), secondsOf(2026, 12, 1, 9, 30));
  EXPECT_EQ(parseWindowDate("2026-12-01T09:30:15"), secondsOf(2026, 12, 1, 9, 30, 15));
  EXPECT_EQ(parseWindowDate("2028-02-29 23:59:59"), secondsOf(2028, 2, 29, 23, 59, 59));
  for (const char* wrong :
       {"", "2026-12-1", "01/12/2026", "2026-12-01 9:30", "2026-12-01 09:30:", "2026-12-01  09:30",
        "2026-12-01x09:30", "2026-12-01 09:30:15Z", "2026-12-01 09:30:15+01:00", "2026-02-29",
        "2026-13-01", "2026-12-01 24:00", "2026-12-01 09:60", "+026-12-01", "2026-12-01 09:30:1"}) {
    EXPECT_FALSE(parseWindowDate(wrong)) << wrong;
  }
}

// Ten rows ten minutes apart from 31/12/26 23:00: rows 1 to 10.
ConversionRun tenRows() {
  LoggerFileBuilder b;
  b.start(2026, 12, 31, 23, 0, 0).intervalCode(8).samples({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  return runOf({b});
}

using Rows = std::pair<std::int64_t, std::int64_t>;

TEST(TimeWindow, HoldsTheRowsFromItsStartUpToItsEnd) {
  const ConversionRun run = tenRows();
  const auto rows = [&run](std::optional<std::int64_t> from, std::optional<std::int64_t> to) {
    const RowRange r = rowsInWindow(run, TimeWindow{from, to});
    return Rows(r.first, r.last);
  };
  const std::int64_t row3 = secondsOf(2026, 12, 31, 23, 20);
  EXPECT_EQ(rows({}, {}), Rows(1, 10));
  EXPECT_EQ(rows(row3, {}), Rows(3, 10));  // at a row: included
  EXPECT_EQ(rows({}, row3), Rows(1, 2));   // at a row: excluded
  EXPECT_EQ(rows(row3 + 1, row3 + 601), Rows(4, 4));
  // Between two rows, before the run and after it: no row.
  EXPECT_TRUE(rowsInWindow(run, TimeWindow{row3 + 1, row3 + 599}).empty());
  EXPECT_TRUE(rowsInWindow(run, TimeWindow{{}, secondsOf(2026, 12, 31, 23)}).empty());
  EXPECT_TRUE(rowsInWindow(run, TimeWindow{secondsOf(2027, 1, 1, 0, 31), {}}).empty());
  EXPECT_EQ(rows(secondsOf(2020, 1, 1), secondsOf(2030, 1, 1)), Rows(1, 10));
}

TEST(TimeWindow, TableIsTheFullTablesHeaderAndRowsInTheWindow) {
  // A wattmeter's first row reads "-": it stays so when the window starts there.
  LoggerFileBuilder watts;
  watts.typeCode(4)
      .start(2026, 12, 31, 23, 0, 0)
      .intervalCode(8)
      .samples({5, 6, 7, 8, 9, 10, 11, 12});
  LoggerFileBuilder pulses;
  pulses.typeCode(2).start(2026, 12, 31, 23, 20, 0).intervalCode(8).samples({1, 2, 3});
  const ConversionRun run = runOf({watts, pulses});
  const std::vector<std::string> full = crlfLines(convertToText(run).text);
  ASSERT_EQ(full.size(), 4u + 8u);
  ASSERT_EQ(full[4], "31/12/26 23:00:00\t-\t");

  for (const auto& [first, last] : {Rows{1, 8}, {1, 1}, {2, 4}, {3, 3}, {4, 8}, {9, 8}}) {
    TableOptions options;
    options.rows = RowRange{first, last};
    const testing::WrittenTable table = convertToText(run, options);
    std::vector<std::string> expected(full.begin(), full.begin() + 4);
    for (std::int64_t r = first; r <= last; ++r) expected.push_back(full[3 + r]);
    EXPECT_EQ(crlfLines(table.text), expected) << first << " to " << last;
    if (first <= last) {
      EXPECT_EQ(table.progress.back(), 100);
    } else {
      EXPECT_TRUE(table.progress.empty());
    }
  }

  // ISO dates across the year's end, the cells as they were.
  TableOptions iso;
  iso.dates = DateStyle::Iso;
  iso.utcOffsetMinutes = 0;
  iso.rows = RowRange{7, 7};
  ASSERT_EQ(full[10].substr(0, 17), "01/01/27 00:00:00");
  EXPECT_EQ(crlfLines(convertToText(run, iso).text).back(),
            "2027-01-01 00:00:00Z" + full[10].substr(17));
}

}  // namespace
}  // namespace kestrix
