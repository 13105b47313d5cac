// The workbook read back by another program (openpyxl, tests/xlsx/read_workbook.py)
// and compared with the table's text, cell by cell.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <logger_file_builder.hpp>
#include <map>
#include <run_program.hpp>
#include <string>
#include <temp_folder.hpp>
#include <vector>

#include "dates.hpp"
#include "limit_rules.hpp"
#include "run.hpp"
#include "table.hpp"
#include "text.hpp"
#include "workbook_writer.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ProgramResult;
using kestrix::testing::readFile;

namespace {

struct Cell {
  std::string kind;  // n, d or s
  std::string value;
  std::string format;
  bool bold = false;
};

struct Sheet {
  std::string name;
  std::int64_t maxRow = 0;
  std::string freeze;
  std::string widthA;
  std::map<std::string, Cell> cells;  // by reference, "B5"
};

std::vector<std::string> split(const std::string& s, const std::string& by) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = s.find(by, from)) != std::string::npos; from = at + by.size()) {
    parts.push_back(s.substr(from, at - from));
  }
  parts.push_back(s.substr(from));
  return parts;
}

std::string reference(std::size_t column, std::int64_t row) {
  std::string letters;
  for (std::size_t c = column + 1; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

// Every cell, or (head > 0) those of the first `head` and last `tail` rows of each sheet.
std::vector<Sheet> readWorkbook(const fs::path& book, const fs::path& scratch, int head = 0,
                                int tail = 0) {
  kestrix::testing::ProgramRun program;
  program.args = {READ_WORKBOOK, book.string()};
  if (head > 0)
    program.args.insert(program.args.end(), {std::to_string(head), std::to_string(tail)});
  const ProgramResult r = kestrix::testing::runProgram(KESTRIX_PYTHON, program, scratch);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<Sheet> sheets;
  for (const std::string& line : split(r.out, "\n")) {
    const std::vector<std::string> f = split(line, "\t");
    if (f[0] == "sheet" && f.size() == 5) {
      sheets.push_back({f[1], std::stoll(f[2]), f[3], f[4], {}});
    } else if (f[0] == "cell" && f.size() == 6 && !sheets.empty()) {
      sheets.back().cells[f[1]] = {f[2], f[3], f[4], f[5] == "1"};
    } else if (!line.empty()) {
      ADD_FAILURE() << "unexpected line from the reader: " << line;
    }
  }
  return sheets;
}

std::string dateText(std::int64_t seconds) {
  const kestrix::CivilTime t = kestrix::fromSeconds(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// Checks cell `at` of `sheet` against the table's text `field`.
void expectCell(const Sheet& sheet, const std::string& at, const std::string& field, bool header) {
  const auto it = sheet.cells.find(at);
  if (field.empty()) {
    EXPECT_EQ(it, sheet.cells.end()) << sheet.name << "!" << at << " should hold no cell";
    return;
  }
  ASSERT_NE(it, sheet.cells.end()) << sheet.name << "!" << at << " is missing: " << field;
  const Cell& cell = it->second;
  const bool isText = header || field == "overflow" || field == "-";
  if (isText) {
    EXPECT_EQ(cell.kind, "s") << at;
    EXPECT_EQ(cell.value, header ? kestrix::windows1252ToUtf8(field) : field) << at;
  } else {
    EXPECT_EQ(cell.kind, "n") << at;
    EXPECT_EQ(std::strtod(cell.value.c_str(), nullptr), std::strtod(field.c_str(), nullptr))
        << at << ": " << cell.value << " for " << field;
    EXPECT_EQ(cell.format, field.find('.') != std::string::npos ? "0.0" : "0") << at;
  }
  EXPECT_EQ(cell.bold, header) << at;
}

void expectHeader(const Sheet& sheet, const kestrix::TableText& table) {
  const std::vector<std::string> lines = split(table.headerLines(), "\r\n");
  for (std::int64_t line = 0; line < 4; ++line) {
    const std::vector<std::string> fields = split(lines[static_cast<std::size_t>(line)], "\t");
    for (std::size_t c = 0; c < fields.size(); ++c) {
      expectCell(sheet, reference(c, line + 1), fields[c], true);
    }
  }
}

// Data row r of the table on row `sheetRow` of `sheet`.
void expectRow(const Sheet& sheet, std::int64_t sheetRow, const kestrix::ConversionRun& run,
               const kestrix::TableText& table, std::int64_t r) {
  const auto date = sheet.cells.find(reference(0, sheetRow));
  ASSERT_NE(date, sheet.cells.end()) << sheet.name << " row " << sheetRow;
  EXPECT_EQ(date->second.kind, "d");
  EXPECT_EQ(date->second.value, dateText(run.rowDate(r))) << sheet.name << " row " << sheetRow;
  EXPECT_EQ(date->second.format, "dd/mm/yyyy hh:mm:ss");
  std::size_t column = 1;
  for (std::size_t j = 0; j < run.files.size(); ++j) {
    std::vector<std::string> fields = split(table.cellText(j, r), "\t");
    fields.resize(static_cast<std::size_t>(run.files[j].channelCount));
    for (const std::string& field : fields) {
      expectCell(sheet, reference(column++, sheetRow), field, false);
    }
  }
  EXPECT_EQ(sheet.cells.count(reference(column, sheetRow)), 0u) << "a cell past the table";
}

kestrix::ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<kestrix::LoggerFile> files;
  int n = 0;
  for (const auto& b : builders) {
    files.push_back(kestrix::readLoggerFile("UC00" + std::to_string(++n) + ".PDB", b.build()));
  }
  return kestrix::makeRun(std::move(files));
}

std::vector<std::int16_t> ramp(int n, int from, int step) {
  std::vector<std::int16_t> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::int16_t>(from + i * step));
  return v;
}

class Workbook : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(KESTRIX_PYTHON).empty()) GTEST_SKIP() << "no python3 with openpyxl";
  }
  kestrix::testing::TempFolder dir_;
};

}  // namespace

