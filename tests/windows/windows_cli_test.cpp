// kestrix-convert.exe as a Windows user runs it: from cmd.exe or PowerShell,
// which leave wildcards to the program, with names in any language, paths of
// every form, a table redirected to a file, a target Excel holds open.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <logger_file_builder.hpp>
#include <string>
#include <temp_folder.hpp>
#include <vector>
#include <windows_program.hpp>

#include "file_patterns.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::WindowsProgramResult;

namespace {

const std::string kRoom1Table =
    "Fichier\tRoom 1\r\n\t00001A2B\r\n\tUlmacorder Temp\r\nDate\t\xB0"
    "C\r\n05/03/14 07:30:00\t25.0\r\n05/03/14 07:31:00\t25.1\r\n";

class WindowsCli : public ::testing::Test {
 protected:
  void writeLogger(const fs::path& path, const std::string& name) {
    LoggerFileBuilder b;
    b.name(name).samples({400, 401});
    const std::vector<std::uint8_t> bytes = b.build();
    kestrix::testing::writeFile(path, std::string(bytes.begin(), bytes.end()));
  }

  WindowsProgramResult run(const std::vector<std::wstring>& args) {
    return kestrix::testing::runWindowsProgram(fs::absolute(KESTRIX_CONVERT), args, dir_.path(),
                                               dir_.path());
  }

  std::vector<std::wstring> leftBehind() {
    std::vector<std::wstring> names;
    for (const auto& e : fs::recursive_directory_iterator(dir_.path()))
      if (e.path().filename().native().starts_with(L".")) names.push_back(e.path().native());
    return names;
  }

  kestrix::testing::TempFolder dir_;
};

}  // namespace

TEST(FilePatterns, MatchAsWindowsDoesLetterCaseAside) {
  using kestrix::cli::matchesFilePattern;
  EXPECT_TRUE(matchesFilePattern("UC001.PDB", "UC*.PDB"));
  EXPECT_TRUE(matchesFilePattern("uc001.pdb", "UC*.PDB"));
  EXPECT_TRUE(matchesFilePattern("UC.PDB", "UC*.PDB"));
  EXPECT_TRUE(matchesFilePattern("UC1.PDB.PDB", "UC*.PDB"));
  EXPECT_FALSE(matchesFilePattern("UC001.PDB.txt", "UC*.PDB"));
  EXPECT_FALSE(matchesFilePattern("XUC001.PDB", "UC*.PDB"));
  EXPECT_TRUE(matchesFilePattern("UC007.PDB", "UC00?.PDB"));
  EXPECT_FALSE(matchesFilePattern("UC0007.PDB", "UC00?.PDB"));
  // '?' is one character, however many bytes it takes; case folds beyond A to Z.
  EXPECT_TRUE(matchesFilePattern("K\xC3\xBChlraum.PDB", "K?hlraum.pdb"));
  EXPECT_TRUE(matchesFilePattern("K\xC3\x9CHLRAUM.PDB", "k\xC3\xBC*"));
  EXPECT_TRUE(matchesFilePattern("a*b", "*"));
  EXPECT_FALSE(kestrix::cli::isFilePattern("C:\\Loggers\\UC001.PDB"));
  EXPECT_FALSE(kestrix::cli::isFilePattern("\\\\?\\C:\\Loggers\\UC001.PDB"));
  EXPECT_TRUE(kestrix::cli::isFilePattern("\\\\?\\C:\\Loggers\\UC*.PDB"));
}

