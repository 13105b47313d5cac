// The program started as a process in command-line mode, with no display at all.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>

#include "logger_file_builder.hpp"
#include "run_program.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

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

  // Runs the program in the data folder with no display and no Qt platform
  // set; `arguments` are words separated by single blanks.
  Outcome run(const std::string& arguments) {
    kestrix::testing::ProgramRun run;
    run.folder = data.path();
    for (std::size_t from = 0, to; from <= arguments.size(); from = to + 1) {
      to = std::min(arguments.find(' ', from), arguments.size());
      run.args.push_back(arguments.substr(from, to - from));
    }
    run.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    const auto result =
        kestrix::testing::runProgram((program / "kestrix").string(), run, scratch.path());
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
  EXPECT_EQ(outcome.errors,
            "kestrix: uc2.pdb: file header cut short: the file has 9 bytes, a logger file at "
            "least 78\n");
  EXPECT_EQ(readFile(program / "day.txt"), "earlier");
}

TEST_F(ProgramWithoutDisplay, WordsThatFailTheTestMeanWindowMode) {
  // Window mode needs a display: without one the program says so and ends
  // with status 2; above all nothing is converted.
  const Outcome outcome = run("UC1.PDB day.txt");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_TRUE(outcome.errors.starts_with("kestrix: there is no display")) << outcome.errors;
  EXPECT_FALSE(fs::exists(program / "day.txt"));
}

TEST_F(ProgramWithoutDisplay, AFileCutShortDuringTheRunIsNamedNotACrash) {
  // The table is a pipe nobody reads yet: the program waits there with its
  // input mapped; the file is cut short, then the pipe read.
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
