// The platform's POSIX side as the floors above rely on it: new files that
// never take an existing name, replacement in one step, identities through
// links, the folder checks' reasons, mapped and read input, the locale's
// character set, the settings folder and the hand-over to another program.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <temp_folder.hpp>

#include "platform/file_system.hpp"
#include "platform/mapped_file.hpp"
#include "platform/process.hpp"
#include "platform/resource_usage.hpp"
#include "platform/temporary_file.hpp"
#include "platform/terminal.hpp"
#include "platform/user_folders.hpp"

namespace kestrix::platform {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// Sets an environment variable for the life of the object, then puts back
// what was there.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Files, NewFilesNeverTakeAnExistingName) {
  TempFolder dir;
  writeFile(dir / "t.txt", "earlier");
  std::error_code error;
  EXPECT_EQ(createNewFile(dir / "t.txt", error), nullptr);
  EXPECT_EQ(error, std::errc::file_exists);
  EXPECT_EQ(readFile(dir / "t.txt"), "earlier");

  std::FILE* file = createNewFile(dir / "new.txt", error);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(error);
  std::fputs("new", file);
  std::fclose(file);
  EXPECT_EQ(readFile(dir / "new.txt"), "new");
}

TEST(Files, TemporaryFilesLieBesideTheTargetWithinTheNameLimit) {
  TempFolder dir;
  std::error_code error;
  const TemporaryFile a = createTemporaryBeside(dir / "table.txt", error);
  const TemporaryFile b = createTemporaryBeside(dir / "table.txt", error);
  ASSERT_TRUE(a.file && b.file);
  std::fclose(a.file);
  std::fclose(b.file);
  EXPECT_NE(a.path, b.path);
  EXPECT_EQ(a.path.parent_path(), dir.path());
  const std::string name = a.path.filename().string();
  EXPECT_TRUE(name.starts_with(".table.txt.") && name.ends_with(".tmp")) << name;

  const TemporaryFile longer = createTemporaryBeside(dir / std::string(250, 'x'), error);
  ASSERT_NE(longer.file, nullptr) << error.message();
  std::fclose(longer.file);
  EXPECT_LE(longer.path.filename().string().size(), 255u);

  const TemporaryFile none = createTemporaryBeside(dir / "missing" / "t.txt", error);
  EXPECT_EQ(none.file, nullptr);
  EXPECT_EQ(error.message(), "No such file or directory");
  EXPECT_EQ(folderOf("t.txt"), fs::path("."));
}

