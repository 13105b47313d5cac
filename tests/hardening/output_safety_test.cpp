// kestrix-convert run as a process where writing the table goes wrong: every
// failure gives a clear message and exit status 1, and an earlier table stays
// byte for byte. Then file names with blanks, non-ASCII bytes and long paths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <logger_file_builder.hpp>
#include <run_program.hpp>
#include <string>
#include <temp_folder.hpp>
#include <vector>

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ProgramResult;
using kestrix::testing::readFile;
using kestrix::testing::writeFile;

namespace {

// Every byte value once, and line ends of both kinds: an earlier "table" that
// any rewriting or re-encoding would change.
std::string earlierTable() {
  std::string s = "earlier\r\ntable\n";
  for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
  return s;
}

class OutputSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    LoggerFileBuilder b;
    b.name("Room 1");
    for (int i = 0; i < 3000; ++i) samples_.push_back(static_cast<std::int16_t>(400 + i % 50));
    b.samples(samples_);
    input_ = dir_ / "UC001.PDB";
    ASSERT_TRUE(b.writeTo(input_.string()));
  }

  // Runs kestrix-convert in `cwd` (the test folder by default) with `args`,
  // no shell in between; `inChild` runs in the child just before the program.
  ProgramResult run(const std::vector<std::string>& args, const std::function<void()>& inChild = {},
                    const fs::path& cwd = {}) {
    kestrix::testing::ProgramRun program;
    program.args = args;
    program.folder = cwd.empty() ? dir_.path() : cwd;
    program.inChild = inChild;
    return kestrix::testing::runProgram(KESTRIX_CONVERT, program, dir_.path());
  }

  // Names in `folder` other than the test's own files: a temporary file left
  // behind shows up here.
  std::vector<std::string> strayFiles(const fs::path& folder,
                                      const std::vector<std::string>& expected) const {
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name == ".stdout" || name == ".stderr" || name == "UC001.PDB") continue;
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
        stray.push_back(name);
      }
    }
    return stray;
  }

  std::string goodTable() {
    const ProgramResult r = run({"-q", "UC001.PDB"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }

  kestrix::testing::TempFolder dir_;
  fs::path input_;
  std::vector<std::int16_t> samples_;
};

const std::string kProgram = "kestrix-convert: ";

}  // namespace

