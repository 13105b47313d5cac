// The program started as a process with no display at all: command-line mode,
// window mode refused, and an installed copy run by an ordinary user.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "logger_file_builder.hpp"
#include "run_program.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ProgramResult;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

constexpr unsigned nobody = 65534;

struct Outcome {
  bool exited = false;  // false: ended by a signal
  int status = -1;
  std::string errors;
};

class ProgramWithoutDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy of the program in a folder of its own: tables go beside it.
    fs::copy_file(KESTRIX_EXE, program / "kestrix");
    LoggerFileBuilder b;
    b.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    b.samples({400, 401, 402});
    ASSERT_TRUE(b.writeTo((data / "UC1.pdb").string()));
    writeFile(data / "uc2.pdb", "cut short");
  }

  // Runs the program with `words` in the data folder with no display and no
  // Qt platform set (but `env`); `asNobody` runs it through setpriv as an
  // ordinary user, as an installed copy is run.
  ProgramResult runWords(const std::vector<std::string>& words, bool asNobody = false,
                         std::vector<std::pair<std::string, std::string>> env = {}) {
    kestrix::testing::ProgramRun run;
    run.folder = data.path();
    run.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (auto& setting : env) run.environment.push_back(std::move(setting));
    std::string exe = (program / "kestrix").string();
    if (asNobody) {
      const std::string id = std::to_string(nobody);
      run.args = {"--reuid=" + id, "--regid=" + id, "--clear-groups", exe};
      exe = "/usr/bin/setpriv";
    }
    run.args.insert(run.args.end(), words.begin(), words.end());
    return kestrix::testing::runProgram(exe, run, scratch.path());
  }

  // The same with `arguments` as words separated by single blanks.
  Outcome run(const std::string& arguments) {
    std::vector<std::string> words;
    for (std::size_t from = 0, to; from <= arguments.size(); from = to + 1) {
      to = std::min(arguments.find(' ', from), arguments.size());
      words.push_back(arguments.substr(from, to - from));
    }
    const ProgramResult result = runWords(words);
    return {result.status < 128, result.status, result.err};
  }

  TempFolder program;
  TempFolder data;
  TempFolder scratch;
};

TEST_F(ProgramWithoutDisplay, ConvertsIntoItsOwnFolderAndEnds) {
  const Outcome outcome = run("UC1.pdb day.txt ignored.txt");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.status, 0) << outcome.errors;
  EXPECT_EQ(outcome.errors, "");
  const std::string table = readFile(program / "day.txt");
  EXPECT_TRUE(table.starts_with("Fichier\tRoom 1\r\n\t00001A2B\r\n")) << table;
  EXPECT_FALSE(fs::exists(data / "day.txt"));
  EXPECT_FALSE(fs::exists(program / "ignored.txt"));
}

TEST_F(ProgramWithoutDisplay, NamesTypedInCapitalsAsTheFilesAreNamedConvertToo) {
  const Outcome outcome = run("UC1.PDB DAY.TXT");
  EXPECT_EQ(outcome.status, 0) << outcome.errors;
  EXPECT_TRUE(readFile(program / "DAY.TXT").starts_with("Fichier\tRoom 1\r\n"));
}

TEST_F(ProgramWithoutDisplay, NamesTheFileListWouldNotShowAreRefusedWithStatus2) {
  writeFile(data / "data.pdb", readFile(data / "UC1.pdb"));
  const std::string here = data.path().string();
  const std::string noLoggerFile = " in " + here + " (names such as UC***.PDB)\n";
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case refused[] = {
      {"uc9.pdb day.txt", "kestrix: no logger file \"uc9.pdb\"" + noLoggerFile},    // no such file
      {"data.pdb day.txt", "kestrix: no logger file \"data.pdb\"" + noLoggerFile},  // not uc*.pdb
      {"../x/UC1.pdb day.txt",  // not in the current folder
       "kestrix: no logger file \"../x/UC1.pdb\"" + noLoggerFile},
      {"UC1.pdb sub/day.txt",  // the table goes into the program's folder
       "kestrix: the table name \"sub/day.txt\" must be a plain file name; the table is written "
       "to the program's folder or, where that cannot be written, the current folder\n"},
  };
  for (const Case& c : refused) {
    const Outcome outcome = run(c.arguments);
    EXPECT_TRUE(outcome.exited) << c.arguments;
    EXPECT_EQ(outcome.status, 2) << c.arguments;
    EXPECT_EQ(outcome.errors, c.message);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(program.path()), fs::directory_iterator()), 1);
}

TEST_F(ProgramWithoutDisplay, AConversionErrorEndsWithStatus1) {
  writeFile(program / "day.txt", "earlier");
  const Outcome outcome = run("uc2.pdb day.txt");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.errors, "kestrix: uc2.pdb: not a logger file (9 bytes, too short for one)\n");
  EXPECT_EQ(readFile(program / "day.txt"), "earlier");
}

