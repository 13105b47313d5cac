// kestrix-convert as a user runs it: arguments, exit status, messages, output.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <logger_file_builder.hpp>
#include <run_program.hpp>
#include <string>
#include <temp_folder.hpp>
#include <web_build.hpp>

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ProgramResult;
using kestrix::testing::readFile;

namespace {

class Cli : public ::testing::Test {
 protected:
  fs::path write(const std::string& name, const LoggerFileBuilder& b) {
    const fs::path p = dir_ / name;
    EXPECT_TRUE(b.writeTo(p.string()));
    return p;
  }

  ProgramResult run(std::vector<std::string> args, const std::string& locale = "C",
                    std::function<void()> inChild = {}) {
    kestrix::testing::ProgramRun program;
    program.args = std::move(args);
    program.folder = dir_.path();
    program.environment = {{"LC_ALL", locale}};
    program.inChild = std::move(inChild);
    return kestrix::testing::runProgram(kestrix::testing::programUnderTest(KESTRIX_CONVERT),
                                        program, dir_.path());
  }

  kestrix::testing::TempFolder dir_;
};

LoggerFileBuilder temperature(std::vector<std::int16_t> samples) {
  LoggerFileBuilder b;
  b.name("Room 1").samples(std::move(samples));
  return b;
}

// The rows of a table, after its four header lines, without their line ends.
std::vector<std::string> dataRows(const std::string& table) {
  std::vector<std::string> rows;
  for (std::size_t at = 0, line = 0; at < table.size(); ++line) {
    const std::size_t end = table.find("\r\n", at);
    if (end == std::string::npos) break;
    if (line >= 4) rows.push_back(table.substr(at, end - at));
    at = end + 2;
  }
  return rows;
}

}  // namespace