TEST_F(OutputSafety, FoldersThatCannotBeWrittenIn) {
  // A folder path through a regular file: no one can create a file there,
  // root included.
  writeFile(dir_ / "plain", "not a folder");
  ProgramResult r = run({"-o", "plain/uc1.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kProgram + "plain/uc1.txt: cannot create a file in plain: Not a directory\n");

  r = run({"-o", "missing/uc1.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kProgram +
                       "missing/uc1.txt: cannot create a file in missing: No such file or "
                       "directory\n");

  // /proc takes no new file from anyone; its reason differs between kernels.
  r = run({"-o", "/proc/uc1.txt", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind(kProgram + "/proc/uc1.txt: cannot create a file in /proc: ", 0), 0u)
      << r.err;
  EXPECT_TRUE(r.out.empty());

  // Permission bits stop everyone but root.
  if (::geteuid() != 0) {
    fs::create_directory(dir_ / "locked");
    writeFile(dir_ / "locked" / "uc1.txt", earlierTable());
    fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    r = run({"-o", "locked/uc1.txt", "UC001.PDB"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              kProgram + "locked/uc1.txt: cannot create a file in locked: Permission denied\n");
    fs::permissions(dir_ / "locked", fs::perms::owner_all);
    EXPECT_EQ(readFile(dir_ / "locked" / "uc1.txt"), earlierTable());
  }
  EXPECT_EQ(strayFiles(dir_.path(), {"plain", "locked"}), std::vector<std::string>{});
}

TEST_F(OutputSafety, OutputPathThatIsAFolder) {
  fs::create_directory(dir_ / "tables");
  writeFile(dir_ / "tables" / "uc1.txt", earlierTable());
  for (const std::string path : {"tables", "tables/", "."}) {
    const ProgramResult r = run({"-o", path, "UC001.PDB"});
    EXPECT_EQ(r.status, 1) << path;
    EXPECT_EQ(r.err, kProgram + path + ": is a folder\n");
  }
  EXPECT_EQ(readFile(dir_ / "tables" / "uc1.txt"), earlierTable());
  EXPECT_EQ(strayFiles(dir_ / "tables", {"uc1.txt"}), std::vector<std::string>{});
}

TEST_F(OutputSafety, FullDisk) {
  // A device is written in place; /dev/full refuses every byte.
  ProgramResult r = run({"-o", "/dev/full", "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kProgram + "/dev/full: write error: No space left on device\n");

  // Standard output on a full disk, the table as text or as CSV, long or
  // short enough to wait in the stream's buffer to the end.
  LoggerFileBuilder small;
  small.samples({400});
  ASSERT_TRUE(small.writeTo((dir_ / "UC002.PDB").string()));
  for (const std::string format : {"tsv", "csv"}) {
    for (const char* input : {"UC001.PDB", "UC002.PDB"}) {
      r = run({"--format", format, input}, [] {
        const int full = ::open("/dev/full", O_WRONLY);
        if (full >= 0) ::dup2(full, 1);
      });
      EXPECT_EQ(r.status, 1) << format << " " << input;
      EXPECT_EQ(r.err, kProgram + "standard output: write error: No space left on device\n");
    }
  }
}

TEST_F(OutputSafety, EarlierTableSurvivesEveryFailedRun) {
  const fs::path table = dir_ / "uc1.txt";
  LoggerFileBuilder corrupt;
  corrupt.samples({400}).truncateTo(100);
  ASSERT_TRUE(corrupt.writeTo((dir_ / "UC002.PDB").string()));

  struct Case {
    std::vector<std::string> args;
    std::function<void()> inChild;
    std::string message;
  };
  const std::vector<Case> cases{
      {{"-o", "uc1.txt", "UC001.PDB", "UC002.PDB"},
       {},
       "UC002.PDB: not a logger file, or one cut short: it ends within the recording's "
       "settings"},
      {{"-o", "uc1.txt", "UC001.PDB", "UC404.PDB"},
       {},
       "UC404.PDB: cannot open: No such file or directory"},
      // The disk fills up in the middle of the table: files may grow to 8 KiB
      // only, and the table is some 60 KiB.
      {{"-o", "uc1.txt", "UC001.PDB"},
       [] {
         std::signal(SIGXFSZ, SIG_IGN);
         const rlimit small{8192, 8192};
         ::setrlimit(RLIMIT_FSIZE, &small);
       },
       "uc1.txt: write error: File too large"},
  };
  for (const Case& c : cases) {
    writeFile(table, earlierTable());
    const ProgramResult r = run(c.args, c.inChild);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, kProgram + c.message + "\n");
    EXPECT_EQ(readFile(table), earlierTable()) << c.message;
    EXPECT_EQ(strayFiles(dir_.path(), {"uc1.txt", "UC002.PDB"}), std::vector<std::string>{})
        << c.message;
  }
  // And a run that goes well replaces it.
  EXPECT_EQ(run({"-q", "-o", "uc1.txt", "UC001.PDB"}).status, 0);
  EXPECT_EQ(readFile(table), goodTable());
}

// "-o UC*.PDB" expands to "-o UC001.PDB UC002.PDB ...": the first logger file
// became the table. No output may take the place of logger data, whatever
// option names it: a refusal is a usage error and nothing at all is written.
TEST_F(OutputSafety, NoOutputReplacesALoggerFile) {
  const std::string logger = readFile(input_);
  fs::copy_file(input_, dir_ / "UC002.PDB");
  fs::copy_file(input_, dir_ / "backup.dat");  // logger bytes under another name
  fs::create_symlink("UC001.PDB", dir_ / "link.txt");
  const std::string refusedName =
      ": not written: the name ends in .pdb, as a logger file's does; an output takes another "
      "name\n";
  const std::string holdsLogger = ": holds a logger file; it is not overwritten by an output\n";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases{
      {{"-o", "UC001.PDB", "UC002.PDB"}, "UC001.PDB" + refusedName},
      {{"-o", "uc9.pdb", "UC002.PDB"}, "uc9.pdb" + refusedName},  // not there yet
      {{"--format", "xlsx", "-o", "UC001.PDB", "UC002.PDB"}, "UC001.PDB" + refusedName},
      {{"--summary", "UC001.PDB", "UC002.PDB"}, "UC001.PDB" + refusedName},
      {{"-o", "fine.txt", "--summary=backup.dat", "UC002.PDB"}, "backup.dat" + holdsLogger},
      {{"-o", "link.txt", "UC002.PDB"}, "link.txt" + holdsLogger},
      {{"-o", "UC001.PDB", "UC001.PDB"},
       "UC001.PDB: is one of the logger files given; it is not overwritten\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, kProgram + c.message);
    EXPECT_EQ(readFile(input_), logger);
    EXPECT_EQ(readFile(dir_ / "backup.dat"), logger);
    EXPECT_FALSE(fs::exists(dir_ / "fine.txt")) << "an output written before the refusal";
    EXPECT_FALSE(fs::exists(dir_ / "uc9.pdb"));
  }
  EXPECT_EQ(strayFiles(dir_.path(), {"UC002.PDB", "backup.dat", "link.txt"}),
            std::vector<std::string>{});
}

// A target this user may not write is refused, as cp refuses it; a target
// that is replaced keeps its permission bits.
TEST_F(OutputSafety, ReadOnlyTargetIsKeptAndReplacedTargetKeepsItsMode) {
  // Root writes any file: the program then runs as nobody, in a folder
  // anybody may write in, so that only the file's own mode stands in the way.
  const bool root = ::geteuid() == 0;
  const fs::path shared = dir_ / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);
  fs::copy_file(input_, shared / "UC001.PDB");
  writeFile(shared / "t.txt", earlierTable());
  fs::permissions(shared / "t.txt",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto asUser = [root] {
    if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(125);
  };
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-o", "t.txt", "UC001.PDB"},
        std::vector<std::string>{"-q", "--summary", "t.txt", "UC001.PDB"}}) {
    const ProgramResult r = run(args, asUser, shared);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, kProgram + "t.txt: cannot replace it: Permission denied\n");
    EXPECT_EQ(readFile(shared / "t.txt"), earlierTable());
    EXPECT_EQ(fs::status(shared / "t.txt").permissions(),
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }

  const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-q", "-o", "mode.txt", "UC001.PDB"},
        std::vector<std::string>{"-q", "--summary", "mode.txt", "UC001.PDB"},
        std::vector<std::string>{"-q", "--format", "xlsx", "-o", "mode.txt", "UC001.PDB"}}) {
    writeFile(dir_ / "mode.txt", earlierTable());
    fs::permissions(dir_ / "mode.txt", kept);
    const ProgramResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(dir_ / "mode.txt"), earlierTable());
    EXPECT_EQ(fs::status(dir_ / "mode.txt").permissions(), kept) << args[1];
  }
}

TEST_F(OutputSafety, FileNamesWithBlanksAndNonAsciiBytes) {
  const std::string expected = goodTable();
  // UTF-8 names, a name in Latin-1 (byte E9, no valid UTF-8), a name that
  // starts with a dash (after "--").
  const fs::path folder = dir_ / "Données été 2014";
  fs::create_directory(folder);
  const std::vector<std::pair<std::string, std::string>> names{
      {"Kühlraum Nord (Kopie).PDB", "Tabelle für März.txt"},
      {"caf\xE9 #1.PDB", "r\xE9sum\xE9 table.txt"},
      {"-dash.PDB", "-table.txt"},
      {" leading and trailing blanks .PDB", " uc1 .txt"},
  };
  for (const auto& [input, output] : names) {
    fs::copy_file(input_, folder / input);
    const ProgramResult r = run({"-q", "-o", output, "--", input}, {}, folder);
    EXPECT_EQ(r.status, 0) << input << ": " << r.err;
    EXPECT_EQ(readFile(folder / output), expected) << output;
  }
  // The same names in messages, byte for byte.
  ProgramResult r = run({"Kühlraum Süd.PDB"}, {}, folder);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kProgram + "Kühlraum Süd.PDB: cannot open: No such file or directory\n");
  r = run({"-o", "caf\xE9 #1.PDB", "caf\xE9 #1.PDB"}, {}, folder);
  EXPECT_EQ(r.err, kProgram +
                       "caf\xE9 #1.PDB: is one of the logger files given; it is not "
                       "overwritten\n");
  EXPECT_EQ(strayFiles(folder, {}).size(), 2 * names.size());
}

// Found while testing: an output name of 241 to 255 bytes could not be
// written, since the temporary file beside it took the name plus 15 bytes.
TEST_F(OutputSafety, LongPathsAndTheLongestFileName) {
  const std::string expected = goodTable();
  // Some 3000 bytes of folders, 200 bytes each.
  fs::path deep = dir_.path();
  for (char level = 'a'; level < 'a' + 15; ++level) deep /= std::string(198, level) + "é";
  fs::create_directories(deep);
  fs::copy_file(input_, deep / "UC001.PDB");
  const std::string longest = std::string(251, 'L') + ".txt";  // 255 bytes
  const fs::path table = deep / longest;
  writeFile(table, earlierTable());

  ProgramResult r = run({"-q", "-o", table.string(), (deep / "UC001.PDB").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(table), expected);
  EXPECT_EQ(strayFiles(deep, {longest}), std::vector<std::string>{});

  // Relative to a deep working folder, too.
  r = run({"-q", "-o", "uc1.txt", "UC001.PDB"}, {}, deep);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(deep / "uc1.txt"), expected);

  // One byte more than a name may have, and a path longer than any path.
  const std::string tooLong = std::string(252, 'L') + ".txt";
  r = run({"-o", tooLong, "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(": File name too long\n"), std::string::npos) << r.err;
  const std::string hugePath = (deep / deep.lexically_relative(dir_.path()) / "uc1.txt").string();
  r = run({"-o", hugePath, "UC001.PDB"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(": File name too long\n"), std::string::npos) << r.err.substr(0, 200);
  r = run({hugePath});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(": cannot open: File name too long\n"), std::string::npos)
      << r.err.substr(0, 200);
}

TEST_F(OutputSafety, InputsThatAreNoLoggerFiles) {
  writeFile(dir_ / "uc1.txt", earlierTable());
  writeFile(dir_ / "UC009.PDB", std::string(31, 'x'));
  writeFile(dir_ / "UC010.PDB", "");
  const std::vector<std::pair<std::string, std::string>> cases{
      {"UC009.PDB", "UC009.PDB: not a logger file (31 bytes, too short for one)"},
      {"UC010.PDB", "UC010.PDB: empty file"},
      {"/dev/null", "/dev/null: empty file"},
      {"/dev/zero",
       "/dev/zero: not a logger file (larger than 64 MiB, more than any logger holds)"},
      {".", ".: is a folder, not a logger file"},
  };
  for (const auto& [input, message] : cases) {
    const ProgramResult r = run({"-o", "uc1.txt", "UC001.PDB", input});
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.err, kProgram + message + "\n");
  }
  EXPECT_EQ(readFile(dir_ / "uc1.txt"), earlierTable());
}
