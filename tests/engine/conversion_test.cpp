// Whole conversions on built files, checked against tables worked out by hand.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "error.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

using kestrix::ConversionError;
using kestrix::ErrorKind;
using kestrix::testing::convertToText;
using kestrix::testing::crlfLines;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::runOf;
using kestrix::testing::WrittenTable;

namespace {

std::vector<std::int16_t> constant(int n, std::int16_t v) {
  return std::vector<std::int16_t>(n, v);
}

// Where each file's first sample falls: rows after row 1.
std::vector<std::int64_t> offsets(const kestrix::ConversionRun& run) {
  std::vector<std::int64_t> out;
  for (const kestrix::ColumnPlan& column : run.columns)
    out.push_back(column.tableRow(column.file().offset + 1) - 1);
  return out;
}

LoggerFileBuilder startingAt(int hour, int minute, int second, int samples) {
  LoggerFileBuilder b;
  b.start(2014, 3, 5, hour, minute, second).samples(constant(samples, 16));
  return b;
}

}  // namespace

TEST(Conversion, ThreeSampleFileGivesSevenLines) {
  LoggerFileBuilder b;
  b.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
  b.samples({400, -8, 4});
  const WrittenTable out = convertToText({b});
  EXPECT_EQ(out.text,
            "Fichier\tRoom 1\r\n"
            "\t00001A2B\r\n"
            "\tUlmacorder Temp\r\n"
            "Date\t\xB0"
            "C\r\n"
            "05/03/14 07:30:00\t25.0\r\n"
            "05/03/14 07:31:00\t-0.5\r\n"
            "05/03/14 07:32:00\t0.3\r\n");
  EXPECT_EQ(out.progress, (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(out.status, "Done...");
}

TEST(Conversion, TwoChannelFilesTakeTwoColumnsAndBlankPairs) {
  LoggerFileBuilder one = startingAt(10, 0, 0, 2);
  one.name("A").loggerId(0xFFFFFFFF);
  LoggerFileBuilder two;
  two.name("B").loggerId(0).typeCode(3).start(2014, 3, 5, 10, 1, 0).samples({6460, 1000});
  const auto t = crlfLines(convertToText({one, two}).text);
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0], "Fichier\tA\tB\tB");
  EXPECT_EQ(t[1], "\tFFFFFFFF\t00000000\t00000000");
  EXPECT_EQ(t[2], "\tUlmacorder Temp\tUlmacorder Temp\tHumidity");
  EXPECT_EQ(t[3],
            "Date\t\xB0"
            "C\t\xB0"
            "C\t%RH");
  EXPECT_EQ(t[4], "05/03/14 10:00:00\t1.0\t\t");
  EXPECT_EQ(t[5], "05/03/14 10:01:00\t1.0\t25.0\t33.7");
}

TEST(Conversion, TimeAxisOffsetsRoundHalfToEven) {
  // 10:00:00, 10:00:00 and 09:59:00 at 60 s: offsets 1, 1 and 0.
  auto run = runOf({startingAt(10, 0, 0, 3), startingAt(10, 0, 0, 3), startingAt(9, 59, 0, 3)});
  EXPECT_EQ(offsets(run), (std::vector<std::int64_t>{1, 1, 0}));
  EXPECT_EQ(run.totalRows, 4);

  // At 30 s: 45 s is 1.5 steps -> 2, 15 s is 0.5 -> 0, 75 s is 2.5 -> 2.
  auto at30 = [](int second) { return startingAt(10, 0, second, 1).intervalCode(6); };
  auto late = at30(0);
  late.start(2014, 3, 5, 10, 1, 15);
  run = runOf({at30(0), at30(45), at30(15), late});
  EXPECT_EQ(offsets(run), (std::vector<std::int64_t>{0, 2, 0, 2}));

  // Rows step by the greatest common divisor of the intervals: each file
  // keeps its own dates.
  run = runOf({startingAt(10, 0, 0, 5), startingAt(10, 1, 0, 5).intervalCode(3)});
  EXPECT_EQ(run.step, 10);
  EXPECT_TRUE(run.intervalsDiffer());
  EXPECT_EQ(offsets(run)[1], 6);
}

