// The start-up word test and the folder lists, without Qt.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "folders.hpp"
#include "startup.hpp"
#include "temp_folder.hpp"

namespace fs = std::filesystem;
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
}

TEST(Volumes, TheCurrentFolderLiesOnTheVolumeFoundForIt) {
  const auto mounted = mountedVolumes();
  const auto root = std::find_if(mounted.begin(), mounted.end(),
                                 [](const Volume& v) { return v.mountPoint == "/"; });
  ASSERT_NE(root, mounted.end()) << "no / among the volumes";
  EXPECT_EQ(volumeHolding(mounted, "/"), root - mounted.begin());

  const fs::path here = fs::current_path();
  const int holding = volumeHolding(mounted, here);
  ASSERT_GE(holding, 0);
  const fs::path& top = mounted[holding].mountPoint;
  // Its mount point leads the path...
  EXPECT_EQ(here.lexically_relative(top).string().rfind("..", 0), std::string::npos)
      << top << " does not hold " << here;
  // ... and, when the folder is on one of the listed volumes at all (not on a
  // pseudo file system mounted inside one), it is that volume's device.
  struct stat folder {};
  ASSERT_EQ(::stat(here.c_str(), &folder), 0);
  const bool listed = std::any_of(mounted.begin(), mounted.end(), [&](const Volume& v) {
    struct stat point {};
    return ::stat(v.mountPoint.c_str(), &point) == 0 && point.st_dev == folder.st_dev;
  });
  struct stat found {};
  ASSERT_EQ(::stat(top.c_str(), &found), 0);
  if (listed) {
    EXPECT_EQ(found.st_dev, folder.st_dev) << top << " for " << here;
  }
}

}  // namespace
