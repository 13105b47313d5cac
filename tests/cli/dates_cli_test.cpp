// kestrix-convert's dates as a user asks for them: ISO dates with a UTC
// offset, the table as CSV (read back by Python's csv module) and the time
// window every output covers.
#include <gtest/gtest.h>

#include <algorithm>

#include <logger_file_builder.hpp>
#include <run_program.hpp>
#include <string>
#include <temp_folder.hpp>
#include <vector>
#include <web_build.hpp>

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ProgramResult;
using kestrix::testing::readFile;

namespace {

class DatesCli : public ::testing::Test {
 protected:
  void write(const std::string& name, const LoggerFileBuilder& b) {
    EXPECT_TRUE(b.writeTo((dir_ / name).string()));
  }

  ProgramResult run(const std::string& program, std::vector<std::string> args) {
    kestrix::testing::ProgramRun p;
    p.args = std::move(args);
    p.folder = dir_.path();
    return kestrix::testing::runProgram(program, p, dir_.path());
  }
  ProgramResult convert(std::vector<std::string> args) {
    return run(kestrix::testing::programUnderTest(KESTRIX_CONVERT), std::move(args));
  }

  // Three loggers from 31/12/26 23:50 every ten minutes: a temperature with
  // a Windows-1252 title, a wattmeter (two channels, "-" in its first row)
  // whose title holds a comma and quotes, and a late starter.
  void writeThreeLoggers() {
    LoggerFileBuilder cold;
    cold.name("K\xFChlraum").intervalCode(8).start(2026, 12, 31, 23, 50, 0);
    cold.samples({40, 41, 42, 43, 44, 45});
    write("UC001.PDB", cold);
    LoggerFileBuilder watts;
    watts.name("Hall, \"north\"").loggerId(0xBEEF).typeCode(7).factorParam(2300);
    watts.intervalCode(8).start(2026, 12, 31, 23, 50, 0).samples({5, 900, 6, 901, 7, 905, 8, 910});
    write("UC002.PDB", watts);
    LoggerFileBuilder late;
    late.name("Late").loggerId(0xC0).typeCode(2).intervalCode(8).start(2027, 1, 1, 0, 10, 0);
    late.samples({1, 2, 3});
    write("UC003.PDB", late);
  }

  kestrix::testing::TempFolder dir_;
};

const std::string tryHelp = "\nTry 'kestrix-convert --help' for more information.\n";

TEST_F(DatesCli, DateOptionsInAnotherFormAreUsageErrors) {
  write("UC001.PDB", LoggerFileBuilder());
  const std::string offsetForm =
      "': give the offset from UTC as +HH:MM or -HH:MM, from -14:00 to +14:00";
  const std::string dateForm =
      "' is not a date: give YYYY-MM-DD, YYYY-MM-DD HH:MM or YYYY-MM-DD HH:MM:SS (a T may stand "
      "for the space)";
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--dates", "local"}, "unknown date style 'local' (regional or iso)"},
      {{"--dates=iso", "--utc-offset", "+14:01"}, "--utc-offset '+14:01" + offsetForm},
      {{"--dates=iso", "--utc-offset", "05:30"}, "--utc-offset '05:30" + offsetForm},
      {{"--dates=iso", "--utc-offset", "+5:30"}, "--utc-offset '+5:30" + offsetForm},
      {{"--dates=iso", "--utc-offset", "-03:60"}, "--utc-offset '-03:60" + offsetForm},
      {{"--dates=iso", "--utc-offset", "Z"}, "--utc-offset 'Z" + offsetForm},
      {{"--utc-offset", "+01:00"},
       "--utc-offset needs --dates iso or --format csv: only ISO dates carry it"},
      {{"--from", "2026-12-08", "--to", "2026-12-01"},
       "--from must be before --to: the window runs from --from (included) up to --to "
       "(excluded)"},
      {{"--from", "2026-12-01 10:00", "--to", "2026-12-01T10:00"},
       "--from must be before --to: the window runs from --from (included) up to --to "
       "(excluded)"},
      {{"--from", "01/12/2026"}, "--from '01/12/2026" + dateForm},
      {{"--to", "2026-02-30"}, "--to '2026-02-30" + dateForm},
  };
  for (const auto& [args, message] : wrong) {
    std::vector<std::string> all = args;
    all.push_back("UC001.PDB");
    const ProgramResult r = convert(all);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.err, "kestrix-convert: " + message + tryHelp);
  }
  // The extreme offsets are fine.
  EXPECT_EQ(convert({"-q", "--dates=iso", "--utc-offset=-14:00", "UC001.PDB"}).status, 0);
  EXPECT_EQ(convert({"-q", "--format=csv", "--utc-offset=+14:00", "UC001.PDB"}).status, 0);
}

