// Texts between UTF-8 and Windows-1252: names folded for comparing, and an
// output that stays in one encoding whatever a file name holds.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include "join_list.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "text.hpp"
#include "text_format.hpp"

namespace kestrix {
namespace {

TEST(Text, LettersFoldBeyondAToZ) {
  EXPECT_EQ(foldCase("UC\xC3\x9C"
                     "02.PDB"),
            foldCase("uc\xC3\xBC"
                     "02.pdb"));  // Ü, ü
  EXPECT_EQ(foldCase("\xC5\x81\xC3\x93"
                     "D\xC5\xB9"),
            "\xC5\x82\xC3\xB3"
            "d\xC5\xBA");                                       // ŁÓDŹ
  EXPECT_EQ(foldCase("\xCE\xA3\xD0\x96"), "\xCF\x83\xD0\xB6");  // Σ Ж
  EXPECT_EQ(foldCase("\xC3\x97"), "\xC3\x97");                  // × has no case
  EXPECT_NE(foldCase("UC\xC3\x9C"), foldCase("UCU"));
  EXPECT_EQ(foldCase("A\xFF"
                     "B"),
            "a\xFF"
            "b");  // a byte that is no UTF-8 stays
}

TEST(Text, AWindows1252TextHoldsNothingElse) {
  // "UCŁódź日本.PDB": ó has its byte, the others become '?'.
  const std::string name =
      "UC\xC5\x81\xC3\xB3"
      "d\xC5\xBA\xE6\x97\xA5\xE6\x9C\xAC.PDB";
  EXPECT_FALSE(utf8ToWindows1252(name));
  EXPECT_EQ(utf8ToWindows1252Replacing(name),
            "UC?\xF3"
            "d???.PDB");
  EXPECT_EQ(utf8ToWindows1252Replacing("a\xFF"
                                       "b"),
            "a?b");
  EXPECT_EQ(validUtf8("a\xFF"
                      "b\xC3\xA9"),
            "a\xEF\xBF\xBD"
            "b\xC3\xA9");

  // The joins list names the files in the output's one encoding.
  std::vector<LoggerFile> files;
  files.push_back(readLoggerFile(name, testing::LoggerFileBuilder().samples({400}).build()));
  const ConversionRun run = makeRun(std::move(files), {}, true);
  StringSink sink;
  writeJoins(run, false, {1, run.totalRows}, sink, TextFormat{});
  EXPECT_NE(sink.data.find("\tUC?\xF3"
                           "d???.PDB\t"),
            std::string::npos)
      << sink.data;
}

}  // namespace
}  // namespace kestrix