TEST_F(Workbook, HoldsTheTableCellForCell) {
  // One- and two-channel types, whole and one-decimal numbers, negative
  // values, first-row "-" and "0", a name with Windows-1252 bytes, files that
  // start later and end earlier than the table.
  LoggerFileBuilder cold, climate, power, pulses, thermo;
  cold.name("K\xFChlraum \x80 1").typeCode(1).samples(ramp(30, -40, 7));
  climate.name("Hall").loggerId(0xBEEF).typeCode(3).start(2014, 3, 5, 7, 33, 0);
  climate.samples({4000, 500, 4100, 600, 4200, 700, 3900, 800});
  power.name("Meter").typeCode(4).samples(ramp(12, 100, 25));
  pulses.name("").typeCode(2).start(2014, 3, 5, 7, 29, 0).samples(ramp(20, 0, 3));
  thermo.name("Oven").typeCode(6).samples({100, 200, 300, 400, 5000, 6000});
  const kestrix::ConversionRun run = runOf({cold, climate, power, pulses, thermo});
  const kestrix::TableText table(run, kestrix::Regional{});

  std::vector<int> progress;
  kestrix::WorkbookOptions options;
  options.progress = [&](int p) { progress.push_back(p); };
  EXPECT_EQ(kestrix::writeWorkbook(run, dir_ / "book.xlsx", options), "Done...");
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end()), progress.end());

  const std::vector<Sheet> sheets = readWorkbook(dir_ / "book.xlsx", dir_.path());
  ASSERT_EQ(sheets.size(), 1u);
  const Sheet& sheet = sheets[0];
  EXPECT_EQ(sheet.name, "uc1");
  EXPECT_EQ(sheet.freeze, "B5");
  EXPECT_GE(std::strtod(sheet.widthA.c_str(), nullptr), 19.0);
  ASSERT_EQ(sheet.maxRow, 4 + run.totalRows);
  expectHeader(sheet, table);
  EXPECT_EQ(sheet.cells.at("B1").value, "K\u00FChlraum \u20AC 1");
  for (std::int64_t r = 1; r <= run.totalRows; ++r) expectRow(sheet, 4 + r, run, table, r);

  // A time window: the same header, then its rows alone.
  options.rows = kestrix::RowRange{3, 9};
  kestrix::writeWorkbook(run, dir_ / "window.xlsx", options);
  const std::vector<Sheet> window = readWorkbook(dir_ / "window.xlsx", dir_.path());
  ASSERT_EQ(window.size(), 1u);
  ASSERT_EQ(window[0].maxRow, 4 + 7);
  expectHeader(window[0], table);
  for (std::int64_t r = 3; r <= 9; ++r) expectRow(window[0], 2 + r, run, table, r);
}

TEST_F(Workbook, OverflowCellsAreText) {
  // At 1 s the safety margin marks the first 84 rows of a memory nearly full.
  LoggerFileBuilder fast;
  fast.intervalCode(0).samples(ramp(65500, 0, 1));
  const kestrix::ConversionRun run = runOf({fast});
  const kestrix::TableText table(run, kestrix::Regional{});
  kestrix::writeWorkbook(run, dir_ / "book.xlsx");
  const std::vector<Sheet> sheets = readWorkbook(dir_ / "book.xlsx", dir_.path(), 100, 3);
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_EQ(sheets[0].cells.at("B88").value, "overflow");
  for (std::int64_t r = 1; r <= 96; ++r) expectRow(sheets[0], 4 + r, run, table, r);
  for (std::int64_t r = run.totalRows - 2; r <= run.totalRows; ++r) {
    expectRow(sheets[0], 4 + r, run, table, r);
  }
}

