// The program as an installed copy is used: by an ordinary user who cannot
// write the program's folder, with logger files under their usual capital
// names, and with no display at all.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logger_file_builder.hpp"
#include "run_program.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;

namespace {

constexpr unsigned nobody = 65534;

class InstalledCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(KESTRIX_EXE, program / "kestrix");
    LoggerFileBuilder b;
    b.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    b.samples({400, 401, 402});
    ASSERT_TRUE(b.writeTo((data / "UC001.PDB").string()));
  }

  // Runs the program in the data folder with no display; `asNobody` runs it
  // through setpriv as an ordinary user, as an installed copy is run.
  kestrix::testing::ProgramResult run(std::vector<std::string> words, bool asNobody = false,
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

  TempFolder program;
  TempFolder data;
  TempFolder scratch;
};

TEST_F(InstalledCopy, FindsItsFileWhateverTheLetterCaseAndRefusesAnAmbiguousName) {
  auto result = run({"uc001.pdb", "day.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(readFile(program / "day.txt").starts_with("Fichier\tRoom 1\r\n"));

  // Several names in other cases: refused; an exact name wins over them.
  fs::copy_file(data / "UC001.PDB", data / "Uc001.pdb");
  result = run({"uc001.pdb", "none.txt"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "kestrix: \"uc001.pdb\" could name any of \"UC001.PDB\" \"Uc001.pdb\" in " +
                            data.path().string() + "; give the name exactly\n");
  EXPECT_FALSE(fs::exists(program / "none.txt"));
  fs::copy_file(data / "UC001.PDB", data / "uc001.pdb");
  result = run({"uc001.pdb", "exact.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(InstalledCopy, AnOrdinaryUserGetsTheTableInTheFilesFolderOrAMessageNamingBoth) {
  if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv"))
    GTEST_SKIP() << "needs root to run the program as another user";
  // The program's folder belongs to root; the files' folder to the user.
  ASSERT_EQ(::chown(data.path().c_str(), nobody, nobody), 0);
  auto result = run({"uc001.pdb", "day.txt"}, true);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(readFile(data / "day.txt").starts_with("Fichier\tRoom 1\r\n"));
  EXPECT_FALSE(fs::exists(program / "day.txt"));

  ASSERT_EQ(::chown(data.path().c_str(), 0, 0), 0);
  result = run({"uc001.pdb", "other.txt"}, true);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrix: the table cannot be written: neither the program's folder " +
                            program.path().string() + " nor the logger files' folder " +
                            data.path().string() + " can be written by this user\n");
  EXPECT_FALSE(fs::exists(data / "other.txt"));
}

TEST_F(InstalledCopy, WithoutADisplayTheWindowModeSaysHowToConvertInstead) {
  const std::string expected =
      "kestrix: there is no display to show the window on.\n"
      "Without a display, convert in the folder of the logger files with\n"
      "  kestrix uc001.pdb table.txt\n"
      "or convert any number of files with\n"
      "  kestrix-convert -o table.txt UC*.PDB\n";
  auto result = run({});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, expected);
  // A display named but not there: Qt gives up, and the program says why.
  result = run({"UC001.PDB"}, false, {{"DISPLAY", ":93"}, {"XAUTHORITY", "/nonexistent"}});
  EXPECT_EQ(result.status, 2) << result.err;
  EXPECT_TRUE(result.err.ends_with(expected)) << result.err;
}

}  // namespace