TEST_F(DatesCli, IsoDatesWithTheOffsetOnTheTableAndTheSummary) {
  writeThreeLoggers();
  ProgramResult r = convert({"-q", "--dates", "iso", "--utc-offset", "+00:00", "UC001.PDB"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\r\n2026-12-31 23:50:00Z\t2.5\r\n2027-01-01 00:00:00Z\t2.6\r\n"),
            std::string::npos)
      << r.out;
  r = convert({"-q", "--dates=iso", "--utc-offset=-03:00", "--summary", "-", "UC001.PDB"});
  EXPECT_NE(r.out.find("\t2026-12-31 23:50:00-03:00\t2027-01-01 00:40:00-03:00\t6\t"),
            std::string::npos)
      << r.out;
  // The default is today's table, byte for byte.
  EXPECT_EQ(convert({"-q", "--dates", "regional", "UC001.PDB"}).out,
            convert({"-q", "UC001.PDB"}).out);
  EXPECT_NE(convert({"-q", "UC001.PDB"}).out.find("\r\n31/12/26 23:50:00\t2.5\r\n"),
            std::string::npos);
}

// Every CSV field against the table's, read by Python's csv module as a
// script would.
TEST_F(DatesCli, PythonReadsTheCsvFieldForFieldAsTheTable) {
  writeThreeLoggers();
  LoggerFileBuilder wrapped;  // a memory written over: its first rows read "overflow"
  wrapped.name("Ring").loggerId(0xD0).intervalCode(8).start(2026, 12, 31, 23, 50, 0);
  wrapped.memoryCode(0).wrappedMemory(65536, 66000, [](std::int64_t n) { return n % 700; });
  write("UC004.PDB", wrapped);
  const std::vector<std::string> files{"UC001.PDB", "UC002.PDB", "UC003.PDB", "UC004.PDB"};
  std::vector<std::string> args{"-q", "-o", "t.txt"};
  args.insert(args.end(), files.begin(), files.end());
  ASSERT_EQ(convert(args).status, 0);
  args = {"--format", "csv", "-o", "t.csv", "--utc-offset", "+05:30"};
  args.insert(args.end(), files.begin(), files.end());
  ProgramResult r = convert(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Done...\n");
  const std::string check = R"py(
import csv, sys
raw = open("t.csv", "rb").read()
assert not raw.startswith(b"\xef\xbb\xbf"), "byte-order mark"
assert raw.count(b"\r\n") == raw.count(b"\n"), "a line end without CR"
rows = list(csv.reader(open("t.csv", encoding="utf-8", newline="")))
table = open("t.txt", encoding="cp1252", newline="").read().split("\r\n")[:-1]
header = [line.split("\t") for line in table[:4]]
names = [f"{header[0][c]} {header[2][c]} ({header[3][c]})" for c in range(1, len(header[0]))]
assert rows[0] == ["time"] + names, rows[0]
assert len(rows) == len(table) - 3, (len(rows), len(table))
emptied = set()
for row, line in zip(rows[1:], table[4:]):
    cells = line.split("\t")
    assert len(row) == len(cells), (row, cells)
    d = cells[0]
    assert row[0] == f"20{d[6:8]}-{d[3:5]}-{d[0:2]}T{d[9:]}+05:30", (row[0], d)
    for field, cell in zip(row[1:], cells[1:]):
        assert field == ("" if cell in ("", "-", "overflow") else cell), (field, cell)
        emptied |= {cell} if field == "" else set()
assert emptied == {"", "-", "overflow"}, emptied
print(rows[0][2])
)py";
  r = run("/usr/bin/python3", {"-c", check});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Hall, \"north\" Wattmeter (Watts)\n");
}