TEST_F(Workbook, LongTableContinuesOnFurtherSheets) {
  // Two files 1,048,575 s apart at 1 s: more rows than one sheet holds.
  constexpr std::int64_t kPerSheet = kestrix::spreadsheetRows - 4;
  LoggerFileBuilder early, late;
  early.name("Early").intervalCode(0).start(2014, 3, 5, 0, 0, 0).samples(ramp(3, 16, 16));
  // 12 days, 3 hours, 16 minutes, 15 seconds later.
  late.name("Late").intervalCode(0).start(2014, 3, 17, 3, 16, 15).samples(ramp(4, 32, 16));
  const kestrix::ConversionRun run = runOf({early, late});
  ASSERT_EQ(run.totalRows, 1'048'575 + 4);
  const kestrix::TableText table(run, kestrix::Regional{});
  kestrix::writeWorkbook(run, dir_ / "book.xlsx");

  const std::vector<Sheet> sheets = readWorkbook(dir_ / "book.xlsx", dir_.path(), 12, 2);
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[0].name, "uc1");
  EXPECT_EQ(sheets[1].name, "uc1 (2)");
  EXPECT_EQ(sheets[0].maxRow, kestrix::spreadsheetRows);
  EXPECT_EQ(sheets[1].maxRow, 4 + run.totalRows - kPerSheet);
  for (const Sheet& sheet : sheets) expectHeader(sheet, table);
  for (std::int64_t r = 1; r <= 4; ++r) expectRow(sheets[0], 4 + r, run, table, r);
  for (std::int64_t r = kPerSheet - 1; r <= kPerSheet; ++r) {
    expectRow(sheets[0], 4 + r, run, table, r);
  }
  for (std::int64_t r = kPerSheet + 1; r <= run.totalRows; ++r) {
    expectRow(sheets[1], 4 + r - kPerSheet, run, table, r);
  }
  EXPECT_EQ(sheets[1].cells.at("C8").value, "2");  // the late file's first sample
}

TEST_F(Workbook, LimitsAddTheSummaryAndExcursionSheets) {
  LoggerFileBuilder cold, power;
  cold.name("K\xFChlraum").loggerId(0xA1).samples({96, 160, 16, 144, 16, 16});  // 6 10 1 9 1 1
  power.name("Meter").typeCode(4).samples(ramp(6, 100, 25));
  const kestrix::ConversionRun run = runOf({cold, power});
  kestrix::WorkbookOptions options;
  kestrix::LimitRule rule;
  rule.unit = "\u00B0C";
  rule.low = 2;
  rule.high = 8.5;
  rule.delaySeconds = 60;
  options.limits = std::vector{rule};
  kestrix::writeWorkbook(run, dir_ / "book.xlsx", options);

  const std::vector<Sheet> sheets = readWorkbook(dir_ / "book.xlsx", dir_.path());
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[0].name, "uc1");
  const Sheet& summary = sheets[1];
  const Sheet& excursions = sheets[2];
  EXPECT_EQ(summary.name, "Summary");
  EXPECT_EQ(excursions.name, "Excursions");
  EXPECT_EQ(summary.maxRow, 3);  // the column names and a line per channel
  EXPECT_EQ(excursions.maxRow, 5);
  const auto at = [](const Sheet& sheet, const std::string& ref) {
    const auto it = sheet.cells.find(ref);
    return it == sheet.cells.end() ? std::string("none")
                                   : it->second.kind + " " + it->second.value + " " +
                                         it->second.format + (it->second.bold ? " bold" : "");
  };
  EXPECT_EQ(at(summary, "A1"), "s Title General bold");
  EXPECT_EQ(at(summary, "V1"), "s Result General bold");
  EXPECT_EQ(at(summary, "A2"), "s K\u00FChlraum General");
  EXPECT_EQ(at(summary, "E2"), "d 2014-03-05 07:30:00 dd/mm/yyyy hh:mm:ss");
  EXPECT_EQ(at(summary, "J2"), "n 1 0.0");
  EXPECT_EQ(at(summary, "N2"), "n 4.6699999999999999 0.00");
  EXPECT_EQ(at(summary, "P2"), "n 2 General");
  EXPECT_EQ(at(summary, "Q2"), "n 8.5 General");
  EXPECT_EQ(at(summary, "R2"), "t 180 [h]:mm:ss");
  EXPECT_EQ(at(summary, "S2"), "t 120 [h]:mm:ss");
  EXPECT_EQ(at(summary, "T2"), "n 4 General");
  EXPECT_EQ(at(summary, "U2"), "n 1 General");  // only the last lasts longer than a minute
  EXPECT_EQ(at(summary, "V2"), "s fail General");
  EXPECT_EQ(at(summary, "O3"), "none");  // no MKT, and no rule for watts
  EXPECT_EQ(at(summary, "P3"), "none");
  EXPECT_EQ(at(summary, "V3"), "none");

  // Above on row 2 alone, below on row 3, above on row 4, below from row 5 to the end.
  EXPECT_EQ(at(excursions, "E1"), "s Side General bold");
  EXPECT_EQ(at(excursions, "D2"), "s \u00B0C General");
  EXPECT_EQ(at(excursions, "E2"), "s above General");
  EXPECT_EQ(at(excursions, "F2"), "d 2014-03-05 07:31:00 dd/mm/yyyy hh:mm:ss");
  EXPECT_EQ(at(excursions, "G2"), "d 2014-03-05 07:32:00 dd/mm/yyyy hh:mm:ss");
  EXPECT_EQ(at(excursions, "H2"), "t 60 [h]:mm:ss");
  EXPECT_EQ(at(excursions, "I2"), "n 10 0.0");
  EXPECT_EQ(at(excursions, "J2"), "d 2014-03-05 07:31:00 dd/mm/yyyy hh:mm:ss");
  EXPECT_EQ(at(excursions, "K2"), "s no General");
  EXPECT_EQ(at(excursions, "L2"), "none");
  EXPECT_EQ(at(excursions, "H5"), "t 120 [h]:mm:ss");
  EXPECT_EQ(at(excursions, "K5"), "s yes General");
  EXPECT_EQ(at(excursions, "L5"), "s open General");
}