TEST(Files, ReplacementIsOneStepAndKeepsThePermissionBits) {
  TempFolder dir;
  writeFile(dir / "t.txt", "earlier");
  writeFile(dir / "new", "complete");
  fs::permissions(dir / "t.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  keepPermissions(fs::status(dir / "t.txt"), dir / "new");
  EXPECT_FALSE(replaceFile(dir / "new", dir / "t.txt"));
  EXPECT_EQ(readFile(dir / "t.txt"), "complete");
  EXPECT_EQ(fs::status(dir / "t.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(fs::exists(dir / "new"));
  // Nothing to keep from a folder; a source that is gone names the reason.
  writeFile(dir / "other", "x");
  const fs::perms before = fs::status(dir / "other").permissions();
  keepPermissions(fs::status(dir.path()), dir / "other");
  EXPECT_EQ(fs::status(dir / "other").permissions(), before);
  EXPECT_EQ(replaceFile(dir / "gone", dir / "t.txt").message(), "No such file or directory");
  EXPECT_EQ(readFile(dir / "t.txt"), "complete");
}

TEST(Files, IdentityFollowsLinksAndTellsFilesApart) {
  TempFolder dir;
  writeFile(dir / "a", "1");
  writeFile(dir / "b", "1");
  fs::create_hard_link(dir / "a", dir / "hard");
  fs::create_symlink(dir / "a", dir / "soft");
  ASSERT_TRUE(fileIdentity(dir / "a"));
  EXPECT_EQ(fileIdentity(dir / "a"), fileIdentity(dir / "hard"));
  EXPECT_EQ(fileIdentity(dir / "a"), fileIdentity(dir / "soft"));
  EXPECT_NE(fileIdentity(dir / "a"), fileIdentity(dir / "b"));
  EXPECT_EQ(fileIdentity(dir.path() / "." / "a"), fileIdentity(dir / "a"));
  EXPECT_FALSE(fileIdentity(dir / "missing"));
}

TEST(Files, FolderChecksGiveTheReason) {
  TempFolder dir;
  writeFile(dir / "file", "x");
  EXPECT_FALSE(checkFolderTakesNewFiles(dir.path()));
  EXPECT_EQ(checkFolderTakesNewFiles(dir / "missing").message(), "No such file or directory");
  EXPECT_EQ(checkFolderTakesNewFiles(dir / "file").message(), "Not a directory");
  if (::geteuid() != 0) {  // root writes anywhere but on a read-only mount
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(checkFolderTakesNewFiles(dir / "ro").message(), "Permission denied");
  }
  EXPECT_GT(freeSpace(dir.path()).value_or(0), 0u);
  EXPECT_FALSE(freeSpace(dir / "missing"));
  EXPECT_EQ(libraryFileName(dir / "t.txt"), (dir / "t.txt").string());
}

TEST(MappedFiles, GiveTheBytesOfRegularFilesWithinTheLimit) {
  TempFolder dir;
  std::string small(1000, 's'), large(200 * 1024, 'l');
  small[10] = '\0';
  large.back() = 'e';
  writeFile(dir / "small", small);
  writeFile(dir / "large", large);
  writeFile(dir / "empty", "");
  for (const auto& [name, bytes] : {std::pair{"small", &small}, {"large", &large}}) {
    const std::optional<FileBytes> got = mapFile(dir / name, large.size(), name);
    ASSERT_TRUE(got) << name;
    EXPECT_EQ(std::string(got->bytes.begin(), got->bytes.end()), *bytes) << name;
  }
  // Left to the caller's reading, with its own errors.
  EXPECT_FALSE(mapFile(dir / "large", large.size() - 1, "large"));
  EXPECT_FALSE(mapFile(dir / "small", small.size() - 1, "small"));
  EXPECT_FALSE(mapFile(dir / "empty", large.size(), "empty"));
  EXPECT_FALSE(mapFile(dir.path(), large.size(), "folder"));
  EXPECT_FALSE(mapFile(dir / "missing", large.size(), "missing"));
}

TEST(Terminal, CharacterSetIsTheEnvironmentsLocale) {
  const ScopedVariable all("LC_ALL", "C.UTF-8");
  EXPECT_TRUE(terminalTakesUtf8());
  {
    const ScopedVariable c("LC_ALL", "C");
    EXPECT_FALSE(terminalTakesUtf8());
  }
  const ScopedVariable unknown("LC_ALL", "xx_NOWHERE.UTF-8");  // no such locale
  EXPECT_FALSE(terminalTakesUtf8());
}

TEST(UserFolders, SettingsFollowXdgThenHomeThenTheUserList) {
  {
    const ScopedVariable config("XDG_CONFIG_HOME", "/srv/config");
    EXPECT_EQ(settingsFolder(), fs::path("/srv/config/kestrix"));
  }
  const ScopedVariable relative("XDG_CONFIG_HOME", "config");
  {
    const ScopedVariable home("HOME", "/home/ann");
    EXPECT_EQ(settingsFolder(), fs::path("/home/ann/.config/kestrix"));
  }
  const ScopedVariable noHome("HOME", nullptr);
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(settingsFolder(), fs::path(user->pw_dir) / ".config" / "kestrix");
}

TEST(Process, FindsItselfAndSaysWhyAnotherCannotRun) {
  std::error_code error;
  const fs::path self = programFile(error);
  EXPECT_FALSE(error);
  EXPECT_EQ(self.filename(), "platform_test");
  EXPECT_TRUE(isRunnable(self));
  TempFolder dir;
  writeFile(dir / "plain", "#!/bin/sh\n");
  EXPECT_FALSE(isRunnable(dir / "plain"));
  EXPECT_FALSE(isRunnable(dir / "missing"));
  char name[] = "missing";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(runInstead(dir / "missing", argv).message(), "No such file or directory");
}

// A command's exit status, processor time and memory; a program that is not
// there, by the system's reason.
TEST(ResourceUsage, CommandsRunToTheirEndAndSayWhatTheyTook) {
  char shell[] = "sh", dashC[] = "-c",
       work[] = "i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done; exit 3";
  char* command[] = {shell, dashC, work, nullptr};
  CommandUsage usage;
  EXPECT_FALSE(runToEnd(command, usage));
  EXPECT_EQ(usage.exitStatus, 3);
  EXPECT_GT(usage.processorMilliseconds, 0);
  EXPECT_GT(usage.peakMemoryKiB, 0);
  char missing[] = "kestrix-no-such-program";
  char* absent[] = {missing, nullptr};
  EXPECT_EQ(runToEnd(absent, usage).message(), "No such file or directory");
  EXPECT_GT(peakMemoryKiB().value_or(0), 0);
  const double before = threadProcessorMilliseconds();
  volatile double sum = 0;
  for (int i = 0; i < 20'000'000 && threadProcessorMilliseconds() - before < 1; ++i) sum = sum + i;
  EXPECT_GE(threadProcessorMilliseconds() - before, 1);
}

}  // namespace
}  // namespace kestrix::platform