TEST(Conversion, RowDatesAdvanceExactlyAcrossDaysAndYears) {
  LoggerFileBuilder b;
  b.start(2016, 12, 31, 23, 58, 0).intervalCode(7).samples(constant(4, 16));
  const auto t = crlfLines(convertToText({b}).text);
  EXPECT_EQ(t[4].substr(0, 17), "31/12/16 23:58:00");
  EXPECT_EQ(t[6].substr(0, 17), "01/01/17 00:00:00");
  kestrix::TableOptions comma;
  comma.regional = {",", ".", "-"};
  const auto c = crlfLines(convertToText({b}, comma).text);
  EXPECT_EQ(c[4], "31.12.16 23-58-00\t1,0");
}

TEST(Conversion, GapRowsAreWrittenBlankAndTheTableGoesOn) {
  // A in rows 1 to 3, B in rows 6 to 7: rows 4 and 5 are blank, B still shows.
  const auto t = crlfLines(convertToText({startingAt(10, 0, 0, 3), startingAt(10, 5, 0, 2)}).text);
  ASSERT_EQ(t.size(), 4u + 7u);
  EXPECT_EQ(t[7], "05/03/14 10:03:00\t\t");
  EXPECT_EQ(t[8], "05/03/14 10:04:00\t\t");
  EXPECT_EQ(t[9], "05/03/14 10:05:00\t\t1.0");
}

TEST(Conversion, OverflowMarksLostSamplesPlusMargin) {
  // 70000 samples in 65536 slots at 60 s: rows 1 to 4466 read "overflow".
  LoggerFileBuilder b;
  b.wrappedMemory(65536, 70000, [](std::int64_t serial) { return serial % 1000; });
  const auto t = crlfLines(convertToText({b}).text);
  ASSERT_EQ(t.size(), 4u + 70000u);
  EXPECT_EQ(t[4].substr(18), "overflow");
  EXPECT_EQ(t[4 + 4465].substr(18), "overflow");
  // Row 4467 holds serial 4466: 4466 % 1000 / 16 = 29.125.
  EXPECT_EQ(t[4 + 4466].substr(18), "29.1");

  // Never wrapped, but at 1 s the margin of 120 still marks rows 1 to 84.
  LoggerFileBuilder fast;
  fast.intervalCode(0).samples(constant(65500, 16));
  const auto f = crlfLines(convertToText({fast}).text);
  EXPECT_EQ(f[4 + 83].substr(18), "overflow");
  EXPECT_EQ(f[4 + 84].substr(18), "1.0");
  // At 180 s and more nothing is marked.
  fast.intervalCode(11);
  EXPECT_EQ(crlfLines(convertToText({fast}).text)[4].substr(18), "1.0");
}

TEST(Conversion, OverflowStretchesStayWithinTheFile) {
  using kestrix::RowShows;
  kestrix::LoggerFile f;
  f.sampleCount = 50;
  f.memorySize = 40;  // 10 samples lost, and 2 more at 60 s
  // Positions 1 to 50 on rows 6 to 55.
  f.interval = 60;
  kestrix::FilePlan plan = kestrix::planFile(f, 0, 5);
  EXPECT_EQ(plan.shows(5, false), RowShows::Nothing);
  EXPECT_EQ(plan.shows(6, false), RowShows::Overflow);
  EXPECT_EQ(plan.shows(17, false), RowShows::Overflow);
  EXPECT_EQ(plan.shows(18, false), RowShows::Nothing);  // no sample stored
  EXPECT_EQ(plan.withoutMargin.overflow.last, 15);      // the lost samples alone
  // At 1 s the margin of 120 covers the whole file, and nothing past it.
  f.interval = 1;
  plan = kestrix::planFile(f, 0, 5);
  EXPECT_EQ(plan.shows(55, false), RowShows::Overflow);
  EXPECT_EQ(plan.shows(56, false), RowShows::Nothing);
  // A memory far from full: nothing.
  f.memorySize = 65536;
  EXPECT_TRUE(kestrix::planFile(f, 0, 5).withoutMargin.overflow.empty());
  EXPECT_EQ(kestrix::planFile(f, 0, 5).shows(6, true), RowShows::Nothing);
}

TEST(Conversion, FirstRowTextsOnlyOnTheTablesFirstRow) {
  LoggerFileBuilder pulses;
  pulses.typeCode(2).samples({-1, -1});
  LoggerFileBuilder watts;
  watts.typeCode(4).start(2014, 3, 5, 7, 31, 0).samples({1234});
  LoggerFileBuilder meter;
  meter.typeCode(7).factorParam(100).samples({1234, 1150, 1234, 1150});
  const auto t = crlfLines(convertToText({pulses, watts, meter}).text);
  EXPECT_EQ(t[4], "05/03/14 07:30:00\t0\t\t-\t-");
  EXPECT_EQ(t[5], "05/03/14 07:31:00\t-1\t131.6\t131.6\t4.0");
}

