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
  struct Case {
    const char* arguments;
    const char* named;  // the word the message must name
  };
  const Case refused[] = {
      {"uc9.pdb day.txt", "uc9.pdb"},            // no such file
      {"data.pdb day.txt", "data.pdb"},          // not of the form uc*.pdb
      {"uc1.pdb day.txt", "uc1.pdb"},            // the file is UC1.pdb
      {"../x/UC1.pdb day.txt", "../x/UC1.pdb"},  // not in the current folder
      {"UC1.pdb sub/day.txt", "sub/day.txt"},    // the table goes into the program's folder
  };
  for (const Case& c : refused) {
    const Outcome outcome = run(c.arguments);
    EXPECT_TRUE(outcome.exited) << c.arguments;
    EXPECT_EQ(outcome.status, 2) << c.arguments;
    EXPECT_NE(outcome.errors.find(c.named), std::string::npos) << outcome.errors;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(program.path()), fs::directory_iterator()), 1);
}

TEST_F(ProgramWithoutDisplay, AConversionErrorEndsWithStatus1) {
  writeFile(program / "day.txt", "earlier");
  const Outcome outcome = run("uc2.pdb day.txt");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.errors.find("uc2.pdb"), std::string::npos) << outcome.errors;
  EXPECT_EQ(readFile(program / "day.txt"), "earlier");
}

TEST_F(ProgramWithoutDisplay, WordsThatFailTheTestMeanWindowMode) {
  // Window mode needs a display, so without one the program cannot succeed,
  // and above all it converts nothing.
  const Outcome outcome = run("UC1.PDB day.txt");
  EXPECT_FALSE(outcome.exited && outcome.status == 0);
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
