// Downloads of one logger joined into one column: the grouping, the joined
// cells as the rule, the row writer and the values read them, the counts.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "error.hpp"
#include "gaps.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

using kestrix::ConversionError;
using kestrix::ConversionRun;
using kestrix::JoinCounts;
using kestrix::Limits;
using kestrix::testing::crlfLines;
using kestrix::testing::fileNameOf;
using kestrix::testing::LoggerFileBuilder;

namespace {

// A download of logger 0x77 (type 8: cells are the raw samples) started at
// 10:mm on 5 January 2026, sampling every minute.
LoggerFileBuilder download(int minute, std::vector<std::int16_t> samples) {
  LoggerFileBuilder b;
  b.name("Cold room").loggerId(0x77).typeCode(8).intervalCode(7);
  b.start(2026, 1, 5, 10, minute, 0).samples(std::move(samples));
  return b;
}

std::vector<kestrix::LoggerFile> readAll(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<kestrix::LoggerFile> files;
  for (const LoggerFileBuilder& b : builders) {
    files.push_back(
        kestrix::readLoggerFile(fileNameOf(static_cast<int>(files.size()) + 1), b.build()));
  }
  return files;
}

ConversionRun joined(const std::vector<LoggerFileBuilder>& builders, const Limits& limits = {}) {
  return kestrix::makeRun(readAll(builders), limits, true);
}

// The table's lines as the row writer writes them, after checking that the
// rule (TableText) gives the same rows and the values the same cells.
std::vector<std::string> tableLines(const ConversionRun& run, bool includeOverflowed = false) {
  kestrix::TableOptions options;
  options.includeOverflowed = includeOverflowed;
  const std::vector<std::string> lines =
      crlfLines(kestrix::testing::convertToText(run, options).text);
  const kestrix::TableText rule(run, kestrix::Regional{}, includeOverflowed);
  const kestrix::TableValues values(run, includeOverflowed);
  for (std::int64_t r = 1; r <= run.totalRows; ++r) {
    std::string row;
    rule.appendRow(r, row);
    EXPECT_EQ(lines.at(static_cast<std::size_t>(r + 3)), row) << "row " << r;
    std::string fromValues;
    for (std::size_t c = 0; c < values.columnCount(); ++c) {
      const kestrix::CellValue cell = values.cell(c, r);
      fromValues += '\t';
      kestrix::appendCellValueText(cell, values.column(c).decimals, ".", fromValues);
      kestrix::CellValue bulk;
      values.cells(c, r, 1, &bulk);
      EXPECT_EQ(bulk, cell) << "row " << r;
    }
    EXPECT_EQ(row.substr(row.find('\t')), fromValues) << "row " << r;
  }
  return lines;
}

// Rows' cells after the date.
std::vector<std::string> cells(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (std::size_t i = 4; i < lines.size(); ++i) out.push_back(lines[i].substr(18));
  return out;
}

void expectCounts(const JoinCounts& counts, std::int64_t values, std::int64_t overlapping,
                  std::int64_t conflicting, std::int64_t firstConflict) {
  EXPECT_EQ(counts.rowsWithValues, values);
  EXPECT_EQ(counts.overlapping, overlapping);
  EXPECT_EQ(counts.conflicting, conflicting);
  EXPECT_EQ(counts.firstConflict, firstConflict);
}

}  // namespace

