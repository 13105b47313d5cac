// The door to the operating system on Windows (platform/windows/): wide
// names, files held open by others, file identities, mapped input, the
// program itself and the user's folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <temp_folder.hpp>
#include <thread>

#include "platform/file_system.hpp"
#include "platform/mapped_file.hpp"
#include "platform/process.hpp"
#include "platform/program_start.hpp"
#include "platform/user_folders.hpp"

namespace kestrix::platform {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// A file opened as Excel opens a table it shows: others may read it, not write it.
HANDLE holdOpen(const fs::path& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(WindowsFiles, WideNamesAndFilesOthersHold) {
  TempFolder dir;
  const fs::path name = dir.path() / L"K\u00FChlraum \u6E29\u5EA6.txt";
  std::error_code error;
  std::FILE* file = createNewFile(name, error);
  ASSERT_NE(file, nullptr) << error.message();
  std::fputs("new", file);
  std::fclose(file);
  EXPECT_EQ(readFile(name), "new");
  EXPECT_EQ(createNewFile(name, error), nullptr);
  EXPECT_EQ(error, std::errc::file_exists);
  EXPECT_TRUE(libraryFileName(name).ends_with("\\K\xC3\xBChlraum \xE6\xB8\xA9\xE5\xBA\xA6.txt"));

  // Held open without sharing: busy, not a read-only file; read-only: EACCES.
  const HANDLE held = holdOpen(name);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  errno = 0;
  EXPECT_EQ(openFile(name, "r+b"), nullptr);
  EXPECT_EQ(errno, EBUSY);
  std::FILE* reading = openFile(name, "rb");
  EXPECT_NE(reading, nullptr);
  if (reading) std::fclose(reading);
  CloseHandle(held);
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY);
  errno = 0;
  EXPECT_EQ(openFile(name, "r+b"), nullptr);
  EXPECT_EQ(errno, EACCES);
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, ReplacementWaitsForAFileHeldAMoment) {
  TempFolder dir;
  writeFile(dir / "t.txt", "earlier");
  writeFile(dir / "new", "complete");
  // Let go within the retries, as a virus scanner does.
  const HANDLE held = holdOpen(dir / "t.txt");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread scanner([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CloseHandle(held);
  });
  const std::error_code replaced = replaceFile(dir / "new", dir / "t.txt");
  scanner.join();
  EXPECT_FALSE(replaced) << replaced.message();
  EXPECT_EQ(readFile(dir / "t.txt"), "complete");
  EXPECT_FALSE(fs::exists(dir / "new"));

  // Held throughout: the reason, and both files as they were.
  writeFile(dir / "new", "second");
  const HANDLE kept = holdOpen(dir / "t.txt");
  const std::error_code refused = replaceFile(dir / "new", dir / "t.txt");
  CloseHandle(kept);
  EXPECT_TRUE(refused == std::errc::device_or_resource_busy ||
              refused == std::errc::permission_denied)
      << refused.message();
  EXPECT_EQ(readFile(dir / "t.txt"), "complete");
  EXPECT_EQ(replaceFile(dir / "gone", dir / "t.txt"), std::errc::no_such_file_or_directory);
}

TEST(WindowsFiles, IdentityTellsFilesApartWhateverTheirNames) {
  TempFolder dir;
  writeFile(dir / "a.txt", "1");
  writeFile(dir / "b.txt", "1");
  fs::create_hard_link(dir / "a.txt", dir / "hard.txt");
  ASSERT_TRUE(fileIdentity(dir / "a.txt"));
  EXPECT_NE(fileIdentity(dir / "a.txt")->file, 0u);  // not st_ino, which is 0 here
  EXPECT_EQ(fileIdentity(dir / "a.txt"), fileIdentity(dir / "hard.txt"));
  EXPECT_EQ(fileIdentity(dir / "a.txt"), fileIdentity(dir / "A.TXT"));
  EXPECT_EQ(fileIdentity(dir / "a.txt"), fileIdentity(dir.path() / "." / "a.txt"));
  EXPECT_NE(fileIdentity(dir / "a.txt"), fileIdentity(dir / "b.txt"));
  EXPECT_FALSE(fileIdentity(dir / "missing"));
  EXPECT_TRUE(fileIdentity(dir.path()));  // a folder too
}

TEST(WindowsFiles, FolderChecksAndFreeSpace) {
  TempFolder dir;
  writeFile(dir / "file", "x");
  EXPECT_FALSE(checkFolderTakesNewFiles(dir.path()));
  EXPECT_EQ(checkFolderTakesNewFiles(dir / "missing"), std::errc::no_such_file_or_directory);
  EXPECT_EQ(checkFolderTakesNewFiles(dir / "file"), std::errc::not_a_directory);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  EXPECT_GT(freeSpace(dir.path()).value_or(0), 0u);
}

TEST(WindowsMappedFiles, GiveTheBytesOfRegularFilesWithinTheLimit) {
  TempFolder dir;
  std::string small(1000, 's'), large(200 * 1024, 'l');
  large.back() = 'e';
  writeFile(dir / "small", small);
  writeFile(dir / "large", large);
  writeFile(dir / "empty", "");
  for (const auto& [name, bytes] : {std::pair{"small", &small}, {"large", &large}}) {
    const std::optional<FileBytes> got = mapFile(dir / name, large.size(), name);
    ASSERT_TRUE(got) << name;
    EXPECT_EQ(std::string(got->bytes.begin(), got->bytes.end()), *bytes) << name;
  }
  EXPECT_FALSE(mapFile(dir / "large", large.size() - 1, "large"));
  EXPECT_FALSE(mapFile(dir / "empty", large.size(), "empty"));
  EXPECT_FALSE(mapFile(dir.path(), large.size(), "folder"));
  EXPECT_FALSE(mapFile(dir / "missing", large.size(), "missing"));
}

TEST(WindowsProcess, ItselfItsArgumentsAndTheUsersFolder) {
  std::error_code error;
  const fs::path self = programFile(error);
  EXPECT_FALSE(error);
  EXPECT_EQ(self.filename(), "windows_platform_test.exe");
  EXPECT_TRUE(isRunnable(self));
  TempFolder dir;
  EXPECT_FALSE(isRunnable(dir / "missing.exe"));
  char name[] = "missing";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(runInstead(dir / "missing.exe", argv), std::errc::no_such_file_or_directory);

  wchar_t first[] = L"kestrix-convert", second[] = L"K\u00FChlraum.PDB";
  wchar_t* wide[] = {first, second};
  EXPECT_EQ(utf8Arguments(2, wide),
            (std::vector<std::string>{"kestrix-convert", "K\xC3\xBChlraum.PDB"}));

  const wchar_t* appData = _wgetenv(L"APPDATA");
  ASSERT_NE(appData, nullptr);
  EXPECT_EQ(settingsFolder(), fs::path(appData) / L"Kestrix");
}

}  // namespace
}  // namespace kestrix::platform
