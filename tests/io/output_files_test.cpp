// The output files of a run: which names reach one file, the check of a
// target's folder, and files that replace their targets all together.
#include <gtest/gtest.h>

#include <temp_folder.hpp>

#include "error.hpp"
#include "mapped_file.hpp"
#include "output_target.hpp"
#include "pending_outputs.hpp"
#include "platform/mapped_file.hpp"
#include "same_file.hpp"

namespace fs = std::filesystem;
using kestrix::ConversionError;
using kestrix::PendingOutputs;
using kestrix::sameFile;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

template <typename F>
std::string messageOf(F&& f) {
  try {
    f();
  } catch (const ConversionError& e) {
    return e.what();
  }
  return "no error";
}

// Names in `folder` that start with a dot: temporary files left behind.
std::vector<std::string> temporaries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".")) names.push_back(name);
  }
  return names;
}

TEST(SameFile, ComparesTheFilesNotTheirNames) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need rights a Windows user lacks";
#endif
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

TEST(RefuseUnsafeTarget, ALinkToNothingIsCheckedWhereItPointsADeviceNotAtAll) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and /dev are POSIX";
#endif
  TempFolder d;
  // A link to nothing is written where it points, and that folder checked.
  fs::create_symlink("missing/t.txt", d / "link.txt");
  const fs::path pointed = fs::weakly_canonical(d / "missing/t.txt");
  EXPECT_EQ(messageOf([&] { kestrix::refuseUnsafeTarget(d / "link.txt"); }),
            pointed.string() + ": cannot create a file in " + pointed.parent_path().string() +
                ": No such file or directory");
  // A device is written in place, whatever its folder allows.
  EXPECT_EQ(messageOf([] { kestrix::refuseUnsafeTarget("/dev/null"); }), "no error");
}

TEST(PendingOutputs, TargetsAreReplacedTogetherOnCommitOrNotAtAll) {
  TempFolder d;
  for (const bool commit : {false, true}) {
    writeFile(d / "one.txt", "earlier one");
    writeFile(d / "two.pdf", "earlier two");
    {
      PendingOutputs pending;
      pending.addSink(d / "one.txt").write("new one");
      pending.addWrittenFile(d / "two.pdf", "a report",
                             [](const fs::path& file) { writeFile(file, "new two"); });
      EXPECT_EQ(readFile(d / "one.txt"), "earlier one");
      EXPECT_EQ(readFile(d / "two.pdf"), "earlier two");
      if (commit) pending.commit();
    }
    EXPECT_EQ(readFile(d / "one.txt"), commit ? "new one" : "earlier one");
    EXPECT_EQ(readFile(d / "two.pdf"), commit ? "new two" : "earlier two");
    EXPECT_EQ(temporaries(d.path()), std::vector<std::string>{});
  }

  // A writer's error names the target, not the temporary file it was given.
  PendingOutputs pending;
  EXPECT_EQ(messageOf([&] {
              pending.addWrittenFile(d / "two.pdf", "a report", [](const fs::path& file) {
                throw ConversionError(kestrix::ErrorKind::CannotWrite, file.string(),
                                      "write error: File too large");
              });
            }),
            (d / "two.pdf").string() + ": write error: File too large");
  EXPECT_EQ(temporaries(d.path()), std::vector<std::string>{});
}

TEST(PendingOutputs, AWriteErrorReplacesNothingAndAFailedRenameNamesTheFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "/dev/full is POSIX";
#endif
  TempFolder d;
  writeFile(d / "one.txt", "earlier one");
  {
    // /dev/full takes the bytes into the stream's buffer, and refuses them
    // only when they are flushed: before any target is replaced.
    PendingOutputs pending;
    pending.addSink(d / "one.txt").write("new one");
    pending.addSink("/dev/full").write("summary");
    EXPECT_EQ(messageOf([&] { pending.commit(); }),
              "/dev/full: write error: No space left on device");
  }
  EXPECT_EQ(readFile(d / "one.txt"), "earlier one");

  // A folder with a file in it turns up at the second target after the
  // check: nothing can be renamed over it, and the first is replaced already.
  {
    PendingOutputs pending;
    pending.addSink(d / "one.txt").write("new one");
    pending.addSink(d / "two.txt").write("new two");
    pending.addSink(d / "three.txt").write("new three");
    fs::create_directory(d / "two.txt");
    writeFile(d / "two.txt" / "kept", "");
    EXPECT_EQ(messageOf([&] { pending.commit(); }),
              (d / "two.txt").string() + ": cannot replace the file: Is a directory; already " +
                  "replaced: " + (d / "one.txt").string());
  }
  EXPECT_EQ(readFile(d / "one.txt"), "new one");
  EXPECT_FALSE(fs::exists(d / "three.txt"));
  EXPECT_EQ(temporaries(d.path()), std::vector<std::string>{});
}

}  // namespace

// A logger file cut short while several outputs wait beside their targets:
// the guard removes every one of their temporary files.
TEST(PendingOutputsDeathTest, AFaultOnAMappedFileRemovesEveryTemporaryFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to cut short a mapped file";
#endif
  TempFolder d;
  const fs::path input = d / "UC001.PDB";
  writeFile(input, std::string(80 * 1024, 'x'));  // large enough to be mapped
  EXPECT_EXIT(
      {
        const kestrix::InputBytes mapped = kestrix::mapInputFile(input, "UC001.PDB");
        kestrix::platform::guardMappedFiles("kestrix-test");
        PendingOutputs pending;
        pending.addSink(d / "one.txt").write("one");
        pending.addSink(d / "two.txt").write("two");
        fs::resize_file(input, 0);
        const volatile std::uint8_t* last = mapped.bytes.data() + 70000;
        std::printf("%d\n", *last);
      },
      ::testing::ExitedWithCode(1), "kestrix-test: UC001.PDB: the file was cut short");
  EXPECT_EQ(temporaries(d.path()), std::vector<std::string>{});
}