TEST(JoinedDownloads, AgreeingDownloadsMakeOneContinuousColumn) {
  LoggerFileBuilder later = download(3, {4, 5, 6, 7});
  later.name("Cold room B");
  const ConversionRun run = joined({download(0, {1, 2, 3, 4, 5}), later});
  ASSERT_EQ(run.columns.size(), 1u);
  const auto lines = tableLines(run);
  EXPECT_EQ(lines[0], "Fichier\tCold room B");  // the newest file names the column
  EXPECT_EQ(lines[1], "\t00000077");
  EXPECT_EQ(cells(lines), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
  expectCounts(run.columns[0].counts(false), 7, 2, 0, 0);
  EXPECT_TRUE(run.keptApart.empty());
}

TEST(JoinedDownloads, ConflictsShowTheNewestFileAndAreCounted) {
  // Given first, the newer file still wins: its last sample is later.
  const ConversionRun run = joined({download(2, {30, 40, 50, 60}), download(0, {1, 2, 3, 4, 5})});
  const auto lines = tableLines(run);
  EXPECT_EQ(cells(lines), (std::vector<std::string>{"1", "2", "30", "40", "50", "60"}));
  expectCounts(run.columns[0].counts(false), 6, 3, 3, 3);
  EXPECT_EQ(run.columns[0].file().file, 0u);

  // Ending together, the file given later wins; rows that agree are no conflict.
  const ConversionRun tie = joined({download(0, {1, 2, 9}), download(1, {2, 3})});
  EXPECT_EQ(cells(tableLines(tie)), (std::vector<std::string>{"1", "2", "3"}));
  expectCounts(tie.columns[0].counts(false), 3, 2, 1, 3);
}

TEST(JoinedDownloads, AnOlderDownloadFillsTheNewerOnesOverflowRows) {
  // A logger never reset: each download holds everything since the launch
  // that its 65,536-sample memory still holds.
  auto serial = [](std::int64_t n) { return n % 1000; };
  LoggerFileBuilder older = download(0, {});
  older.wrappedMemory(65536, 60000, serial);
  LoggerFileBuilder newer = download(0, {});
  newer.wrappedMemory(65536, 70000, serial);
  const ConversionRun run = joined({older, newer});
  ASSERT_EQ(run.totalRows, 70000);

  const auto alone = cells(tableLines(kestrix::makeRun(readAll({newer}))));
  EXPECT_EQ(alone[0], "overflow");
  EXPECT_EQ(alone[4465], "overflow");  // 4,464 lost and two minutes of margin
  const auto lines = cells(tableLines(run));
  for (const std::size_t row : {0u, 4465u, 4466u, 59999u, 60000u, 69999u}) {
    EXPECT_EQ(lines[row], std::to_string(row % 1000)) << "row " << row + 1;
  }
  expectCounts(run.columns[0].counts(false), 70000, 60000 - 4466, 0, 0);
  // Without the margin the newer file shows two more rows itself.
  expectCounts(run.columns[0].counts(true), 70000, 60000 - 4464, 0, 0);
  EXPECT_EQ(cells(tableLines(run, true)), lines);
}

TEST(JoinedDownloads, ADownloadGivenTwiceGivesItsOwnTable) {
  LoggerFileBuilder b = download(0, {});
  b.wrappedMemory(65536, 66000, [](std::int64_t n) { return n % 77; });
  const ConversionRun twice = joined({b, b});
  const ConversionRun once = kestrix::makeRun(readAll({b}));
  EXPECT_EQ(kestrix::testing::convertToText(twice).text,
            kestrix::testing::convertToText(once).text);
  expectCounts(twice.columns[0].counts(false), 66000 - 466, 66000 - 466, 0, 0);
}

TEST(JoinedDownloads, ASampleTheFileLacksIsFilledOrLeftBlank) {
  // The second download's file ends inside its samples: an older download
  // fills what it still holds, and past that the cells stay blank.
  LoggerFileBuilder cut = download(0, std::vector<std::int16_t>(3000, 7));
  cut.sampleRecordCount(2);  // samples 2049 to 3000 lost
  const ConversionRun run = joined({download(0, std::vector<std::int16_t>(2500, 7)), cut});
  const auto lines = cells(tableLines(run));
  EXPECT_EQ(lines[2499], "7");
  EXPECT_EQ(lines[2500], "");
  expectCounts(run.columns[0].counts(false), 2500, 2048, 0, 0);
}

TEST(JoinedDownloads, RelaunchesAreKeptApartWithTheirReason) {
  LoggerFileBuilder otherType = download(0, {1});
  otherType.typeCode(2);
  LoggerFileBuilder calibrated = download(0, {1});
  calibrated.typeCode(8).offsetParam(5);
  LoggerFileBuilder slower = download(0, {1});
  slower.intervalCode(8);
  LoggerFileBuilder offGrid = download(0, {1});
  offGrid.start(2026, 1, 5, 10, 0, 30);
  LoggerFileBuilder otherLogger = download(0, {1});
  otherLogger.loggerId(0x78);
  const ConversionRun run = joined(
      {download(0, {1}), otherType, otherLogger, calibrated, slower, offGrid, download(5, {1})});
  ASSERT_EQ(run.columns.size(), 6u);
  EXPECT_EQ(run.columns[0].files.size(), 2u);  // the first and the last file
  EXPECT_EQ(run.columns[2].file().file, 2u);   // groups in the order of their first file
  ASSERT_EQ(run.keptApart.size(), 4u);
  EXPECT_EQ(run.keptApart[0].file, 1u);
  EXPECT_EQ(run.keptApart[0].other, 0u);
  EXPECT_EQ(run.keptApart[0].reason, "it is of type 2, the other of type 8");
  EXPECT_EQ(run.keptApart[1].reason,
            "its calibration (offset 5, factor 0) differs from the other's (offset 0, factor 0)");
  EXPECT_EQ(run.keptApart[2].reason, "it samples every 600 s, the other every 60 s");
  EXPECT_EQ(run.keptApart[3].reason, "its start lies 30 s off the other's 60 s sampling grid");
}

TEST(JoinedDownloads, TwoChannelDownloadsJoinInPairs) {
  auto pairs = [](int minute, std::vector<std::int16_t> slots) {
    LoggerFileBuilder b = download(minute, std::move(slots));
    b.typeCode(6);  // two channels, each raw / 8
    return b;
  };
  // Row 2 differs in the second channel only: a conflict.
  const ConversionRun run = joined({pairs(0, {8, 16, 16, 32}), pairs(1, {16, 40, 24, 48})});
  const auto lines = tableLines(run);
  EXPECT_EQ(lines[0], "Fichier\tCold room\tCold room");
  EXPECT_EQ(cells(lines), (std::vector<std::string>{"1.0\t2.0", "2.0\t5.0", "3.0\t6.0"}));
  expectCounts(run.columns[0].counts(false), 3, 1, 1, 2);
}

TEST(JoinedDownloads, TheFirstRowTextsApplyToTheJoinedColumn) {
  LoggerFileBuilder first = download(0, {5, 6});
  first.typeCode(2);  // row 1 reads "0"
  LoggerFileBuilder second = download(1, {6, 7});
  second.typeCode(2);
  EXPECT_EQ(cells(tableLines(joined({second, first}))), (std::vector<std::string>{"0", "6", "7"}));
}

TEST(JoinedDownloads, TheLimitsOnFilesAndColumns) {
  EXPECT_EQ(Limits{}.maxJoinedFiles, 10'000);
  EXPECT_EQ(Limits{}.maxJoinedColumns, 101);
  Limits tight;
  tight.maxJoinedFiles = 3;
  tight.maxJoinedColumns = 2;
  LoggerFileBuilder other = download(0, {1});
  other.loggerId(0x99);
  LoggerFileBuilder third = download(0, {1});
  third.loggerId(0x9A);
  try {
    joined({download(0, {1}), download(1, {1}), download(2, {1}), download(3, {1})}, tight);
    FAIL() << "four files joined";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.kind(), kestrix::ErrorKind::TooManyFiles);
    EXPECT_STREQ(e.what(), "4 files given; one table takes at most 3 when joining downloads");
  }
  try {
    joined({download(0, {1}), other, third}, tight);
    FAIL() << "three columns made";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.kind(), kestrix::ErrorKind::TooManyColumns);
    EXPECT_STREQ(e.what(),
                 "the files come from 3 loggers or launches, each joined into one column; one "
                 "table takes at most 2");
  }
  EXPECT_EQ(joined({download(0, {1}), download(1, {1}), other}, tight).columns.size(), 2u);
}

