// The table as values against the table's own cell texts.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "run.hpp"
#include "table.hpp"
#include "two_threads.hpp"

namespace kestrix {
namespace {

using testing::LoggerFileBuilder;

// Slowly varying samples with jumps and the extremes of 16 bits.
std::vector<std::int16_t> wave(int n, int from, int scale) {
  std::vector<std::int16_t> out;
  for (int i = 0; i < n; ++i) {
    int v = from + (i * 37 % 101) * scale + (i % 50 == 0 ? 9000 : 0);
    if (i % 97 == 3) v = i % 2 ? 32767 : -32768;
    out.push_back(static_cast<std::int16_t>(v));
  }
  return out;
}

LoggerFileBuilder file(std::uint8_t type, int minute, std::vector<std::int16_t> slots) {
  LoggerFileBuilder b;
  b.typeCode(type).start(2014, 12, 31, 23, minute, 0).samples(std::move(slots));
  return b;
}

ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<LoggerFile> files;
  for (const auto& b : builders) files.push_back(readLoggerFile("UC.PDB", b.build()));
  return makeRun(std::move(files));
}

// Every type code, two-channel files, first-row texts (the files starting on
// row 1), a wrapped memory, a file cut short and one with a gap read as samples.
std::vector<LoggerFileBuilder> variedFiles() {
  std::vector<LoggerFileBuilder> files;
  files.push_back(file(1, 0, wave(300, -2000, 40)));
  files.push_back(file(2, 0, wave(250, 0, 3)));
  files.push_back(file(3, 1, wave(2 * 200, 3000, 17)));
  files.push_back(file(4, 0, wave(290, -10, 700)));
  files.push_back(file(5, 2, wave(280, 5000, 11)));
  files.back().offsetParam(-300);
  files.push_back(file(6, 0, wave(2 * 150, 800, 5)));
  files.push_back(file(7, 0, wave(2 * 150, 100, 90)));
  files.back().factorParam(2300);
  files.push_back(file(8, 3, wave(120, 0, 1)));
  files.push_back(file(9, 0, wave(310, 20000, 300)));
  files.push_back(file(10, 0, wave(2 * 300, 0, 200)));
  files.push_back(file(42, 3, wave(100, -32768, 600)));
  // Cut short: the samples of the missing records are blank.
  files.push_back(file(6, 0, wave(2 * 1500, 800, 5)));
  files.back().sampleCount(2 * 1600).sampleRecordCount(2);
  files.push_back(file(1, 5, wave(1500, 320, 1)));
  files.back().gapBetweenRecords(6).sampleCount(1700);
  return files;
}

std::string textOf(const CellValue& v, int decimals, std::string_view mark) {
  switch (v.kind) {
    case CellKind::Blank:
      return "";
    case CellKind::Overflow:
      return "overflow";
    case CellKind::Text:
      return "-";
    case CellKind::Number:
      break;
  }
  std::string text;
  appendNumberText(v.tenths, decimals, mark, text);
  return text;
}

// Each column's cells, one by one and in windows, read as the table writes them.
void expectTableCells(const ConversionRun& run, const TableValues& values) {
  ASSERT_EQ(values.rowCount(), run.totalRows);
  for (const char* mark : {".", ","}) {
    Regional regional;
    regional.decimalMark = mark;
    const TableText table(run, regional);
    for (std::size_t c = 0; c < values.columnCount(); ++c) {
      const ColumnInfo& info = values.column(c);
      std::vector<CellValue> all(static_cast<std::size_t>(values.rowCount()));
      values.cells(c, 1, values.rowCount(), all.data());
      for (std::int64_t r = 1; r <= values.rowCount(); ++r) {
        std::string cell = table.cellText(info.file, r);
        if (run.files[info.file].channelCount == 2) {
          const std::size_t tab = cell.find('\t');
          cell = info.channel == 0 ? cell.substr(0, tab) : cell.substr(tab + 1);
        }
        const CellValue one = values.cell(c, r);
        ASSERT_EQ(textOf(one, info.decimals, mark), cell) << "column " << c << " row " << r;
        ASSERT_EQ(all[static_cast<std::size_t>(r - 1)], one) << "column " << c << " row " << r;
      }
      // Windows starting anywhere give the same cells, and the same as codes.
      for (const std::int64_t first :
           {std::int64_t{1}, std::int64_t{2}, std::int64_t{299}, values.rowCount() - 40}) {
        std::vector<CellValue> window(41);
        std::vector<std::int32_t> codes(41);
        values.cells(c, first, 41, window.data());
        values.cellCodes(c, first, 41, codes.data());
        for (std::int64_t k = 0; k < 41; ++k) {
          const CellValue& cell = all[static_cast<std::size_t>(first - 1 + k)];
          ASSERT_EQ(window[static_cast<std::size_t>(k)], cell)
              << "column " << c << " window at " << first;
          const std::int64_t code = cell.kind == CellKind::Number     ? cell.tenths + cellCodeBias
                                    : cell.kind == CellKind::Overflow ? cellCodeOverflow
                                    : cell.kind == CellKind::Text     ? cellCodeText
                                                                      : cellCodeBlank;
          ASSERT_EQ(codes[static_cast<std::size_t>(k)], code)
              << "column " << c << " row " << first + k;
        }
      }
    }
  }
}

TEST(TableValues, EveryCellReadsAsTheTableWritesIt) {
  const ConversionRun run = runOf(variedFiles());
  const TableValues values(run);
  ASSERT_EQ(values.columnCount(), 18u);
  expectTableCells(run, values);

  // The header lines split by column.
  const ColumnInfo& humidity = values.column(3);
  EXPECT_EQ(humidity.file, 2u);
  EXPECT_EQ(humidity.channel, 1);
  EXPECT_EQ(humidity.title, "Logger");
  EXPECT_EQ(humidity.loggerId, "00001A2B");
  EXPECT_EQ(humidity.label, "Humidity");
  EXPECT_EQ(humidity.unit, "%RH");
  EXPECT_EQ(values.column(0).unit, "\260C");
  EXPECT_EQ(values.column(1).decimals, 0);
  // The first-row texts: type 2 reads 0, the power channels "-".
  EXPECT_EQ(values.cell(1, 1), (CellValue{CellKind::Number, 0}));
  EXPECT_EQ(values.cell(4, 1).kind, CellKind::Text);
}

// Values are worked out as cells first show them: two threads reading
// columns that share formulas at once see what one thread sees.
TEST(TableValues, TwoThreadsReadTheCellsOneThreadReads) {
  const ConversionRun run = runOf(variedFiles());
  const TableValues alone(run);
  const TableValues shared(run);
  const std::int64_t rows = alone.rowCount();
  std::vector<std::vector<std::int32_t>> codes(shared.columnCount() * 2);
  forEachOnTwoThreads(codes.size(), [&](std::size_t k, int) {
    std::vector<std::int32_t>& out = codes[k];
    out.resize(static_cast<std::size_t>(rows));
    shared.cellCodes(k / 2, 1, rows, out.data());
  });
  std::vector<std::int32_t> expected(static_cast<std::size_t>(rows));
  for (std::size_t k = 0; k < codes.size(); ++k) {
    alone.cellCodes(k / 2, 1, rows, expected.data());
    ASSERT_EQ(codes[k], expected) << "column " << k / 2;
  }
}

TEST(TableValues, WrappedMemoryReadsOverflowUnlessTheMarginIsIncluded) {
  std::vector<LoggerFileBuilder> files;
  for (const std::uint8_t type : {std::uint8_t{1}, std::uint8_t{3}}) {
    const int channels = type == 3 ? 2 : 1;
    LoggerFileBuilder b = file(type, 0, {});
    b.memoryCode(0).wrappedMemory(
        65536, channels * (65536 / channels + 300),
        [](std::int64_t serial) { return static_cast<std::int16_t>(400 + serial % 700); });
    files.push_back(b);
  }
  const ConversionRun run = runOf(files);
  const TableValues values(run);
  expectTableCells(run, values);

  // Interval 60 s: a margin of 2 rows below the memory's oldest sample.
  const TableValues included(run, true);
  for (std::size_t c = 0; c < values.columnCount(); ++c) {
    const LoggerFile& f = run.files[values.column(c).file];
    const std::int64_t oldest = f.sampleCount - f.memorySize + 1;
    std::int64_t changed = 0;
    for (std::int64_t r = 1; r <= values.rowCount(); ++r) {
      const CellValue before = values.cell(c, r);
      const CellValue after = included.cell(c, r);
      if (after == before) continue;
      ++changed;
      EXPECT_EQ(before.kind, CellKind::Overflow);
      EXPECT_EQ(after.kind, CellKind::Number);
      EXPECT_GE(r, oldest);
    }
    EXPECT_EQ(changed, 2) << "column " << c;
    EXPECT_EQ(included.cell(c, oldest - 1).kind, CellKind::Overflow);
  }
}

}  // namespace
}  // namespace kestrix
