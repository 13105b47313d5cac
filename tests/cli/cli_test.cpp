// kestrix-convert as a user runs it: arguments, exit status, messages, output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <logger_file_builder.hpp>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kestrix-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& name, const LoggerFileBuilder& b) {
    const fs::path p = dir_ / name;
    EXPECT_TRUE(b.writeTo(p.string()));
    return p;
  }

  // Runs kestrix-convert with `args` (already quoted) and the environment prefix `env`.
  Result run(const std::string& args, const std::string& env = "LC_ALL=C") {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = "cd " + quote(dir_.string()) + " && env " + env + " " +
                                quote(KESTRIX_CONVERT) + " " + args + " >" + quote(out.string()) +
                                " 2>" + quote(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }

  fs::path dir_;
};

LoggerFileBuilder temperature(std::vector<std::int16_t> samples) {
  LoggerFileBuilder b;
  b.name("Room 1").samples(std::move(samples));
  return b;
}

}  // namespace

TEST_F(Cli, WritesTableToStandardOutputAndStatusToStandardError) {
  write("UC001.PDB", temperature({400, 401}));
  const Result r = run("UC001.PDB");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Fichier\tRoom 1\r\n\t00001A2B\r\n\tUlmacorder Temp\r\nDate\t\xB0"
            "C\r\n05/03/14 07:30:00\t25.0\r\n05/03/14 07:31:00\t25.1\r\n");
  EXPECT_EQ(r.err, "Done...\n");  // no progress: standard error is no terminal
  EXPECT_EQ(run("-q UC001.PDB").err, "");
}

TEST_F(Cli, OutputFileIsReplacedOnlyWhenComplete) {
  write("UC001.PDB", temperature({400}));
  LoggerFileBuilder broken = temperature({400});
  broken.startBytes({0x14, 0x02, 0x30, 0, 0, 0});
  write("UC002.PDB", broken);
  std::ofstream(dir_ / "table.txt") << "earlier table";

  Result r = run("-o table.txt UC001.PDB UC002.PDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "kestrix-convert: UC002.PDB: the start date 30/2/2014 0:0:0 is not a valid date and "
            "time\n");
  EXPECT_EQ(slurp(dir_ / "table.txt"), "earlier table");

  r = run("--output=table.txt --encoding utf-8 UC001.PDB");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(slurp(dir_ / "table.txt").substr(0, 15), "Fichier\tRoom 1\r");
  EXPECT_NE(slurp(dir_ / "table.txt").find("\xC2\xB0"), std::string::npos);
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
  }
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  for (const std::string args : {"", "-x UC001.PDB", "-o", "--encoding latin9 UC001.PDB"}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("Try 'kestrix-convert --help'"), std::string::npos) << args;
  }
  std::string many;
  for (int i = 0; i < 102; ++i) many += " UC001.PDB";
  EXPECT_EQ(run(many).status, 2);
  EXPECT_NE(run(many).err.find("102 files given; one table takes at most 101"), std::string::npos);

  const Result help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kestrix-convert", 0), 0u);
  EXPECT_EQ(run("--version").out.rfind("kestrix-convert ", 0), 0u);
}

TEST_F(Cli, MissingFileAndDifferingIntervals) {
  Result r = run("UC404.PDB");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("kestrix-convert: UC404.PDB: cannot open: ", 0), 0u) << r.err;

  write("UC001.PDB", temperature({400, 401}));
  LoggerFileBuilder fast = temperature({400});
  fast.intervalCode(3);
  write("UC002.PDB", fast);
  r = run("UC001.PDB UC002.PDB");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "kestrix-convert: warning: the files' sampling intervals differ; the last file's "
            "interval (10 s) serves every file\nDone...\n");
}

TEST_F(Cli, RegionalSettingsComeFromTheLocale) {
  write("UC001.PDB", temperature({400}));
  // C.UTF-8 exists on every Debian system and keeps the defaults.
  EXPECT_NE(run("UC001.PDB", "LC_ALL=C.UTF-8").out.find("05/03/14 07:30:00\t25.0"),
            std::string::npos);
  const Result german = run("UC001.PDB", "LC_ALL=de_DE.UTF-8");
  if (german.out.find("25,0") == std::string::npos) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  EXPECT_NE(german.out.find("05.03.14 07:30:00\t25,0"), std::string::npos);
}