TEST(JoinedDownloads, GapsOfEachKind) {
  // Logger 0x77: two minutes blank. 0x78 and 0x79: relaunched at 10:10 and
  // downloaded after the memory went round, its first 12 rows read "overflow"
  // (10 samples lost, two minutes of margin).
  auto relaunched = [](std::uint32_t logger) {
    LoggerFileBuilder b = download(10, {});
    b.loggerId(logger).wrappedMemory(65536, 65546, [](std::int64_t) { return 3; });
    return b;
  };
  LoggerFileBuilder beforeOverflow = download(0, std::vector<std::int16_t>(10, 2));
  beforeOverflow.loggerId(0x78);
  LoggerFileBuilder beforeBlanks = download(0, std::vector<std::int16_t>(5, 2));
  beforeBlanks.loggerId(0x79);
  const ConversionRun run = joined({download(0, {1, 2}), download(4, {5}), beforeOverflow,
                                    relaunched(0x78), beforeBlanks, relaunched(0x79)});
  const kestrix::TableValues values(run);
  const std::vector<kestrix::Gap> gaps = kestrix::findGaps(values, {1, values.rowCount()});
  ASSERT_EQ(gaps.size(), 3u);
  EXPECT_EQ(gaps[0].rows.first, 3);
  EXPECT_EQ(gaps[0].rows.last, 4);
  EXPECT_EQ(gaps[1].column, 1u);
  EXPECT_EQ(gaps[1].rows.first, 11);
  EXPECT_EQ(gaps[1].rows.last, 22);
  EXPECT_EQ(gaps[2].rows.first, 6);
  EXPECT_EQ(gaps[2].rows.last, 22);

  kestrix::StringSink sink;
  kestrix::TextFormat format;
  format.dates = kestrix::DateStyle::Iso;
  kestrix::writeGaps(gaps, values, sink, format);
  const auto lines = crlfLines(sink.data);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Title\tLogger\tLabel\tUnit\tStart\tEnd\tDuration\tCells");
  EXPECT_EQ(lines[1].substr(lines[1].find("\t2026")),
            "\t2026-01-05 10:02:00\t2026-01-05 10:04:00\t0:02:00\tblank");
  EXPECT_TRUE(lines[2].ends_with("\t0:12:00\toverflow"));
  EXPECT_TRUE(lines[3].ends_with("\t0:17:00\tmixed"));

  // Inside a stretch of rows: from its first value to its last.
  const auto inside = kestrix::findGaps(values, {8, 30});
  ASSERT_EQ(inside.size(), 1u);  // the third column has its first value there on row 23
  EXPECT_EQ(inside[0].rows.first, 11);
}

TEST(JoinedDownloads, FilesOfDistinctLoggersGiveTheTableOfPlainColumns) {
  LoggerFileBuilder wrapped = download(2, {});
  wrapped.loggerId(0x78).wrappedMemory(65536, 65600, [](std::int64_t n) { return n % 50; });
  LoggerFileBuilder pairs = download(1, {8, 16, 24, 32});
  pairs.loggerId(0x79).typeCode(6);
  const std::vector<LoggerFileBuilder> builders{download(0, {1, 2, 3}), wrapped, pairs};
  for (const bool includeOverflowed : {false, true}) {
    kestrix::TableOptions options;
    options.includeOverflowed = includeOverflowed;
    EXPECT_EQ(kestrix::testing::convertToText(joined(builders), options).text,
              kestrix::testing::convertToText(kestrix::makeRun(readAll(builders)), options).text);
  }
}