TEST_F(Cli, WritesTableToStandardOutputAndStatusToStandardError) {
  write("UC001.PDB", temperature({400, 401}));
  const ProgramResult r = run({"UC001.PDB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Fichier\tRoom 1\r\n\t00001A2B\r\n\tUlmacorder Temp\r\nDate\t\xB0"
            "C\r\n05/03/14 07:30:00\t25.0\r\n05/03/14 07:31:00\t25.1\r\n");
  EXPECT_EQ(r.err, "Done...\n");  // no progress: standard error is no terminal
  EXPECT_EQ(run({"-q", "UC001.PDB"}).err, "");
}

TEST_F(Cli, OutputFileIsReplacedOnlyWhenComplete) {
  write("UC001.PDB", temperature({400}));
  LoggerFileBuilder broken = temperature({400});
  broken.startBytes({0x14, 0x02, 0x30, 0, 0, 0});
  write("UC002.PDB", broken);
  std::ofstream(dir_ / "table.txt") << "earlier table";

  ProgramResult r = run({"-o", "table.txt", "UC001.PDB", "UC002.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "kestrix-convert: UC002.PDB: the start date 30/2/2014 0:0:0 is not a valid date and "
            "time\n");
  EXPECT_EQ(readFile(dir_ / "table.txt"), "earlier table");

  r = run({"--output=table.txt", "--encoding", "utf-8", "UC001.PDB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir_ / "table.txt").substr(0, 15), "Fichier\tRoom 1\r");
  EXPECT_NE(readFile(dir_ / "table.txt").find("\xC2\xB0"), std::string::npos);
  for (const auto& e : fs::directory_iterator(dir_.path())) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
  }

  // The encodings' other names, as --help and the manual page give them.
  const std::string utf8Table = readFile(dir_ / "table.txt");
  ASSERT_EQ(run({"-o", "alias.txt", "--encoding=utf8", "UC001.PDB"}).status, 0);
  EXPECT_EQ(readFile(dir_ / "alias.txt"), utf8Table);
  ASSERT_EQ(run({"-o", "default.txt", "UC001.PDB"}).status, 0);
  ASSERT_EQ(run({"-o", "alias.txt", "--encoding", "cp1252", "UC001.PDB"}).status, 0);
  EXPECT_EQ(readFile(dir_ / "alias.txt"), readFile(dir_ / "default.txt"));
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> wrong{
      {}, {"-x", "UC001.PDB"}, {"-o"}, {"--encoding", "latin9", "UC001.PDB"}};
  for (const auto& args : wrong) {
    const ProgramResult r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("Try 'kestrix-convert --help'"), std::string::npos);
  }
  const std::vector<std::string> many(102, "UC001.PDB");
  EXPECT_EQ(run(many).status, 2);
  EXPECT_NE(run(many).err.find("102 files given; one table takes at most 101"), std::string::npos);

  const ProgramResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kestrix-convert", 0), 0u);
  EXPECT_EQ(run({"--version"}).out.rfind("kestrix-convert ", 0), 0u);
}

#ifdef KESTRIX_WEB_CONVERT
TEST_F(Cli, WorkbooksAndReportsAreUsageErrorsNamingTheNativeProgram) {
  write("UC001.PDB", temperature({400}));
  const std::string tail =
      " is written by the installed kestrix-convert (Debian package kestrix), not by this "
      "build\nTry 'kestrix-convert --help' for more information.\n";
  const ProgramResult workbook = run({"--format", "xlsx", "-o", "t.xlsx", "UC001.PDB"});
  EXPECT_EQ(workbook.status, 2);
  EXPECT_EQ(workbook.err, "kestrix-convert: --format xlsx" + tail);
  const ProgramResult report = run({"--report", "r.pdf", "-o", "t.txt", "UC001.PDB"});
  EXPECT_EQ(report.status, 2);
  EXPECT_EQ(report.err, "kestrix-convert: --report" + tail);
  EXPECT_FALSE(fs::exists(dir_ / "t.xlsx"));
  EXPECT_FALSE(fs::exists(dir_ / "t.txt"));
}
#endif

TEST_F(Cli, OptionsAsGnuProgramsTakeThem) {
  write("-", temperature({400}));  // a file named "-", and one named "-q"
  write("-q", temperature({401}));
  ProgramResult r = run({"-qoone.txt", "--encoding=utf-8", "-", "--", "-q"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = run({"--output", "two.txt", "--encoding", "utf-8", "-o", "two.txt", "./-", "./-q"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(dir_ / "one.txt").starts_with("Fichier\tRoom 1\tRoom 1\r\n"));
  EXPECT_EQ(readFile(dir_ / "one.txt"), readFile(dir_ / "two.txt"));

  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--quiet=1", "-"}, "option '--quiet' takes no value"},
      {{"--summary=", "-"}, "option '--summary' needs a value"},  // never the next word
      {{"-", "--summary"}, "option '--summary' needs a value"},
      {{"-", "--sumary", "s.txt"}, "unknown option '--sumary'"},
  };
  for (const auto& [args, message] : wrong) {
    r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrix-convert: " + message +
                         "\nTry 'kestrix-convert --help' for more information.\n");
  }
}

TEST_F(Cli, DashAsTheTablesPathIsStandardOutput) {
  write("UC001.PDB", temperature({400, 401}));
  const std::string table = run({"-q", "UC001.PDB"}).out;
  ProgramResult r = run({"-q", "-o", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, table);
  EXPECT_FALSE(fs::exists(dir_ / "-"));
  r = run({"-q", "--format=csv", "--output=-", "--summary", "s.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("time,")) << r.out;
  EXPECT_TRUE(readFile(dir_ / "s.txt").starts_with("Title\t"));
  // A file named "-" takes a path that says so.
  r = run({"-q", "-o", "./-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir_ / "-"), table);

  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--format", "xlsx", "-o", "-", "UC001.PDB"},
       "a workbook is written to a file only: give it with -o PATH"},
      {{"-o", "-", "--gaps", "-", "UC001.PDB"}, "-o and --gaps cannot both go to standard output"},
  };
  for (const auto& [args, message] : wrong) {
    r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "kestrix-convert: " + message +
                         "\nTry 'kestrix-convert --help' for more information.\n");
  }
}

TEST_F(Cli, TextToATerminalIsInTheLocalesCharacterSet) {
  write("UC001.PDB", temperature({400}));
  int terminal = -1;
  int terminalSide = -1;
  ASSERT_EQ(::openpty(&terminal, &terminalSide, nullptr, nullptr, nullptr), 0);
  termios raw{};
  ::tcgetattr(terminalSide, &raw);
  ::cfmakeraw(&raw);  // the bytes as written, no CR added
  ::tcsetattr(terminalSide, TCSANOW, &raw);
  auto onTerminal = [&](std::vector<std::string> args) {
    kestrix::testing::ProgramRun program;
    program.args = std::move(args);
    program.folder = dir_.path();
    program.environment = {{"LC_ALL", "C.UTF-8"}};
    program.inChild = [terminalSide] { ::dup2(terminalSide, STDOUT_FILENO); };
    EXPECT_EQ(kestrix::testing::runProgram(kestrix::testing::programUnderTest(KESTRIX_CONVERT),
                                           program, dir_.path())
                  .status,
              0);
    std::string shown;
    char buffer[4096];
    pollfd ready{terminal, POLLIN, 0};
    while (::poll(&ready, 1, 500) == 1) {
      const ssize_t n = ::read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;
      shown.append(buffer, static_cast<std::size_t>(n));
    }
    return shown;
  };
  const std::string utf8 = "\t\u00B0C";  // the unit as the tables write it
  const std::string windows1252 = std::string("\t\xB0") + 'C';
  EXPECT_NE(onTerminal({"--summary", "-", "UC001.PDB"}).find(utf8 + "\t"), std::string::npos);
  EXPECT_NE(onTerminal({"UC001.PDB"}).find(utf8 + "\r\n"), std::string::npos);
  EXPECT_NE(onTerminal({"--encoding", "cp1252", "UC001.PDB"}).find(windows1252 + "\r\n"),
            std::string::npos);
  // "-o -" is standard output, as without -o.
  EXPECT_NE(onTerminal({"-q", "-o", "-", "UC001.PDB"}).find(utf8 + "\r\n"), std::string::npos);
  ::close(terminal);
  ::close(terminalSide);
  // Into a pipe or a file: Windows-1252 whatever the locale.
  ASSERT_EQ(run({"-q", "-o", "./-", "UC001.PDB"}, "C.UTF-8").status, 0);
  EXPECT_NE(readFile(dir_ / "-").find(windows1252 + "\r\n"), std::string::npos);
  EXPECT_NE(run({"--summary", "-", "UC001.PDB"}, "C.UTF-8").out.find(windows1252 + "\t"),
            std::string::npos);
}

TEST_F(Cli, QuietKeepsTheWarningsAndStrictMakesThemFail) {
  write("UC001.PDB", temperature({400, 401}));
  LoggerFileBuilder fast = temperature({400});  // announces more than it holds
  fast.intervalCode(3).sampleCount(3);
  write("UC002.PDB", fast);
  const std::string warning =
      "kestrix-convert: warning: UC002.PDB: the file holds 1 of the 3 samples it announces\n";
  ProgramResult r = run({"-q", "-o", "table.txt", "UC001.PDB", "UC002.PDB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, warning);  // the note on the intervals is no warning
  r = run({"--strict", "--summary", "s.txt", "UC001.PDB", "UC002.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "kestrix-convert: note: UC001.PDB every 60 s, UC002.PDB every 10 s: one row every "
            "10 s\n" +
                warning + "Done... inconsistent file(s)\n");
  EXPECT_TRUE(readFile(dir_ / "s.txt").starts_with("Title\t"));  // written all the same
  EXPECT_EQ(run({"--strict", "-q", "UC001.PDB"}).status, 0);
}

TEST_F(Cli, MissingFileAndDifferingIntervals) {
  ProgramResult r = run({"UC404.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("kestrix-convert: UC404.PDB: cannot open: ", 0), 0u) << r.err;

  write("UC001.PDB", temperature({400, 401}));
  LoggerFileBuilder fast = temperature({400});
  fast.intervalCode(3);
  write("UC002.PDB", fast);
  r = run({"--strict", "UC001.PDB", "UC002.PDB"});
  EXPECT_EQ(r.status, 0);  // a note, not a warning
  EXPECT_EQ(r.err,
            "kestrix-convert: note: UC001.PDB every 60 s, UC002.PDB every 10 s: one row every "
            "10 s\nDone...\n");
  // Each file at its own interval: UC001.PDB's second sample six rows on.
  const std::vector<std::string> rows = dataRows(r.out);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], "05/03/14 07:30:00\t25.0\t25.0");
  EXPECT_EQ(rows[1], "05/03/14 07:30:10\t\t");
  EXPECT_EQ(rows[6], "05/03/14 07:31:00\t25.1\t");
}

TEST_F(Cli, RegionalSettingsComeFromTheLocale) {
  write("UC001.PDB", temperature({400}));
  // C.UTF-8 exists on every Debian system and keeps the defaults.
  EXPECT_NE(run({"UC001.PDB"}, "C.UTF-8").out.find("05/03/14 07:30:00\t25.0"), std::string::npos);
  const ProgramResult german = run({"UC001.PDB"}, "de_DE.UTF-8");
  if (german.out.find("25,0") == std::string::npos) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  EXPECT_NE(german.out.find("05.03.14 07:30:00\t25,0"), std::string::npos);
}

TEST_F(Cli, InputFileCutShortDuringTheRunStopsItCleanly) {
  KESTRIX_NATIVE_ONLY("the WebAssembly build reads its input files; it maps none");
  // The program waits to open a pipe that nobody reads yet, its input files
  // already in memory; the file is cut short, then the pipe opened.
  std::vector<std::int16_t> samples(40000, 400);  // 80 KB: mapped (a smaller file is read)
  const fs::path input = write("UC001.PDB", temperature(samples));
  const fs::path pipe = dir_ / "table.fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  kestrix::testing::ProgramRun program;
  program.args = {"-q", "-o", pipe.string(), input.string()};
  const auto started = kestrix::testing::startProgram(
      kestrix::testing::programUnderTest(KESTRIX_CONVERT), program, dir_.path());
  const bool waiting = kestrix::testing::waitUntil([&] {
                         return kestrix::testing::waitsOpeningFifoWithMapped(started.pid, input) ||
                                kestrix::testing::hasEnded(started.pid);
                       }) &&
                       !kestrix::testing::hasEnded(started.pid);
  if (waiting) {
    fs::resize_file(input, 0);
    readFile(pipe);
  } else {
    ::kill(started.pid, SIGKILL);
  }
  const ProgramResult r = kestrix::testing::finishProgram(started);
  ASSERT_TRUE(waiting) << "the program never waited at the pipe: " << r.err;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "\nkestrix-convert: " + input.string() +
                       ": the file was cut short by another program during the conversion; the "
                       "conversion stopped\n");
}

TEST_F(Cli, ReportIsWrittenBesideTheTableOrRefusedWithoutTheChart) {
  write("UC001.PDB", temperature({400, 401, 402}));
#ifdef KESTRIX_REPORT
  // No display is needed: the program picks the offscreen platform itself.
  ProgramResult r = run({"-q", "-o", "table.txt", "--report", "report.pdf", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(kestrix::testing::readFile(dir_ / "report.pdf").starts_with("%PDF"));
  EXPECT_TRUE(fs::exists(dir_ / "table.txt"));
  // "-" is standard output, which takes no PDF; "./-" names a file.
  r = run({"-q", "--report", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(
      r.err.starts_with("kestrix-convert: a report is written to a file only: give it "
                        "with --report PATH\n"))
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "-"));
  // "Done..." only once every output is written: not before a report that fails.
  r = run({"-o", "table.txt", "--report=missing/report.pdf", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "kestrix-convert: missing/report.pdf: cannot create a file in missing: No such file "
            "or directory\n");
  // Files may grow to 8 KiB only: the disk fills up in the middle of the report.
  r = run({"-q", "--report", "full.pdf", "UC001.PDB"}, "C", [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &small);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kestrix-convert: full.pdf: write error: File too large\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3)
      << "only UC001.PDB, table.txt and report.pdf";
  EXPECT_EQ(run({"--report", "UC001.PDB", "UC001.PDB"}).status, 2);  // never over an input
  r = run({"-q", "--report", "alone.pdf", "UC001.PDB"});             // no table without -o
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(fs::exists(dir_ / "alone.pdf"));
#else
  KESTRIX_NATIVE_ONLY("the WebAssembly command names the native one for a report");
  const ProgramResult r = run({"--report", "report.pdf", "UC001.PDB"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--report needs the chart"), std::string::npos);
#endif
}

TEST_F(Cli, SummaryAloneOrBesideTheTableAndTheMarginCellsOnRequest) {
  // A memory all but full at 1 s: the safety margin marks its first 20 samples.
  LoggerFileBuilder b = temperature(std::vector<std::int16_t>(65436, 400));
  b.intervalCode(0);
  write("UC001.PDB", b);
  const std::string head =
      "Title\tLogger\tLabel\tUnit\tFirst\tLast\tValues\tOverflow\tMissing\tMin\tMin at\tMax\tMax "
      "at\tMean\tMKT\r\n";
  ProgramResult r = run({"--summary", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_NE(r.out.find("\t65416\t20\t0\t25.0\t"), std::string::npos) << r.out;
  r = run({"--summary", "-", "--include-overflowed", "UC001.PDB"});
  EXPECT_NE(r.out.find("\t65436\t0\t0\t25.0\t"), std::string::npos) << r.out;
#ifdef KESTRIX_REPORT
  if (kestrix::testing::testsTheBuiltProgram()) {  // not the Windows build, which has none
    // The report's summary counts the same values as --summary.
    r = run({"-q", "--include-overflowed", "--report", "margin.pdf", "UC001.PDB"});
    ASSERT_EQ(r.status, 0) << r.err;
    if (std::string(KESTRIX_PDFTOTEXT).empty()) {
      ADD_FAILURE() << "no pdftotext (poppler-utils) to read the report back";
    } else {
      kestrix::testing::ProgramRun pdfToText;
      pdfToText.args = {(dir_ / "margin.pdf").string(), "-"};
      pdfToText.folder = dir_.path();
      const ProgramResult text =
          kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, dir_.path());
      EXPECT_NE(text.out.find("65436"), std::string::npos) << text.out;
      EXPECT_EQ(text.out.find("65416"), std::string::npos) << text.out;
    }
  }
#endif

  r = run({"--summary", "s.txt", "-o", "t.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(dir_ / "s.txt").starts_with(head));
  EXPECT_NE(readFile(dir_ / "t.txt").find("\toverflow\r\n"), std::string::npos);
  r = run({"--include-overflowed", "-o", "t.txt", "UC001.PDB"});
  EXPECT_EQ(readFile(dir_ / "t.txt").find("overflow"), std::string::npos);
  // The summary never replaces a logger file.
  r = run({"--summary", "UC001.PDB", "UC001.PDB"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "kestrix-convert: UC001.PDB: is one of the logger files given; it is not "
            "overwritten\n");
}

TEST_F(Cli, LimitsAddToTheSummaryAndListTheExcursions) {
  write("UC001.PDB", temperature({80, 160, 160, 80}));  // 5 10 10 5 degrees
  std::ofstream(dir_ / "limits.toml")
      << "[[limit]]\nunit = \"\u00B0C\"\nlow = 2\nhigh = 8.5\ndelay = \"90s\"\n";
  std::ofstream(dir_ / "wide.toml") << "[[limit]]\nunit = \"\u00B0C\"\nhigh = 30\n";
  ProgramResult r = run({"--limits", "limits.toml", "--summary", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tMean\tMKT\tLow\tHigh\tTime below\tTime above\tExcursions\tAlarms\t"
                       "Result\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\t2\t8.5\t0:00:00\t0:02:00\t1\t1\tfail\r\n"), std::string::npos) << r.out;

  const std::string header =
      "Title\tLogger\tLabel\tUnit\tSide\tStart\tEnd\tDuration\tPeak\tPeak at\tAlarm\tNote\r\n";
  const std::string line =
      "Room 1\t00001A2B\tUlmacorder Temp\t\260C\tabove\t05/03/14 07:31:00\t05/03/14 07:33:00\t"
      "0:02:00\t10.0\t05/03/14 07:31:00\tyes\t\r\n";
  r = run({"--limits=limits.toml", "--excursions", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, header + line);  // no table without -o
  r = run({"-q", "--limits", "limits.toml", "--excursions", "-", "--encoding", "utf-8", "-o",
           "t.txt", "UC001.PDB"});
  EXPECT_EQ(r.out, header + "Room 1\t00001A2B\tUlmacorder Temp\t\u00B0C" +
                       line.substr(line.find("\tabove")));
  EXPECT_TRUE(readFile(dir_ / "t.txt").starts_with("Fichier\t"));
  r = run({"-q", "--limits", "wide.toml", "--excursions", "e.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir_ / "e.txt"), header);  // none: the column names alone
  // Without limits the summary keeps its columns.
  r = run({"--summary", "-", "UC001.PDB"});
  EXPECT_EQ(r.out.find("Low"), std::string::npos);
#ifdef KESTRIX_REPORT
  if (kestrix::testing::testsTheBuiltProgram()) {  // not the Windows build, which has none
    // The report checks the same rules: verdict, excursion, and the limits file
    // named with its SHA-256 beside the input's.
    r = run({"-q", "--limits", "limits.toml", "--report", "limits.pdf", "UC001.PDB"});
    ASSERT_EQ(r.status, 0) << r.err;
    if (!std::string(KESTRIX_PDFTOTEXT).empty()) {
      kestrix::testing::ProgramRun pdfToText;
      pdfToText.args = {"-layout", (dir_ / "limits.pdf").string(), "-"};
      pdfToText.folder = dir_.path();
      const ProgramResult text =
          kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, dir_.path());
      for (const char* expected : {"low 2, high 8.5, delay 0:01:30",
                                   "fail: 1 excursion, 1 alarm, 0:00:00 below, 0:02:00 above",
                                   "05/03/2014 07:31:00", "Limits file: limits.toml", "UC001.PDB"})
        EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;
    }
  }
#endif
}

TEST_F(Cli, LimitsFileErrorsStopBeforeAnythingIsWritten) {
  write("UC001.PDB", temperature({80, 160}));
  std::ofstream(dir_ / "bad.toml") << "[[limit]]\nunit = \"\u00B0C\"\nhihg = 8\n";
  std::ofstream(dir_ / "limits.toml") << "[[limit]]\nunit = \"\u00B0C\"\nhigh = 8\n";
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--excursions", "-", "UC001.PDB"},
       "--excursions needs --limits FILE (the limits an excursion leaves)\n"
       "Try 'kestrix-convert --help' for more information."},
      {{"--limits", "bad.toml", "-o", "t.txt", "--excursions", "e.txt", "UC001.PDB"},
       "bad.toml:3:1: unknown key \"hihg\" in a [[limit]] rule"},
      {{"--limits", "none.toml", "-o", "t.txt", "UC001.PDB"},
       "none.toml: cannot open: No such file or directory"},
      {{"--limits", "limits.toml", "--excursions", "limits.toml", "UC001.PDB"},
       "limits.toml: is the limits file given; it is not overwritten by an output"},
      {{"--limits", "limits.toml", "--excursions", "s.txt", "--summary", "./s.txt", "UC001.PDB"},
       "s.txt: is named for two outputs; each output takes a file of its own"},
      {{"--limits", "limits.toml", "--excursions", "UC001.PDB", "UC001.PDB"},
       "UC001.PDB: is one of the logger files given; it is not overwritten"},
  };
  for (const auto& [args, message] : wrong) {
    const ProgramResult r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "kestrix-convert: " + message + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir_ / "t.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "e.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "s.txt"));
}

TEST_F(Cli, OutputsReachingOneFileThroughLinksAreRefused) {
  write("UC001.PDB", temperature({400, 401}));
  std::ofstream(dir_ / "limits.toml") << "[[limit]]\nunit = \"\u00B0C\"\nhigh = 8\n";
  std::ofstream(dir_ / "earlier.txt") << "earlier table";
  fs::create_symlink("a.txt", dir_ / "b.txt");  // a.txt is not there yet
  fs::create_symlink("b.txt", dir_ / "c.txt");
  fs::create_hard_link(dir_ / "earlier.txt", dir_ / "hard.txt");
  fs::create_symlink("limits.toml", dir_ / "limits-link.txt");
  const std::string shared = ": is named for two outputs; each output takes a file of its own";
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"-o", "a.txt", "--summary", "b.txt", "UC001.PDB"}, "b.txt" + shared},
      {{"--gaps", "c.txt", "-o", "a.txt", "UC001.PDB"}, "c.txt" + shared},
      {{"-o", "earlier.txt", "--periods", "hard.txt", "UC001.PDB"}, "hard.txt" + shared},
      {{"--limits", "limits.toml", "--summary", "limits-link.txt", "UC001.PDB"},
       "limits-link.txt: is the limits file given; it is not overwritten by an output"},
  };
  for (const auto& [args, message] : wrong) {
    const ProgramResult r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "kestrix-convert: " + message + "\n");
  }
  EXPECT_FALSE(fs::exists(dir_ / "a.txt"));
  EXPECT_EQ(readFile(dir_ / "earlier.txt"), "earlier table");
  EXPECT_TRUE(readFile(dir_ / "limits.toml").starts_with("[[limit]]"));
  // A link to nothing yet is written where it points.
  const ProgramResult r = run({"-q", "--summary", "c.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "b.txt"));
  EXPECT_TRUE(readFile(dir_ / "a.txt").starts_with("Title\t"));
}

TEST_F(Cli, AFailedRunReplacesNoOutput) {
  write("UC001.PDB", temperature({400, 401, 402}));
  // Root may write in any folder: the program then runs as nobody, in a
  // folder anybody may write in, beside one nobody may.
  const bool root = ::geteuid() == 0;
  const fs::path shared = dir_ / "shared";
  fs::create_directories(shared / "ro");
  fs::permissions(shared, fs::perms::all);
  fs::permissions(shared / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
  fs::copy_file(dir_ / "UC001.PDB", shared / "UC001.PDB");
  const auto earlier = [&] {
    for (const char* name : {"ok.txt", "s.txt"}) {
      std::ofstream(shared / name) << "earlier " << name;
      fs::permissions(shared / name, fs::perms::all & ~fs::perms::owner_exec &
                                         ~fs::perms::group_exec & ~fs::perms::others_exec);
    }
  };
  const auto asUser = [root] {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(125);
  };
  const auto runThere = [&](std::vector<std::string> args, std::function<void()> inChild) {
    kestrix::testing::ProgramRun program;
    program.args = std::move(args);
    program.folder = shared;
    program.inChild = std::move(inChild);
    return kestrix::testing::runProgram(kestrix::testing::programUnderTest(KESTRIX_CONVERT),
                                        program, dir_.path());
  };
  // Files may grow to 8 KiB only: the report does not fit (a build with reports).
  [[maybe_unused]] const auto smallFiles = [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &small);
  };
  struct Case {
    std::vector<std::string> args;
    std::function<void()> inChild;
    std::string message;
  };
  std::vector<Case> cases{
      // Found before a logger file is read: the missing one is never reached.
      {{"-o", "ok.txt", "--summary", "ro/s.txt", "UC001.PDB"},
       asUser,
       "ro/s.txt: cannot create a file in ro: Permission denied"},
      {{"-o", "ok.txt", "--summary", "ro/s.txt", "UC001.PDB", "UC404.PDB"},
       asUser,
       "ro/s.txt: cannot create a file in ro: Permission denied"},
      // Found only once written: a device in place, refusing its bytes.
      {{"-o", "ok.txt", "--summary", "/dev/full", "UC001.PDB"},
       {},
       "/dev/full: write error: No space left on device"},
  };
#ifdef KESTRIX_REPORT
  cases.push_back({{"-o", "ok.txt", "--summary", "s.txt", "--report", "r.pdf", "UC001.PDB"},
                   smallFiles,
                   "r.pdf: write error: File too large"});
#endif
  for (const Case& c : cases) {
    earlier();
    const ProgramResult r = runThere(c.args, c.inChild);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, "kestrix-convert: " + c.message + "\n");
    EXPECT_EQ(readFile(shared / "ok.txt"), "earlier ok.txt") << c.message;
    EXPECT_EQ(readFile(shared / "s.txt"), "earlier s.txt") << c.message;
    EXPECT_FALSE(fs::exists(shared / "r.pdf"));
    for (const auto& e : fs::directory_iterator(shared))
      EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
  }
  // As that user, with every folder writable, the same run writes them all.
  const ProgramResult r =
      runThere({"-q", "-o", "ok.txt", "--summary", "s.txt", "UC001.PDB"}, asUser);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(shared / "ok.txt").starts_with("Fichier\t"));
  EXPECT_TRUE(readFile(shared / "s.txt").starts_with("Title\t"));
}

TEST_F(Cli, PeriodsAloneOrBesideTheTableWithTheTimeOutsideTheLimits) {
  write("UC001.PDB", temperature({80, 160, 160, 80}));  // 5 10 10 5 degrees from 05/03/14 07:30
  std::ofstream(dir_ / "limits.toml") << "[[limit]]\nunit = \"\u00B0C\"\nlow = 2\nhigh = 8.5\n";
  const std::string header =
      "Title\tLogger\tLabel\tUnit\tPeriod\tRows\tValues\tMin\tMin at\tMax\tMax at\tMean\tMKT\t"
      "Total\tTotal unit\tTime below\tTime above\r\n";
  const std::string channel = "Room 1\t00001A2B\tUlmacorder Temp\t\260C\t";
  const std::string figures =
      "\t4\t4\t5.0\t05/03/14 07:30:00\t10.0\t05/03/14 07:31:00\t7.50\t7.87\t\t\t";
  ProgramResult r = run({"--periods", "-", "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, header + channel + "05/03/14" + figures + "\t\r\n");  // no table without -o
  // A Wednesday's ISO week starts on the Monday before it.
  r = run({"-q", "--period=week", "--limits", "limits.toml", "--periods", "p.txt", "-o", "t.txt",
           "UC001.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir_ / "p.txt"), header + channel + "03/03/14" +
                                          figures.substr(0, figures.size() - 1) +
                                          "\t0:00:00\t0:02:00\r\n");
  EXPECT_TRUE(readFile(dir_ / "t.txt").starts_with("Fichier\t"));
#ifdef KESTRIX_REPORT
  if (kestrix::testing::testsTheBuiltProgram()) {  // not the Windows build, which has none
    // The report's period pages: the week's line under its heading.
    r = run({"-q", "--period", "week", "--report", "weeks.pdf", "UC001.PDB"});
    ASSERT_EQ(r.status, 0) << r.err;
    if (!std::string(KESTRIX_PDFTOTEXT).empty()) {
      kestrix::testing::ProgramRun pdfToText;
      pdfToText.args = {"-layout", (dir_ / "weeks.pdf").string(), "-"};
      pdfToText.folder = dir_.path();
      const std::string text =
          kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, dir_.path()).out;
      EXPECT_NE(text.find("Period table: ISO weeks, over the whole run"), std::string::npos)
          << text;
      EXPECT_NE(text.find("03/03/2014"), std::string::npos) << text;
    }
  }
#endif

  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--periods", "-", "--period", "year", "UC001.PDB"},
       "unknown period 'year' (day, week, month or all)"},
      {{"--period", "day", "-o", "t2.txt", "UC001.PDB"},
       "--period chooses the period of --periods, a workbook or a report"},
      {{"--summary", "-", "--periods", "-", "UC001.PDB"},
       "--summary and --periods cannot both go to standard output"},
  };
  for (const auto& [args, message] : wrong) {
    r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "kestrix-convert: " + message +
                         "\nTry 'kestrix-convert --help' for more information.\n");
  }
  EXPECT_FALSE(fs::exists(dir_ / "t2.txt"));
}

TEST_F(Cli, JoinedDownloadsTheirListAndTheGaps) {
  write("UC001.PDB", temperature({400, 401, 402}));
  LoggerFileBuilder second = temperature({401, 500});  // 07:32 conflicts with the first
  second.start(2014, 3, 5, 7, 31, 0);
  write("UC002.PDB", second);
  LoggerFileBuilder third = temperature({405});  // the newest: it names the column
  third.name("Room 1b").start(2014, 3, 5, 7, 34, 0);
  write("UC003.PDB", third);
  LoggerFileBuilder offGrid = temperature({400});
  offGrid.start(2014, 3, 5, 7, 30, 30);
  write("UC004.PDB", offGrid);

  const ProgramResult r = run({"--join", "--joins", "joins.txt", "--gaps", "-", "-o", "table.txt",
                               "UC001.PDB", "UC002.PDB", "UC003.PDB", "UC004.PDB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "joined 3 downloads of 00001A2B (Room 1b): 4 rows, 2 overlapping, 1 conflicting\n"
            "UC004.PDB is kept apart from UC001.PDB (logger 00001A2B): its start lies 30 s off "
            "the other's 60 s sampling grid\n"
            "Done...\n");
  EXPECT_EQ(readFile(dir_ / "joins.txt"),
            "Title\tLogger\tDownloads\tNames\tRows with values\tOverlapping\tConflicting\tFirst "
            "conflict\r\n"
            "Room 1b\t00001A2B\t3\tUC001.PDB, UC002.PDB, UC003.PDB\t4\t2\t1\t05/03/14 07:32:00\r\n"
            "Room 1\t00001A2B\t1\tUC004.PDB\t1\t0\t0\t\r\n");
  EXPECT_EQ(r.out,
            "Title\tLogger\tLabel\tUnit\tStart\tEnd\tDuration\tCells\r\n"
            "Room 1b\t00001A2B\tUlmacorder Temp\t\xB0"
            "C\t05/03/14 07:33:00\t05/03/14 07:34:00\t0:01:00\tblank\r\n");
  EXPECT_EQ(readFile(dir_ / "table.txt").substr(0, 24), "Fichier\tRoom 1b\tRoom 1\r\n");

  // Over a time window the list counts the window's rows alone.
  EXPECT_EQ(
      run({"-q", "--join", "--joins", "-", "--from", "2014-03-05 07:32", "UC001.PDB", "UC002.PDB",
           "UC003.PDB"})
          .out,
      "Title\tLogger\tDownloads\tNames\tRows with values\tOverlapping\tConflicting\tFirst "
      "conflict\r\n"
      "Room 1b\t00001A2B\t3\tUC001.PDB, UC002.PDB, UC003.PDB\t2\t1\t1\t05/03/14 07:32:00\r\n");

  // Quiet: no line on the joins; without --join, a column per file and no list.
  EXPECT_EQ(run({"-q", "--join", "-o", "t.txt", "UC001.PDB", "UC002.PDB"}).err, "");
  const ProgramResult plain = run({"--joins", "-", "UC001.PDB"});
  EXPECT_EQ(plain.status, 2);
  EXPECT_NE(plain.err.find("--joins needs --join"), std::string::npos);
  const std::vector<std::string> many(102, "UC001.PDB");
  std::vector<std::string> joined{"-q", "--join", "-o", "t.txt"};
  joined.insert(joined.end(), many.begin(), many.end());
  EXPECT_EQ(run(joined).status, 0);
}

TEST_F(Cli, ALimitsFileWithoutARuleIsAWarning) {
  write("UC001.PDB", temperature({400, 401}));
  std::ofstream(dir_ / "empty.toml") << "# limits to come\n";
  ProgramResult r = run({"--limits", "empty.toml", "--summary", "s.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "kestrix-convert: warning: empty.toml holds no limit rule: no channel is checked\n"
            "Done...\n");
  EXPECT_EQ(run({"--strict", "--limits", "empty.toml", "--summary", "s.txt", "UC001.PDB"}).status,
            1);
}

TEST_F(Cli, AWindows1252JoinsListHoldsNoOtherEncoding) {
  // "UCŁódź日本.PDB": ó has its Windows-1252 byte, the others become '?'.
  write(
      "UC\xC5\x81\xC3\xB3"
      "d\xC5\xBA\xE6\x97\xA5\xE6\x9C\xAC.PDB",
      temperature({400}));
  const ProgramResult r = run({"--join", "--joins", "-",
                               "UC\xC5\x81\xC3\xB3"
                               "d\xC5\xBA\xE6\x97\xA5\xE6\x9C\xAC.PDB"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tUC?\xF3"
                       "d???.PDB\t"),
            std::string::npos)
      << r.out;
}
