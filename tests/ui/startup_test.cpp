// The start-up word test and the folder lists, without Qt.

#include <gtest/gtest.h>

#include "folders.hpp"
#include "startup.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;
using namespace kestrix::ui;

namespace {

TEST(StartupWords, OnlyTwoEndingsSelectCommandLineMode) {
  struct Case {
    const char* text;
    bool commandLine;
  };
  const Case cases[] = {
      {"", false},
      {"uc1.pdb", false},               // one word
      {"uc1.pdb out.txt", true},        //
      {"UC1.PDB OUT.TXT", true},        // any letter case
      {"uc1.Pdb out.txt", true},        //
      {"uc1.pdb out.TXt", true},        //
      {"uc1.pdf out.txt", false},       //
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

TEST(Volumes, RealFileSystemsOnly) {
  struct Case {
    const char* device;
    const char* fileSystem;
    const char* mountPoint;
    bool offered;
  };
  const Case cases[] = {
      {"overlay", "overlay", "/", true},  // the root file system, whatever it is
      {"/dev/sda2", "ext4", "/home", true},
      {"/dev/sdb1", "vfat", "/media/ann/USB STICK", true},
      {"server:/export", "nfs4", "/mnt/share", true},
      {"proc", "proc", "/proc", false},
      {"sysfs", "sysfs", "/sys", false},
      {"cgroup2", "cgroup2", "/sys/fs/cgroup", false},
      {"devpts", "devpts", "/dev/pts", false},
      {"/dev/sda3", "ext4", "/dev/shm", false},  // under /dev, whatever its device
      {"tmpfs", "tmpfs", "/run", false},
      {"/dev/loop3", "squashfs", "/snap/core/1", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(holdsRealFiles(c.device, c.fileSystem, c.mountPoint), c.offered) << c.mountPoint;
}

TEST(Volumes, ThePathLiesOnTheVolumeWithTheLongestLeadingMountPoint) {
  const std::vector<Volume> volumes = {
      {"/", ""}, {"/home", ""}, {"/media/usb stick", "USB STICK"}, {"/home/ann", "Home"}};
  EXPECT_EQ(volumeHolding(volumes, "/home/ann/data"), 3);
  EXPECT_EQ(volumeHolding(volumes, "/home/bob"), 1);
  EXPECT_EQ(volumeHolding(volumes, "/home"), 1);
  EXPECT_EQ(volumeHolding(volumes, "/homework"), 0);
  EXPECT_EQ(volumeHolding(volumes, "/"), 0);
  EXPECT_EQ(volumeHolding(volumes, "/media/usb stick/logs"), 2);
  EXPECT_EQ(volumeHolding({{"/home", ""}}, "/tmp"), -1);
}

}  // namespace