TEST_F(WindowsCli, WildcardsAreExpandedInNameOrderLetterCaseAside) {
  writeLogger(dir_ / "Uc010.pdb", "Room C");
  writeLogger(dir_ / "UC002.PDB", "Room B");
  writeLogger(dir_ / "uc001.pdb", "Room A");
  fs::create_directory(dir_ / "UC003.PDB");  // a folder: no match
  kestrix::testing::writeFile(dir_ / "UC004.PDB.txt", "not a logger file");

  WindowsProgramResult r = run({L"UC*.PDB", L"-o", L"table.txt"});
  ASSERT_EQ(r.status, 0u) << r.err;
  EXPECT_TRUE(readFile(dir_ / "table.txt").starts_with("Fichier\tRoom A\tRoom B\tRoom C\r\n"));

  fs::create_directory(dir_ / "sub");
  writeLogger(dir_ / "sub" / "UC001.PDB", "Room 1");
  r = run({L"-q", L"sub\\UC00?.PDB"});
  EXPECT_EQ(r.status, 0u) << r.err;
  EXPECT_EQ(r.out, kRoom1Table);

  r = run({L"-o", L"t.txt", L"UC*.PDB", L"XY*.PDB"});
  EXPECT_EQ(r.status, 2u);
  EXPECT_EQ(r.err,
            "kestrix-convert: no file matches 'XY*.PDB'\n"
            "Try 'kestrix-convert --help' for more information.\n");
  r = run({L"s*\\UC001.PDB"});
  EXPECT_EQ(r.status, 2u);
  EXPECT_NE(r.err.find("'s*\\UC001.PDB': wildcards are taken in the file name"), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "t.txt"));
}

TEST_F(WindowsCli, NamesInAnyLanguage) {
  const fs::path folder = dir_.path() / L"Temp\u00E9rature";
  fs::create_directory(folder);
  writeLogger(folder / L"K\u00FChlraum.PDB", "Room 1");

  WindowsProgramResult r = run({L"-q", L"Temp\u00E9rature\\K\u00FChlraum.PDB", L"-o",
                                L"Temp\u00E9rature\\\u00DCbersicht \u6E29\u5EA6.txt"});
  ASSERT_EQ(r.status, 0u) << r.err;
  EXPECT_EQ(readFile(folder / L"\u00DCbersicht \u6E29\u5EA6.txt"), kRoom1Table);

  // Messages name the file in UTF-8, as on Linux.
  r = run({L"-q", L"Temp\u00E9rature\\K\u00FChlraum.PDB", L"Fehlt-\u00C4.PDB"});
  EXPECT_EQ(r.status, 1u);
  EXPECT_TRUE(r.err.starts_with("kestrix-convert: Fehlt-\xC3\x84.PDB: cannot open")) << r.err;
}

TEST_F(WindowsCli, PathsOfEveryForm) {
  writeLogger(dir_ / "UC001.PDB", "Room 1");
  const std::wstring absolute = fs::absolute(dir_.path()).make_preferred().native();
  ASSERT_EQ(absolute[1], L':');  // C:\users\...\Temp\kestrix-test-...
  std::wstring forward = absolute;
  for (wchar_t& c : forward) c = c == L'\\' ? L'/' : c;
  const std::wstring fromDrive = absolute.substr(2);    // \users\...: the current drive's
  const std::wstring longForm = L"\\\\?\\" + absolute;  // \\?\C:\...: no wildcard

  for (const std::wstring& folder : {absolute, forward, fromDrive, longForm}) {
    const std::wstring separator = folder.find(L'/') != std::wstring::npos ? L"/" : L"\\";
    const WindowsProgramResult r =
        run({L"-q", folder + separator + L"UC001.PDB", L"-o", folder + separator + L"t.txt"});
    EXPECT_EQ(r.status, 0u) << r.err;
    EXPECT_EQ(readFile(dir_ / "t.txt"), kRoom1Table);
    fs::remove(dir_ / "t.txt");
  }
  // "/Loggers/UC001.PDB" is a path from the current drive, not a Windows-style
  // option (Wine would read it as a path of its host, so it names none here).
  const WindowsProgramResult slash = run({L"-q", L"/Loggers/UC001.PDB"});
  EXPECT_EQ(slash.status, 1u);
  EXPECT_TRUE(slash.err.starts_with("kestrix-convert: /Loggers/UC001.PDB: cannot open"))
      << slash.err;
  // The same file under two names is still one file: never an output.
  const WindowsProgramResult r = run({L"UC001.PDB", L"-o", forward + L"/uc001.pdb"});
  EXPECT_EQ(r.status, 2u);
  EXPECT_NE(r.err.find("is one of the logger files given"), std::string::npos) << r.err;
}

