// The summary of hand-worked columns.
#include <gtest/gtest.h>

#include <cmath>

#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "summary.hpp"

namespace kestrix {
namespace {

using testing::LoggerFileBuilder;

// A file starting `minute` minutes after 31/12/14 23:00:00, one sample a minute.
LoggerFileBuilder file(std::string_view name, std::uint8_t type, int minute,
                       std::vector<std::int16_t> slots) {
  LoggerFileBuilder b;
  b.name(name).loggerId(static_cast<std::uint32_t>(name[0])).typeCode(type);
  b.start(2014, 12, 31, 23, minute, 0).samples(std::move(slots));
  return b;
}

ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<LoggerFile> files;
  for (const auto& b : builders) files.push_back(readLoggerFile("UC.PDB", b.build()));
  return makeRun(std::move(files));
}

std::vector<std::string> linesOf(const ConversionRun& run, const Regional& regional,
                                 Encoding encoding) {
  const TableValues values(run);
  StringSink sink;
  writeSummary(summarize(values), run, sink, regional, encoding);
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < sink.data.size();) {
    const std::size_t end = sink.data.find("\r\n", from);
    if (end == std::string::npos) {
      ADD_FAILURE() << "no CR LF after " << sink.data.substr(from);
      break;
    }
    lines.push_back(sink.data.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

// Type 1 cells are raw / 16 degrees: 320 reads 20.0, 8 raw steps are 0.5.
std::vector<LoggerFileBuilder> handWorked() {
  return {
      file("A", 1, 0, {328, 312, 336, 312, 336}),  // ties: the first row holding each extreme
      file("B", 1, 2, {352, 320, 352}),            // the maximum on the column's first row
      file("C", 2, 0, {5, 7}),                     // the first row reads 0, a number
      file("D", 4, 0, {100}),                      // the first row reads "-": no value
      file("E", 1, 0, {-2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      file("F", 1, 0, {-2, 0, 0, 0}),
      file("G", 1, 0, {400}),  // one value
  };
}

TEST(Summary, HandWorkedColumns) {
  const ConversionRun run = runOf(handWorked());
  const std::vector<std::string> lines = linesOf(run, Regional{}, Encoding::Windows1252);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0],
            "Title\tLogger\tLabel\tUnit\tFirst\tLast\tValues\tOverflow\tMissing\tMin\tMin at\tMax\t"
            "Max at\tMean\tMKT");
  EXPECT_EQ(lines[1],
            "A\t00000041\tUlmacorder Temp\t\260C\t31/12/14 23:00:00\t31/12/14 23:04:00\t5\t0\t0\t"
            "19.5\t31/12/14 23:01:00\t21.0\t31/12/14 23:02:00\t20.30\t20.32");
  EXPECT_EQ(lines[2],
            "B\t00000042\tUlmacorder Temp\t\260C\t31/12/14 23:02:00\t31/12/14 23:04:00\t3\t0\t0\t"
            "20.0\t31/12/14 23:03:00\t22.0\t31/12/14 23:02:00\t21.33\t21.38");
  EXPECT_EQ(lines[3],
            "C\t00000043\tUlmacorder Impulse\tPulses\t31/12/14 23:00:00\t31/12/14 23:01:00\t2\t0\t"
            "0\t0\t31/12/14 23:00:00\t7\t31/12/14 23:01:00\t3.50\t");
  EXPECT_EQ(lines[4], "D\t00000044\tInline Wattmeter\tWatts\t\t\t0\t0\t0\t\t\t\t\t\t");
  // A mean of -0.0045 is 0.00, -0.025 rounds away from zero; so does the MKT.
  EXPECT_EQ(lines[5],
            "E\t00000045\tUlmacorder Temp\t\260C\t31/12/14 23:00:00\t31/12/14 23:21:00\t22\t0\t0\t"
            "-0.1\t31/12/14 23:00:00\t0.0\t31/12/14 23:01:00\t0.00\t0.00");
  EXPECT_EQ(lines[6],
            "F\t00000046\tUlmacorder Temp\t\260C\t31/12/14 23:00:00\t31/12/14 23:03:00\t4\t0\t0\t"
            "-0.1\t31/12/14 23:00:00\t0.0\t31/12/14 23:01:00\t-0.03\t-0.02");
  EXPECT_EQ(lines[7],
            "G\t00000047\tUlmacorder Temp\t\260C\t31/12/14 23:00:00\t31/12/14 23:00:00\t1\t0\t0\t"
            "25.0\t31/12/14 23:00:00\t25.0\t31/12/14 23:00:00\t25.00\t25.00");

  // The same as data.
  const TableValues values(run);
  const std::vector<ColumnSummary> summary = summarize(values);
  EXPECT_EQ(summary[1].maxTenths, 220);
  EXPECT_EQ(summary[1].maxRow, 3);
  EXPECT_DOUBLE_EQ(*summary[1].mean(), 64.0 / 3);
  EXPECT_FALSE(summary[3].mean());
  EXPECT_FALSE(summary[3].meanKineticTemperature);
  EXPECT_FALSE(summary[2].meanKineticTemperature);  // not degrees
}

TEST(Summary, RegionalMarksAndEncodings) {
  std::vector<LoggerFileBuilder> files = handWorked();
  files[0].name("K\xFChlraum");  // Windows-1252
  const ConversionRun run = runOf(files);
  Regional comma;
  comma.decimalMark = ",";
  comma.dateSeparator = ".";
  const std::vector<std::string> cp1252 = linesOf(run, comma, Encoding::Windows1252);
  EXPECT_EQ(cp1252[1],
            "K\xFChlraum\t00000041\tUlmacorder Temp\t\260C\t31.12.14 23:00:00\t31.12.14 23:04:00\t"
            "5\t0\t0\t19,5\t31.12.14 23:01:00\t21,0\t31.12.14 23:02:00\t20,30\t20,32");
  const std::vector<std::string> utf8 = linesOf(run, comma, Encoding::Utf8);
  EXPECT_EQ(utf8[1],
            "K\xC3\xBChlraum\t00000041\tUlmacorder Temp\t\xC2\xB0"
            "C\t31.12.14 23:00:00\t31.12.14 23:04:00\t5\t0\t0\t19,5\t31.12.14 23:01:00\t21,0\t"
            "31.12.14 23:02:00\t20,30\t20,32");
  // A decimal mark Windows-1252 cannot hold falls back to the default there.
  Regional middleDot;
  middleDot.decimalMark = "\xE2\x80\xA4";  // one dot leader
  const std::string fallback = linesOf(run, middleDot, Encoding::Windows1252)[6];
  EXPECT_EQ(fallback.substr(fallback.size() - 11), "-0.03\t-0.02");
  const std::string kept = linesOf(run, middleDot, Encoding::Utf8)[6];
  EXPECT_EQ(kept.substr(kept.size() - 15),
            "-0\xE2\x80\xA4"
            "03\t-0\xE2\x80\xA4"
            "02");
}

// A wrapped memory cut short: overflow first, then values with a run of
// blanks inside them (the memory's last slots are missing from the file).
TEST(Summary, OverflowAndMissingCellsOfAConstantColumn) {
  LoggerFileBuilder b = file("W", 1, 0, {});
  b.memoryCode(0).wrappedMemory(65536, 65536 + 100, [](std::int64_t) { return 320; });
  // Slots 65000 onward (block 63 from its 488th slot) are cut off.
  b.truncateTo(static_cast<std::size_t>(b.offsets()[1 + 63] + 2 * 488));
  const ConversionRun run = runOf({b});
  const TableValues values(run);
  const std::vector<ColumnSummary> summary = summarize(values);
  ASSERT_EQ(summary.size(), 1u);
  const ColumnSummary& s = summary[0];
  // Positions 1 to 100 are gone from the memory, 2 more read overflow as a margin.
  EXPECT_EQ(s.overflow, 102);
  // Slots 65000 .. 65535 held positions 65001 .. 65536.
  EXPECT_EQ(s.missing, 536);
  EXPECT_EQ(s.values, 65636 - 102 - 536);
  EXPECT_EQ(s.firstRow, 103);
  EXPECT_EQ(s.lastRow, 65636);
  EXPECT_EQ(s.minRow, 103);
  EXPECT_EQ(s.maxRow, 103);
  EXPECT_EQ(meanHundredths(s), 2000);
  ASSERT_TRUE(s.meanKineticTemperature);
  EXPECT_NEAR(*s.meanKineticTemperature, 20.0, 1e-9);  // of a constant: the constant
}

// The counts behind the mean kinetic temperature pass from one summary to
// the next: each one counts its own values alone (that of a constant being
// the constant), whatever the summary before it counted.
TEST(Summary, EachSummaryCountsItsOwnValuesAlone) {
  for (const int sample : {320, 420, 320, -2500}) {
    SCOPED_TRACE(sample);
    const std::vector<std::int16_t> constant(50, static_cast<std::int16_t>(sample));
    const ConversionRun run = runOf({file("A", 1, 0, constant), file("B", 1, 3, constant)});
    for (const ColumnSummary& s : summarize(TableValues(run))) {
      ASSERT_TRUE(s.meanKineticTemperature);
      EXPECT_NEAR(*s.meanKineticTemperature, static_cast<double>(meanHundredths(s)) / 100.0, 1e-9);
    }
  }
}

// Long columns (many chunks, extremes late, a cut in the middle) against
// figures taken cell by cell.
TEST(Summary, LongColumnsAgreeWithACountOfTheirCells) {
  std::vector<std::int16_t> walk;
  int v = 300;
  for (int i = 0; i < 20000; ++i) {
    v += (i * 7919 % 13) - 6 + (i == 15000 ? 400 : 0) + (i == 17000 ? -900 : 0);
    walk.push_back(static_cast<std::int16_t>(v));
  }
  std::vector<LoggerFileBuilder> files{file("R", 1, 0, walk), file("S", 6, 7, walk)};
  files.push_back(file("T", 1, 3, walk));
  files.back().sampleCount(21000).sampleRecordCount(12);  // records 13 onward missing
  LoggerFileBuilder wrapped = file("U", 5, 0, {});
  wrapped.memoryCode(0).offsetParam(-64).wrappedMemory(65536, 65536 + 5000, [](std::int64_t n) {
    return static_cast<std::int16_t>(5000 + n % 3000 - (n % 7000 == 6999 ? 2000 : 0));
  });
  files.push_back(wrapped);
  // A value near absolute zero: the terms are then taken relative to the largest.
  std::vector<std::int16_t> cold = walk;
  cold[4321] = -2700;
  files.push_back(file("V", 1, 0, cold));
  const ConversionRun run = runOf(files);
  const TableValues values(run);
  const std::vector<ColumnSummary> summary = summarize(values);
  ASSERT_EQ(summary.size(), 6u);
  for (std::size_t c = 0; c < summary.size(); ++c) {
    ColumnSummary e;
    std::int64_t firstFilled = 0;
    std::int64_t lastFilled = 0;
    std::int64_t filled = 0;
    double expSum = 0;
    for (std::int64_t r = 1; r <= values.rowCount(); ++r) {
      const CellValue cell = values.cell(c, r);
      if (cell.kind == CellKind::Blank) continue;
      if (firstFilled == 0) firstFilled = r;
      lastFilled = r;
      ++filled;
      if (cell.kind == CellKind::Overflow) ++e.overflow;
      if (cell.kind != CellKind::Number) continue;
      if (e.values == 0 || cell.tenths < e.minTenths) e.minTenths = cell.tenths, e.minRow = r;
      if (e.values == 0 || cell.tenths > e.maxTenths) e.maxTenths = cell.tenths, e.maxRow = r;
      if (e.values == 0) e.firstRow = r;
      e.lastRow = r;
      ++e.values;
      e.sumTenths += cell.tenths;
      expSum += std::exp(-10000 / (static_cast<double>(cell.tenths) / 10.0 + 273.15));
    }
    const ColumnSummary& s = summary[c];
    SCOPED_TRACE("column " + std::to_string(c));
    EXPECT_EQ(s.values, e.values);
    EXPECT_EQ(s.overflow, e.overflow);
    EXPECT_EQ(s.missing, lastFilled - firstFilled + 1 - filled);
    EXPECT_EQ(s.firstRow, e.firstRow);
    EXPECT_EQ(s.lastRow, e.lastRow);
    EXPECT_EQ(s.minTenths, e.minTenths);
    EXPECT_EQ(s.minRow, e.minRow);
    EXPECT_EQ(s.maxTenths, e.maxTenths);
    EXPECT_EQ(s.maxRow, e.maxRow);
    EXPECT_EQ(s.sumTenths, e.sumTenths);
    ASSERT_TRUE(s.meanKineticTemperature);
    const double mkt = 10000 / -std::log(expSum / static_cast<double>(e.values)) - 273.15;
    EXPECT_NEAR(*s.meanKineticTemperature, mkt, 1e-9);
  }
  EXPECT_GT(summary[4].overflow, 0);
  EXPECT_EQ(summary[3].values, 12 * 1024);
}

}  // namespace
}  // namespace kestrix
