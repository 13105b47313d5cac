// Reading a run's files two at a time: the same files, in order, and the
// error of the first file that cannot be converted.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include <filesystem>
#include <fstream>
#include <temp_folder.hpp>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "error.hpp"
#include "input_files.hpp"

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using testing::LoggerFileBuilder;

class ReadLoggerFiles : public ::testing::Test {
 protected:
  // Writes n files UC001.PDB... of distinct names and samples; returns their paths.
  std::vector<fs::path> write(int n) {
    std::vector<fs::path> paths;
    for (int i = 1; i <= n; ++i) {
      LoggerFileBuilder b;
      std::vector<std::int16_t> samples(static_cast<std::size_t>(100 * i), 0);
      for (std::size_t k = 0; k < samples.size(); ++k)
        samples[k] = static_cast<std::int16_t>(k * i);
      b.name("Logger " + std::to_string(i)).samples(std::move(samples));
      paths.push_back(dir_ / ("UC00" + std::to_string(i) + ".PDB"));
      EXPECT_TRUE(b.writeTo(paths.back().string()));
    }
    return paths;
  }

  static std::vector<std::string> namesOf(const std::vector<fs::path>& paths) {
    std::vector<std::string> names;
    for (const fs::path& p : paths) names.push_back(p.filename().string());
    return names;
  }

  testing::TempFolder dir_;
};

TEST_F(ReadLoggerFiles, GivesTheFilesInTheOrderGiven) {
  std::vector<fs::path> paths = write(7);
  std::swap(paths[0], paths[5]);
  const std::vector<LoggerFile> files = readLoggerFiles(paths, namesOf(paths));
  ASSERT_EQ(files.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const LoggerFile one = readLoggerFile(namesOf(paths)[i], readInputFile(paths[i], "x"));
    EXPECT_EQ(files[i].displayName, paths[i].filename().string());
    EXPECT_EQ(files[i].containerName, one.containerName);
    EXPECT_EQ(files[i].samples.stored(), one.samples.stored());
  }
  EXPECT_TRUE(readLoggerFiles({}, {}).empty());
}

TEST_F(ReadLoggerFiles, ReportsTheFirstFileThatFailsInThatOrder) {
  std::vector<fs::path> paths = write(6);
  LoggerFileBuilder badDate;
  badDate.start(2014, 2, 30, 0, 0, 0).samples({1});
  ASSERT_TRUE(badDate.writeTo(paths[2].string()));
  paths[4] = dir_ / "missing.PDB";
  for (int attempt = 0; attempt < 20; ++attempt) {  // whichever thread gets there first
    try {
      readLoggerFiles(paths, namesOf(paths));
      FAIL() << "no error";
    } catch (const ConversionError& e) {
      ASSERT_EQ(e.kind(), ErrorKind::BadStartDate);
      ASSERT_EQ(e.file(), "UC003.PDB");
    }
  }
}

// Every byte of a file, read into memory of its own: files either side of the
// first buffer's size, and a pipe, which announces no size and is read into a
// buffer that grows.
TEST_F(ReadLoggerFiles, ReadsEveryByteOfAFile) {
  auto pattern = [](std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t k = 0; k < n; ++k) bytes[k] = static_cast<char>((k * 7919) >> 3);
    return bytes;
  };
  for (const std::size_t n : {std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                              std::size_t{65537}, std::size_t{300001}}) {
    const fs::path path = dir_ / ("file" + std::to_string(n));
    const std::string bytes = pattern(n);
    std::ofstream(path, std::ios::binary) << bytes;
    const InputBytes input = readIntoMemory(path, "x");
    EXPECT_EQ(std::string(input.bytes.begin(), input.bytes.end()), bytes) << n;
    const std::vector<std::uint8_t> copy = readInputFile(path, "x");
    EXPECT_EQ(std::string(copy.begin(), copy.end()), bytes) << n;
  }
#ifndef _WIN32
  const fs::path pipe = dir_ / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::string bytes = pattern(200000);
  std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << bytes; });
  const InputBytes input = readIntoMemory(pipe, "pipe");
  writer.join();
  EXPECT_EQ(std::string(input.bytes.begin(), input.bytes.end()), bytes);
#endif
}

}  // namespace
}  // namespace kestrix