TEST(WorkbookDates, SerialsOfTheSpreadsheetCalendar) {
  EXPECT_EQ(kestrix::spreadsheetSerial(0), 36526.0);  // 1 January 2000
  EXPECT_EQ(kestrix::spreadsheetSerial(-86400), 36525.0);
  EXPECT_EQ(kestrix::spreadsheetSerial(43200), 36526.5);
  // 5 March 2014 07:30:00, as the spreadsheet itself gives it.
  EXPECT_EQ(kestrix::spreadsheetSerial(5177 * 86400 + 27000), 41703.3125);
}

// kestrix-convert --format xlsx as a user runs it.
class WorkbookCli : public ::testing::Test {
 protected:
  ProgramResult run(std::vector<std::string> args, std::function<void()> inChild = {}) {
    kestrix::testing::ProgramRun program;
    program.args = std::move(args);
    program.folder = dir_.path();
    program.inChild = std::move(inChild);
    return kestrix::testing::runProgram(KESTRIX_CONVERT, program, dir_.path());
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_.path())) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  kestrix::testing::TempFolder dir_;
};

TEST_F(WorkbookCli, NeedsAnOutputFile) {
  const ProgramResult r = run({"--format", "xlsx", "UC001.PDB"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "kestrix-convert: a workbook is written to a file only: give it with -o PATH\n"
            "Try 'kestrix-convert --help' for more information.\n");
  EXPECT_EQ(run({"--format=ods", "-o", "b", "UC001.PDB"}).err,
            "kestrix-convert: unknown format 'ods' (tsv, xlsx or csv)\n"
            "Try 'kestrix-convert --help' for more information.\n");
}

TEST_F(WorkbookCli, FailureLeavesTheEarlierWorkbook) {
  LoggerFileBuilder b;
  b.name("Room 1").samples(ramp(5000, 400, 1));
  ASSERT_TRUE(b.writeTo((dir_ / "UC001.PDB").string()));
  ProgramResult r = run({"-q", "--format=xlsx", "-o", "book.xlsx", "UC001.PDB"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string earlier = readFile(dir_ / "book.xlsx");
  EXPECT_EQ(earlier.substr(0, 2), "PK");

  // No file may grow past 16 KiB: the sheet's data cannot be written.
  r = run({"--format=xlsx", "-o", "book.xlsx", "UC001.PDB"}, [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &small);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("kestrix-convert: book.xlsx: cannot write temporary data in .: ", 0), 0u)
      << r.err;
  EXPECT_EQ(readFile(dir_ / "book.xlsx"), earlier);
  EXPECT_EQ(names(), (std::vector<std::string>{"UC001.PDB", "book.xlsx"}));

  // A folder for a target, and a folder that cannot be.
  fs::create_directory(dir_ / "folder.xlsx");
  r = run({"--format=xlsx", "-o", "folder.xlsx", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kestrix-convert: folder.xlsx: is a folder\n");
  r = run({"--format=xlsx", "-o", "UC001.PDB/book.xlsx", "UC001.PDB"});
  EXPECT_EQ(r.err,
            "kestrix-convert: UC001.PDB/book.xlsx: cannot create a file in UC001.PDB: Not a "
            "directory\n");
}
