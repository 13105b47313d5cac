// The start-up word test, the folder lists and command-line mode, without Qt.

#include <gtest/gtest.h>

#include <sstream>

#include "convert.hpp"
#include "folders.hpp"
#include "logger_file_builder.hpp"
#include "startup.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;
using namespace kestrix::ui;

namespace {

TEST(StartupWords, OnlyTwoExactEndingsSelectCommandLineMode) {
  struct Case {
    const char* text;
    bool commandLine;
  };
  const Case cases[] = {
      {"", false},
      {"uc1.pdb", false},               // one word
      {"uc1.pdb out.txt", true},        //
      {"UC1.PDB out.txt", false},       // capitals fail
      {"uc1.Pdb out.txt", false},       // mixed case fails
      {"uc1.pdb out.TXT", false},       //
      {"uc1.pdb  out.txt", false},      // two blanks: word 2 is empty
      {" uc1.pdb out.txt", false},      // leading blank: word 1 is empty
      {"\"uc1.pdb\" out.txt", false},   // quotes are ordinary characters
      {"out.txt uc1.pdb", false},       // order counts
      {"uc1.pdb out.txt extra", true},  // further words are ignored
      {"uc1.pdb out.txt ", true},       //
      {".pdb .txt", true},              // nothing but the endings
      {"uc1.pdb\tout.txt", false},      // only blanks separate words
  };
  for (const Case& c : cases)
    EXPECT_EQ(commandLineMode(c.text).has_value(), c.commandLine) << '"' << c.text << '"';

  const auto words = commandLineMode("uc1.pdb out.txt extra");
  ASSERT_TRUE(words);
  EXPECT_EQ(words->dataFile, "uc1.pdb");
  EXPECT_EQ(words->tableFile, "out.txt");
}

TEST(StartupWords, ArgumentsAreJoinedBeforeTheyAreCut) {
  const char* argv[] = {"kestrix", "my file.pdb", "out.txt"};
  EXPECT_EQ(argumentText(3, argv), "my file.pdb out.txt");
  EXPECT_EQ(argumentText(1, argv), "");
  // The blank inside the first argument cuts it: word 2 is "file.pdb".
  EXPECT_FALSE(commandLineMode(argumentText(3, argv)));
  EXPECT_EQ(splitWords("a  b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(splitWords(""), (std::vector<std::string>{""}));
}

TEST(FileList, ShowsLoggerFilesOnlyInNameOrder) {
  TempFolder dir;
  for (const char* name : {"uc2.pdb", "data.pdb", "UC1.PDB", "UC10.PDB", "Uc.Pdb", ".uc3.pdb",
                           "xuc4.pdb", "uc5.pdb.bak", "uc6.pd"})
    writeFile(dir / name, "x");
  fs::create_directory(dir / "uc7.pdb");
  fs::create_symlink(dir / "UC1.PDB", dir / "uc8.pdb");

  EXPECT_EQ(loggerFilesIn(dir.path()),
            (std::vector<std::string>{"Uc.Pdb", "UC1.PDB", "UC10.PDB", "uc2.pdb", "uc8.pdb"}));
  EXPECT_TRUE(loggerFilesIn(dir / "missing").empty());
}

TEST(FileList, SubfoldersAreVisibleFoldersInNameOrder) {
  TempFolder dir;
  for (const char* name : {"beta", "Alpha", ".hidden", "gamma"}) fs::create_directory(dir / name);
  writeFile(dir / "file", "x");
  EXPECT_EQ(subfoldersOf(dir.path()), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
}

TEST(Volumes, RealFileSystemsOnlyFromTheMountTable) {
  const char* table =
      "proc /proc proc rw 0 0\n"
      "sysfs /sys sysfs rw 0 0\n"
      "overlay / overlay rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "devpts /dev/pts devpts rw 0 0\n"
      "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
      "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
      "server:/export /mnt/share nfs4 rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "broken line\n";
  const auto volumes = parseMounts(table);
  std::vector<std::string> points;
  for (const Volume& v : volumes) points.push_back(v.mountPoint.string());
  EXPECT_EQ(points, (std::vector<std::string>{"/", "/home", "/media/usb stick", "/mnt/share"}));

  EXPECT_EQ(volumeHolding(volumes, "/home/ann/data"), 1);
  EXPECT_EQ(volumeHolding(volumes, "/home"), 1);
  EXPECT_EQ(volumeHolding(volumes, "/homework"), 0);
  EXPECT_EQ(volumeHolding(volumes, "/"), 0);
  EXPECT_EQ(volumeHolding(volumes, "/media/usb stick/logs"), 2);

  const auto mounted = mountedVolumes();
  ASSERT_FALSE(mounted.empty());
  EXPECT_GE(volumeHolding(mounted, fs::current_path()), 0);
}

TEST(Clipboard, AtMostASpreadsheetOfLines) {
  std::string text;
  for (std::size_t i = 0; i < clipboardMaxLines; ++i) text += "\r\n";
  EXPECT_TRUE(fitsClipboard(text));
  EXPECT_FALSE(fitsClipboard(text + "x"));
  EXPECT_FALSE(fitsClipboard(text + "\r\n"));
  EXPECT_TRUE(fitsClipboard(""));
}

class CommandLineMode : public ::testing::Test {
 protected:
  void SetUp() override {
    LoggerFileBuilder b;
    b.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    b.samples({400, 401, 402});
    ASSERT_TRUE(b.writeTo((data / "UC1.pdb").string()));
    writeFile(data / "uc2.pdb", "too short");
    writeFile(data / "data.pdb", readFile(data / "UC1.pdb"));
  }

  int run(const std::string& text) {
    const auto words = commandLineMode(text);
    EXPECT_TRUE(words) << text;
    return runCommandLine(*words, data.path(), program.path(), {}, messages);
  }

  TempFolder data;
  TempFolder program;
  std::ostringstream messages;
};

TEST_F(CommandLineMode, ConvertsTheNamedFileIntoTheProgramFolder) {
  EXPECT_EQ(run("UC1.pdb table.txt"), exitConverted);
  const std::string table = readFile(program / "table.txt");
  EXPECT_TRUE(table.starts_with("Fichier\tRoom 1\r\n\t00001A2B\r\n")) << table;
  EXPECT_NE(table.find("05/03/14 07:32:00\t"), std::string::npos) << table;
  EXPECT_EQ(messages.str(), "");
}

TEST_F(CommandLineMode, RefusesNamesTheFileListWouldNotShow) {
  writeFile(program / "table.txt", "earlier");
  EXPECT_EQ(run("uc9.pdb table.txt"), exitBadArguments);   // no such file
  EXPECT_EQ(run("data.pdb table.txt"), exitBadArguments);  // outside "uc*.pdb"
  EXPECT_EQ(run("uc1.pdb table.txt"), exitBadArguments);   // the file is UC1.pdb
  EXPECT_EQ(run("../x/UC1.pdb table.txt"), exitBadArguments);
  EXPECT_EQ(run("UC1.pdb sub/table.txt"), exitBadArguments);
  EXPECT_NE(messages.str().find("uc9.pdb"), std::string::npos) << messages.str();
  EXPECT_NE(messages.str().find("sub/table.txt"), std::string::npos) << messages.str();
  EXPECT_EQ(readFile(program / "table.txt"), "earlier");
}

TEST_F(CommandLineMode, AFailedConversionNamesTheFileAndKeepsTheOldTable) {
  writeFile(program / "table.txt", "earlier");
  EXPECT_EQ(run("uc2.pdb table.txt"), exitConversionFailed);
  EXPECT_NE(messages.str().find("uc2.pdb"), std::string::npos) << messages.str();
  EXPECT_EQ(readFile(program / "table.txt"), "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(program.path()), fs::directory_iterator()), 1);
}

}  // namespace