TEST_F(DatesCli, EveryOutputCoversTheWindowAndAnEmptyOneIsTold) {
  writeThreeLoggers();
  const std::vector<std::string> files{"UC001.PDB", "UC002.PDB", "UC003.PDB"};
  auto with = [&files](std::vector<std::string> args) {
    args.insert(args.end(), files.begin(), files.end());
    return args;
  };
  ASSERT_EQ(convert(with({"-q", "-o", "full.txt"})).status, 0);
  const std::string full = readFile(dir_ / "full.txt");
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < full.size(); at = full.find("\r\n", at) + 2)
    lines.push_back(full.substr(at, full.find("\r\n", at) + 2 - at));
  ASSERT_EQ(lines.size(), 4u + 6u);

  // From midnight up to 00:20: rows 2 and 3, the header as it was.
  ProgramResult r = convert(with({"-q", "--from", "2027-01-01", "--to", "2027-01-01T00:20", "-o",
                                  "w.txt", "--summary", "s.txt", "--format", "tsv"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir_ / "w.txt"),
            lines[0] + lines[1] + lines[2] + lines[3] + lines[5] + lines[6]);
  const std::string summary = readFile(dir_ / "s.txt");
  EXPECT_NE(summary.find("\t01/01/27 00:00:00\t01/01/27 00:10:00\t2\t"), std::string::npos)
      << summary;
  EXPECT_NE(summary.find("Late\t000000C0\tUlmacorder Impulse\tPulses\t01/01/27 00:10:00\t01/01/27 "
                         "00:10:00\t1\t"),
            std::string::npos)
      << summary;
  // The period table: the window's rows alone, its days in the date style asked for.
  r = convert(with({"-q", "--from", "2027-01-01", "--to", "2027-01-01T00:20", "--dates", "iso",
                    "--periods", "-"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("2026-12-31"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\t2027-01-01\t2\t"), std::string::npos) << r.out;
  r = convert(with({"-q", "--format=csv", "--from=2027-01-01 00:30:00"}));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + 2);
  EXPECT_NE(r.out.find("\r\n2027-01-01T00:30:00,2.8,,,3\r\n"), std::string::npos) << r.out;

  // Between two rows: the header alone, and a warning.
  r = convert(with({"--from", "2027-01-01 00:01", "--to", "2027-01-01 00:02", "-o", "e.txt"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "kestrix-convert: warning: no row of the table is dated from 2027-01-01 00:01:00 up "
            "to 2027-01-01 00:02:00 (its rows run from 2026-12-31 23:50:00 to 2027-01-01 "
            "00:40:00): the outputs hold no row\nDone...\n");
  EXPECT_EQ(readFile(dir_ / "e.txt"), lines[0] + lines[1] + lines[2] + lines[3]);
  EXPECT_EQ(convert(with({"-q", "--strict", "--to", "2020-01-01"})).status, 1);

#ifdef KESTRIX_REPORT
  if (kestrix::testing::testsTheBuiltProgram()) {  // not the Windows build, which has none
    // The report's period is the window's.
    r = convert(
        with({"-q", "--from", "2027-01-01", "--to", "2027-01-01T00:20", "--report", "r.pdf"}));
    ASSERT_EQ(r.status, 0) << r.err;
    if (!std::string(KESTRIX_PDFTOTEXT).empty()) {
      const ProgramResult text = run(KESTRIX_PDFTOTEXT, {"r.pdf", "-"});
      EXPECT_NE(
          text.out.find("Period: 01/01/2027 00:00:00 to 01/01/2027 00:10:00, part of the run"),
          std::string::npos)
          << text.out;
    }
  }
#endif
}

}  // namespace