TEST_F(WindowsCli, RedirectedTableKeepsItsBytes) {
  writeLogger(dir_ / "UC001.PDB", "Room 1");
  const WindowsProgramResult r = run({L"UC001.PDB"});
  EXPECT_EQ(r.status, 0u);
  EXPECT_EQ(r.out, kRoom1Table);  // "\r\n" as written, no "\r\r\n"
  EXPECT_EQ(r.err, "Done...\n");
  EXPECT_EQ(run({L"-q", L"--summary", L"-", L"UC001.PDB"}).out.find("\r\r\n"), std::string::npos);
}

TEST_F(WindowsCli, TableToAPagerQuitEndsWithoutAMessage) {
  writeLogger(dir_ / "UC001.PDB", "Room 1");
  // A pipe whose reading end is closed, as `| more` leaves it once quit.
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE reading = nullptr, writing = nullptr;
  ASSERT_TRUE(CreatePipe(&reading, &writing, &inherited, 0));
  CloseHandle(reading);
  const WindowsProgramResult r = kestrix::testing::runWindowsProgram(
      fs::absolute(KESTRIX_CONVERT), {L"-q", L"UC001.PDB"}, dir_.path(), dir_.path(), writing);
  CloseHandle(writing);
  EXPECT_EQ(r.status, 1u);
  EXPECT_EQ(r.err, "");
}

TEST_F(WindowsCli, TargetHeldOpenByAnotherProgramIsLeftAsItWas) {
  writeLogger(dir_ / "UC001.PDB", "Room 1");
  kestrix::testing::writeFile(dir_ / "uc1.txt", "earlier table");
  // As Excel holds a table it shows: read, and nobody else may write it.
  const HANDLE excel = CreateFileW((dir_ / "uc1.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(excel, INVALID_HANDLE_VALUE);
  const WindowsProgramResult r = run({L"UC001.PDB", L"-o", L"uc1.txt"});
  CloseHandle(excel);
  EXPECT_EQ(r.status, 1u);
  EXPECT_EQ(r.err,
            "kestrix-convert: uc1.txt: is open in another program, which keeps it from being "
            "replaced: close it there and try again\n");
  EXPECT_EQ(readFile(dir_ / "uc1.txt"), "earlier table");
  EXPECT_TRUE(leftBehind().empty());

  // Closed, it is replaced; a read-only one is not.
  EXPECT_EQ(run({L"-q", L"UC001.PDB", L"-o", L"uc1.txt"}).status, 0u);
  EXPECT_EQ(readFile(dir_ / "uc1.txt"), kRoom1Table);
  kestrix::testing::writeFile(dir_ / "kept.txt", "kept");
  SetFileAttributesW((dir_ / "kept.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const WindowsProgramResult readOnly = run({L"-q", L"UC001.PDB", L"-o", L"kept.txt"});
  EXPECT_EQ(readOnly.status, 1u);
  EXPECT_TRUE(readOnly.err.starts_with("kestrix-convert: kept.txt: cannot replace it: "))
      << readOnly.err;
  EXPECT_EQ(readFile(dir_ / "kept.txt"), "kept");
  SetFileAttributesW((dir_ / "kept.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsCli, HelpAndWhatThisBuildLeavesOut) {
  const WindowsProgramResult help = run({L"--help"});
  EXPECT_EQ(help.status, 0u);
  EXPECT_TRUE(help.out.starts_with("Usage: kestrix-convert")) << help.out;
  EXPECT_TRUE(
      help.out.ends_with("It writes no workbook (--format xlsx) and no report (--report): "
                         "the\nLinux package and the browser page do.\n"))
      << help.out;

  writeLogger(dir_ / "UC001.PDB", "Room 1");
  WindowsProgramResult r = run({L"--format", L"xlsx", L"-o", L"t.xlsx", L"UC001.PDB"});
  EXPECT_EQ(r.status, 2u);
  EXPECT_TRUE(
      r.err.starts_with("kestrix-convert: --format xlsx: this build cannot write "
                        "workbooks; the Linux package or the browser page can\n"))
      << r.err;
  r = run({L"--report", L"r.pdf", L"UC001.PDB"});
  EXPECT_EQ(r.status, 2u);
  EXPECT_TRUE(
      r.err.starts_with("kestrix-convert: --report: this build cannot write reports; "
                        "the Linux package or the browser page can\n"))
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "t.xlsx"));
  EXPECT_FALSE(fs::exists(dir_ / "r.pdf"));
}