TEST(Conversion, UnknownTypeShowsRawSample) {
  LoggerFileBuilder b;
  b.typeCode(0).samples({-300, 7});
  const auto t = crlfLines(convertToText({b}).text);
  EXPECT_EQ(t[2], "\tUnknown data type");
  EXPECT_EQ(t[3], "Date\t?");
  EXPECT_EQ(t[4].substr(18), "-300");
  EXPECT_EQ(t[5].substr(18), "7");
}

TEST(Conversion, FilesWithoutSamplesGiveHeaderOnly) {
  LoggerFileBuilder empty;
  empty.samples({});
  const WrittenTable out = convertToText({empty});
  EXPECT_EQ(crlfLines(out.text).size(), 4u);
  EXPECT_TRUE(out.progress.empty());
  LoggerFileBuilder negative;
  negative.byteCount(-20);
  EXPECT_EQ(crlfLines(convertToText({negative}).text).size(), 4u);
}

TEST(Conversion, InconsistentFilesAreReportedAndHaveBlankCells) {
  LoggerFileBuilder cut;
  cut.samples(constant(10, 16)).sampleCount(12);
  const WrittenTable out = convertToText({cut});
  EXPECT_EQ(out.status, "Done... inconsistent file(s)");
  const auto t = crlfLines(out.text);
  ASSERT_EQ(t.size(), 16u);
  EXPECT_EQ(t[13], "05/03/14 07:39:00\t1.0");
  EXPECT_EQ(t[14], "05/03/14 07:40:00\t");
}

TEST(Conversion, Utf8Encoding) {
  LoggerFileBuilder b;
  b.name("K\xFChlraum").samples({16});
  kestrix::TableOptions options;
  options.encoding = kestrix::Encoding::Utf8;
  const WrittenTable out = convertToText({b}, options);
  EXPECT_EQ(crlfLines(out.text)[0], "Fichier\tK\xC3\xBChlraum");
  EXPECT_EQ(crlfLines(out.text)[3],
            "Date\t\xC2\xB0"
            "C");
}

TEST(Conversion, RefusedRuns) {
  auto kindOf = [](const std::vector<LoggerFileBuilder>& builders) {
    try {
      runOf(builders);
    } catch (const ConversionError& e) {
      return e.kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::NoFiles;
  };
  EXPECT_EQ(kindOf({}), ErrorKind::NoFiles);
  EXPECT_EQ(kindOf(std::vector<LoggerFileBuilder>(102, startingAt(1, 0, 0, 1))),
            ErrorKind::TooManyFiles);

  // 165 years apart at 1 s: more steps than 32 bits hold.
  LoggerFileBuilder early, late;
  early.intervalCode(0).startBytes({0x00, 0x01, 0x01, 0, 0, 0}).samples({1});
  late.intervalCode(0).startBytes({0xFF, 0x01, 0x01, 0, 0, 0}).samples({1});
  EXPECT_EQ(kindOf({early, late}), ErrorKind::OffsetOutOfRange);

  // The limits are the caller's to tighten.
  kestrix::Limits tight;
  tight.maxFiles = 2;
  tight.maxRows = 4;
  auto refusal = [&](int files, int samples) -> std::string {
    std::vector<kestrix::LoggerFile> read;
    for (int i = 0; i < files; ++i) {
      const std::vector<std::uint8_t> bytes = startingAt(1, 0, 0, samples).build();
      read.push_back(kestrix::readLoggerFile("UC00" + std::to_string(i + 1) + ".PDB", bytes));
    }
    try {
      kestrix::makeRun(std::move(read), tight);
    } catch (const ConversionError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(refusal(2, 4), "no error");
  EXPECT_EQ(refusal(3, 1),
            "3 files given; one table takes at most 2, or 10000 when joining the downloads of "
            "each logger");
  EXPECT_EQ(refusal(1, 5),
            "UC001.PDB: the table would have 5 rows, more than 4: its sample count 5 cannot be "
            "right");

  // A lying sample count on a far later start makes the table too long.
  LoggerFileBuilder later = startingAt(1, 0, 0, 1);
  later.start(2015, 3, 5, 1, 0, 0).intervalCode(0);
  try {
    runOf({startingAt(1, 0, 0, 1).intervalCode(0), later});
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::TooManyRows);
    EXPECT_EQ(e.file(), "UC002.PDB");
  }
}
