// What fuzzing the engine found, one named test per finding. The inputs that
// found them are kept in tests/fuzz/regressions/ and replayed by fuzz_replay.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>
#include <string>
#include <vector>

#include "run.hpp"
#include "sinks.hpp"
#include "table.hpp"

using kestrix::testing::LoggerFileBuilder;

namespace {

std::vector<std::string> tableLines(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<kestrix::LoggerFile> files;
  for (const auto& b : builders) files.push_back(kestrix::readLoggerFile("UC001.PDB", b.build()));
  const kestrix::ConversionRun run = kestrix::makeRun(std::move(files));
  kestrix::StringSink sink;
  kestrix::writeTable(run, sink, {});
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = sink.data.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(sink.data.substr(from, at - from));
  }
  return lines;
}

}  // namespace

// A container name holding a TAB shifted every later column title one column
// to the right; a CR LF in it split header line 1 in two.
TEST(FuzzFindings, ControlBytesInContainerNamesKeepTheColumns) {
  LoggerFileBuilder tab;
  tab.name("UC\t01").samples({16});
  LoggerFileBuilder lineBreak;
  lineBreak.name("UC\r\n02\x7F").typeCode(3).samples({4000, 2000});
  const auto t = tableLines({tab, lineBreak});
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0], "Fichier\tUC 01\tUC  02 \tUC  02 ");
  EXPECT_EQ(t[1], "\t00001A2B\t00001A2B\t00001A2B");
  EXPECT_EQ(t[4], "05/03/14 07:30:00\t1.0\t0.4\t65.8");
}
