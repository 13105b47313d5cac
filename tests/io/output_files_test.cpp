// The output files of a run: which names reach one file.
#include <gtest/gtest.h>

#include <temp_folder.hpp>

#include "same_file.hpp"

namespace fs = std::filesystem;
using kestrix::sameFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

TEST(SameFile, ComparesTheFilesNotTheirNames) {
  TempFolder d;
  writeFile(d / "a.txt", "a");
  writeFile(d / "twin.txt", "a");  // the same bytes, another file
  fs::create_hard_link(d / "a.txt", d / "hard.txt");
  fs::create_symlink("a.txt", d / "link.txt");
  fs::create_symlink(d / "link.txt", d / "chain.txt");
  for (const char* name : {"a.txt", "hard.txt", "link.txt", "chain.txt"})
    EXPECT_TRUE(sameFile(d / "a.txt", d / name)) << name;
  EXPECT_FALSE(sameFile(d / "a.txt", d / "twin.txt"));
  EXPECT_FALSE(sameFile(d / "a.txt", d / "new.txt"));

  // No file yet: a link to nothing names the file it would create, through
  // links to links; a folder is the same through a link to it.
  fs::create_symlink("new.txt", d / "dangling.txt");
  fs::create_symlink("dangling.txt", d / "dangling2.txt");
  fs::create_directory(d / "sub");
  fs::create_directory_symlink("sub", d / "sublink");
  EXPECT_TRUE(sameFile(d / "new.txt", d / "dangling.txt"));
  EXPECT_TRUE(sameFile(d / "dangling2.txt", d / "new.txt"));
  EXPECT_TRUE(sameFile(d / "sub/../new.txt", d / "./new.txt"));
  EXPECT_TRUE(sameFile(d / "sublink/x.txt", d / "sub/x.txt"));
  EXPECT_FALSE(sameFile(d / "dangling.txt", d / "other.txt"));
  EXPECT_FALSE(sameFile(d / "sub/new.txt", d / "new.txt"));
  EXPECT_FALSE(sameFile(d / "missing/new.txt", d / "new.txt"));
}

}  // namespace
