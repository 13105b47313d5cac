// What fuzzing the engine found, one named test per finding. The inputs that
// found them are kept in tests/fuzz/regressions/ and replayed by fuzz_replay.
#include <gtest/gtest.h>

#include <conversion.hpp>
#include <logger_file_builder.hpp>
#include <string>
#include <vector>

#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

using kestrix::testing::LoggerFileBuilder;

namespace {

std::vector<std::string> tableLines(const std::vector<LoggerFileBuilder>& builders) {
  return kestrix::testing::crlfLines(kestrix::testing::convertToText(builders).text);
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
