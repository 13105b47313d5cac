// Loggers of different intervals in one run: each file keeps its own dates,
// and every figure worked out of a column counts that column's own samples.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "error.hpp"
#include "excursions.hpp"
#include "gaps.hpp"
#include "periods.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "summary.hpp"
#include "table.hpp"

namespace kestrix {
namespace {

using testing::convertToText;
using testing::crlfLines;
using testing::LoggerFileBuilder;
using testing::runOf;
using testing::split;

// Interval codes.
constexpr int k30s = 6, k60s = 7, k600s = 8, k120s = 10;

LoggerFileBuilder temperature(int code, int hour, int minute, int second,
                              std::vector<std::int16_t> samples) {
  LoggerFileBuilder b;
  b.intervalCode(static_cast<std::int16_t>(code))
      .start(2014, 3, 5, hour, minute, second)
      .samples(std::move(samples));
  return b;
}

std::vector<std::int16_t> ramp(int n, int from = 0) {
  std::vector<std::int16_t> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(from + i * 7 % 301);
  return v;
}

TEST(Intervals, EachFileKeepsItsOwnDatesOnRowsOfTheCommonStep) {
  // 60 s from 10:00:00 beside 600 s from 10:02:00: a row a minute, the
  // second file's samples on rows 3, 13 and 23.
  const auto t =
      crlfLines(convertToText({temperature(k60s, 10, 0, 0, std::vector<std::int16_t>(25, 400)),
                               temperature(k600s, 10, 2, 0, {400, 408, 416})})
                    .text);
  ASSERT_EQ(t.size(), 4u + 25u);  // the last row holding a sample: the 60 s file's 25th
  EXPECT_EQ(t[4 + 0], "05/03/14 10:00:00\t25.0\t");
  EXPECT_EQ(t[4 + 2], "05/03/14 10:02:00\t25.0\t25.0");
  EXPECT_EQ(t[4 + 3], "05/03/14 10:03:00\t25.0\t");
  EXPECT_EQ(t[4 + 12], "05/03/14 10:12:00\t25.0\t25.5");
  EXPECT_EQ(t[4 + 22], "05/03/14 10:22:00\t25.0\t26.0");
  EXPECT_EQ(t[4 + 24], "05/03/14 10:24:00\t25.0\t");

  // Files of one interval keep one row per sample.
  const ConversionRun same =
      runOf({temperature(k600s, 10, 0, 0, {400, 400}), temperature(k600s, 10, 10, 0, {400, 400})});
  EXPECT_EQ(same.step, 600);
  EXPECT_EQ(same.totalRows, 3);
}

// Each file's column in a mixed run holds, on the rows of its samples,
// exactly what it holds converted alone ("overflow" margin and power rates at
// its own interval), and nothing on the rows between; the fast writer on two
// threads writes what the plain rule says.
TEST(Intervals, ColumnsOfAMixedRunAreTheFilesAloneSpreadOverTheirRows) {
  std::vector<LoggerFileBuilder> files;
  files.push_back(temperature(k30s, 10, 0, 0, ramp(700, 300)));
  // 65535 samples in 65536 slots at 60 s: only the margin of 2 minutes, one
  // sample, reads "overflow" (at 30 s it would be three).
  files.push_back(temperature(k60s, 10, 1, 0, ramp(65535, 200)));
  LoggerFileBuilder power = temperature(k600s, 10, 5, 0, ramp(40, 100));
  power.typeCode(4);  // rates by its own interval
  files.push_back(power);
  LoggerFileBuilder two = temperature(k120s, 10, 0, 30, ramp(2 * 300, 500));
  two.typeCode(3);  // two channels, between the rows of the step's stride
  files.push_back(two);

  const ConversionRun run = runOf(files);
  EXPECT_EQ(run.step, 30);
  const std::string table = convertToText(run).text;
  const auto lines = crlfLines(table);
  ASSERT_EQ(static_cast<std::int64_t>(lines.size()), 4 + run.totalRows);
  EXPECT_EQ(run.totalRows, 2 + 1 + 65534 * 2);

  TableOptions oneThread;
  oneThread.oneThread = true;
  EXPECT_EQ(convertToText(run, oneThread).text, table);
  const TableText plain(run, Regional{});
  for (std::int64_t r = 1; r <= run.totalRows; r += r < 3000 ? 1 : 97) {
    std::string row;
    plain.appendRow(r, row);
    ASSERT_EQ(row, lines[static_cast<std::size_t>(3 + r)]) << "row " << r;
  }

  std::size_t field = 1;  // the first of the column's fields in a row
  for (std::size_t j = 0; j < files.size(); ++j) {
    const auto alone = crlfLines(convertToText({files[j]}).text);
    const ColumnPlan& column = run.columns[j];
    const std::size_t width = column.twoChannels() ? 2 : 1;
    for (std::int64_t r = 1; r <= run.totalRows; r += r < 3000 ? 1 : 13) {
      const std::vector<std::string> cells = split(lines[static_cast<std::size_t>(3 + r)], "\t");
      const std::int64_t slot = column.slotAt(r);
      const std::int64_t p = slot > 0 ? column.file().position(slot) : 0;  // its row alone
      if (p == 1 && r != 1) continue;  // alone, its first row shows the first row's own texts
      for (std::size_t k = 0; k < width; ++k) {
        std::string expected;
        if (p >= 1 && p + 4 <= static_cast<std::int64_t>(alone.size()))
          expected = split(alone[static_cast<std::size_t>(3 + p)], "\t")[1 + k];
        ASSERT_EQ(cells[field + k], expected) << "file " << j + 1 << " row " << r;
      }
    }
    field += width;
  }
  // The 60 s file's first sample, on row 3, is its only "overflow".
  EXPECT_EQ(split(lines[4 + 2], "\t")[2], "overflow");
  EXPECT_NE(split(lines[4 + 4], "\t")[2], "overflow");
}

TEST(Intervals, FiguresCountEachColumnsOwnSamples) {
  // 600 s: 25.0, then three samples at 25.5 and 26.0, then 25.0, beside a 60 s file.
  const ConversionRun run = runOf({temperature(k60s, 10, 0, 0, std::vector<std::int16_t>(50, 400)),
                                   temperature(k600s, 10, 0, 0, {400, 408, 416, 408, 400})});
  const TableValues values(run);
  ASSERT_EQ(values.columnCount(), 2u);
  EXPECT_EQ(values.slotCount(1), 5);
  EXPECT_EQ(values.interval(1), 600);
  const RowRange all{1, values.rowCount()};

  // One excursion across the blank rows between its samples.
  LimitRule rule;
  rule.unit = "\u00B0C";
  rule.high = 25.2;
  const std::vector<ChannelCheck> checks = checkLimits(values, std::vector<LimitRule>{rule}, all);
  ASSERT_EQ(checks[1].excursions.size(), 1u);
  const Excursion& e = checks[1].excursions.front();
  EXPECT_EQ(e.firstRow, 11);  // 10:10:00
  EXPECT_EQ(e.lastRow(), 31);
  EXPECT_EQ(e.endRow(), 41);  // ended by the sample of 10:40:00
  EXPECT_EQ(e.peakRow, 21);
  EXPECT_EQ(checks[1].secondsAbove, 1800);
  EXPECT_TRUE(checks[0].excursions.empty());
  StringSink list;
  writeExcursions(checks, values, list, TextFormat{});
  EXPECT_NE(list.data.find("above\t05/03/14 10:10:00\t05/03/14 10:40:00\t0:30:00\t26.0\t05/03/14 "
                           "10:20:00\tyes\t\r\n"),
            std::string::npos)
      << list.data;

  // The summary: five values, none missing, dates of the samples.
  const std::vector<ColumnSummary> summary = summarize(values);
  EXPECT_EQ(summary[1].values, 5);
  EXPECT_EQ(summary[1].missing, 0);
  EXPECT_EQ(summary[1].lastRow, 41);
  EXPECT_EQ(summary[1].maxRow, 21);
  EXPECT_TRUE(findGaps(values, all).empty());

  // A period counts the channel's own slots and its time outside at its interval.
  const PeriodTable periods = makePeriodTable(values, all, PeriodKind::Day, &checks);
  ASSERT_EQ(periods.periods.size(), 1u);
  EXPECT_EQ(periods.line(0, 0).rows, 50);
  EXPECT_EQ(periods.line(1, 0).rows, 5);
  EXPECT_EQ(periods.line(1, 0).secondsAbove, 1800);
  // A window of rows 15 to 35 holds its samples of 10:20 and 10:30 alone.
  EXPECT_EQ(makePeriodTable(values, {15, 35}, PeriodKind::Day, nullptr).line(1, 0).rows, 2);
  EXPECT_EQ(summarize(values, {15, 35})[1].values, 2);
}

TEST(Intervals, JoinedDownloadsKeepTheirDates) {
  LoggerFileBuilder first = temperature(k600s, 10, 0, 0, {400, 408, 416});
  LoggerFileBuilder second = temperature(k600s, 10, 0, 0, {400, 408, 416, 424});
  first.loggerId(7);
  second.loggerId(7);
  std::vector<LoggerFile> files;
  files.push_back(readLoggerFile("UC001.PDB", first.build()));
  files.push_back(readLoggerFile("UC002.PDB", second.build()));
  files.push_back(readLoggerFile(
      "UC003.PDB", temperature(k60s, 9, 59, 0, std::vector<std::int16_t>(5, 400)).build()));
  const ConversionRun run = makeRun(std::move(files), {}, true);
  ASSERT_EQ(run.columns.size(), 2u);
  const auto t = crlfLines(convertToText(run).text);
  ASSERT_EQ(t.size(), 4u + 32u);  // 09:59 to 10:30
  EXPECT_EQ(t[4 + 1], "05/03/14 10:00:00\t25.0\t25.0");
  EXPECT_EQ(t[4 + 2], "05/03/14 10:01:00\t\t25.0");
  EXPECT_EQ(t[4 + 31], "05/03/14 10:30:00\t26.5\t");
}

TEST(Intervals, AStepTooFineForTheTableIsRefused) {
  std::vector<LoggerFile> files;
  files.push_back(readLoggerFile("UC001.PDB", temperature(k30s, 10, 0, 0, {400}).build()));
  files.push_back(readLoggerFile(
      "UC002.PDB", temperature(k600s, 10, 0, 0, std::vector<std::int16_t>(100, 400)).build()));
  Limits limits;
  limits.maxRows = 1000;
  try {
    makeRun(std::move(files), limits);
    FAIL() << "not refused";
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()),
              "UC002.PDB: sampling every 600 s beside UC001.PDB every 30 s, the table would need "
              "1981 rows, one every 30 s, more than 1000; convert files of different intervals "
              "in separate runs");
  }
}

}  // namespace
}  // namespace kestrix