TEST_F(ProgramWithoutDisplay, WordsThatFailTheTestMeanWindowModeWhichSaysHowToConvertInstead) {
  // Window mode needs a display: without one the program says so and ends
  // with status 2; above all nothing is converted.
  const std::string expected =
      "kestrix: there is no display to show the window on.\n"
      "Without a display, convert in the folder of the logger files with\n"
      "  kestrix uc001.pdb table.txt\n"
      "or convert any number of files with\n"
      "  kestrix-convert -o table.txt UC*.PDB\n";
  const Outcome outcome = run("UC1.PDB day.csv");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.errors, expected);
  EXPECT_FALSE(fs::exists(program / "day.csv"));
  ProgramResult result = runWords({});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, expected);
  // A display named but not there: Qt gives up, and the program says why.
  result = runWords({"UC1.PDB"}, false, {{"DISPLAY", ":93"}, {"XAUTHORITY", "/nonexistent"}});
  EXPECT_EQ(result.status, 2) << result.err;
  EXPECT_TRUE(result.err.ends_with(expected)) << result.err;
}

TEST_F(ProgramWithoutDisplay, FindsItsFileWhateverTheLetterCaseAndRefusesAnAmbiguousName) {
  ProgramResult result = runWords({"uc1.pdb", "day.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(readFile(program / "day.txt").starts_with("Fichier\tRoom 1\r\n"));

  // Several names in other cases: refused; an exact name wins over them.
  fs::copy_file(data / "UC1.pdb", data / "Uc1.pdb");
  result = runWords({"uc1.pdb", "none.txt"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "kestrix: \"uc1.pdb\" could name any of \"UC1.pdb\" \"Uc1.pdb\" in " +
                            data.path().string() + "; give the name exactly\n");
  EXPECT_FALSE(fs::exists(program / "none.txt"));
  fs::copy_file(data / "UC1.pdb", data / "uc1.pdb");
  result = runWords({"uc1.pdb", "exact.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(ProgramWithoutDisplay, AnOrdinaryUserGetsTheTableInTheFilesFolderOrAMessageNamingBoth) {
  if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv"))
    GTEST_SKIP() << "needs root to run the program as another user";
  // The program's folder belongs to root; the files' folder to the user.
  ASSERT_EQ(::chown(data.path().c_str(), nobody, nobody), 0);
  ProgramResult result = runWords({"uc1.pdb", "day.txt"}, true);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(readFile(data / "day.txt").starts_with("Fichier\tRoom 1\r\n"));
  EXPECT_FALSE(fs::exists(program / "day.txt"));

  ASSERT_EQ(::chown(data.path().c_str(), 0, 0), 0);
  result = runWords({"uc1.pdb", "other.txt"}, true);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrix: the table cannot be written: neither the program's folder " +
                            program.path().string() + " nor the logger files' folder " +
                            data.path().string() + " can be written by this user\n");
  EXPECT_FALSE(fs::exists(data / "other.txt"));
}

TEST_F(ProgramWithoutDisplay, AFileCutShortDuringTheRunIsNamedNotACrash) {
  // The table is a pipe nobody reads yet: the program waits there with its
  // input mapped (80 KB: a smaller file is read); the file is cut short,
  // then the pipe read.
  LoggerFileBuilder large;
  large.name("Room 1").start(2014, 3, 5, 7, 30, 0).samples(std::vector<std::int16_t>(40000, 400));
  ASSERT_TRUE(large.writeTo((data / "UC1.pdb").string()));
  ASSERT_EQ(::mkfifo((program / "day.txt").c_str(), 0600), 0);
  kestrix::testing::ProgramRun run;
  run.folder = data.path();
  run.args = {"UC1.pdb", "day.txt"};
  run.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  const auto started =
      kestrix::testing::startProgram((program / "kestrix").string(), run, scratch.path());
  const bool waiting =
      kestrix::testing::waitUntil([&] {
        return kestrix::testing::waitsOpeningFifoWithMapped(started.pid, data / "UC1.pdb") ||
               kestrix::testing::hasEnded(started.pid);
      }) &&
      !kestrix::testing::hasEnded(started.pid);
  if (waiting) {
    fs::resize_file(data / "UC1.pdb", 0);
    readFile(program / "day.txt");
  } else {
    ::kill(started.pid, SIGKILL);
  }
  const auto result = kestrix::testing::finishProgram(started);
  ASSERT_TRUE(waiting) << "the program never waited at the table: " << result.err;
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "\nkestrix: UC1.pdb: the file was cut short by another program during the "
            "conversion; the conversion stopped\n");
}

}  // namespace

TEST_F(ProgramWithoutDisplay, TwoArgumentsAreTwoWordsWhateverTheyHoldAndAnyLetterCaseFinds) {
  writeFile(data / "UC \xC3\xA9 01.PDB", readFile(data / "UC1.pdb"));  // "UC é 01.PDB"
  ProgramResult r = runWords({"UC \xC3\xA9 01.PDB", "ta ble.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(program / "ta ble.txt").starts_with("Fichier\tRoom 1\r\n"));
  // "ucü02.pdb" names "UCÜ02.PDB": letters beyond A to Z compare folded too.
  writeFile(data /
                "UC\xC3\x9C"
                "02.PDB",
            readFile(data / "UC1.pdb"));
  r =
      runWords({"uc\xC3\xBC"
                "02.pdb",
                "t.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(program / "t.txt"));
}

TEST_F(ProgramWithoutDisplay, HelpAndVersionAreToldWithoutAWindow) {
  ProgramResult r = runWords({"--help"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("Usage: kestrix [LOGGER.PDB TABLE.txt]\n")) << r.out;
  r = runWords({"--version"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("kestrix ")) << r.out;
  EXPECT_EQ(r.err, "");  // no window was tried: no display was asked for
}
