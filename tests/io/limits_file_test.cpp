// The limits file: every error placed at its line and column, rules written
// back and read as the same, and where the user's file lives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include <temp_folder.hpp>

#include "error.hpp"
#include "limits_file.hpp"

namespace fs = std::filesystem;
using kestrix::LimitRule;
using kestrix::LimitsFileError;
using kestrix::parseLimits;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;

namespace {

std::string errorOf(const std::string& text) {
  try {
    parseLimits(text, "limits.toml");
  } catch (const LimitsFileError& e) {
    return e.what();
  }
  return "no error";
}

TEST(LimitsFile, ReadsTheRulesInTheirOrder) {
  const std::vector<LimitRule> rules = parseLimits(
      "# cold chain\n"
      "[[limit]]\nunit = \"\u00B0C\"\nlow = 2.0\nhigh = 8\ndelay = \"30m\"\ntotal = \"2h\"\n"
      "[[limit]]\nlogger = \"00a41c07\"\nchannel = 1\nhigh = 25.5\ndelay = 90\n",
      "limits.toml");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].unit, "\u00B0C");
  EXPECT_EQ(rules[0].low, 2.0);
  EXPECT_EQ(rules[0].high, 8.0);
  EXPECT_EQ(rules[0].delaySeconds, 1800);
  EXPECT_EQ(rules[0].totalSeconds, 7200);
  EXPECT_EQ(rules[1].logger, 0x00A41C07u);
  EXPECT_EQ(rules[1].channel, 1);
  EXPECT_FALSE(rules[1].low);
  EXPECT_EQ(rules[1].delaySeconds, 90);
  EXPECT_FALSE(rules[1].totalSeconds);
  EXPECT_TRUE(parseLimits("", "empty.toml").empty());
}

TEST(LimitsFile, EveryErrorNamesTheFileLineAndColumn) {
  const std::string cold = "[[limit]]\nunit = \"\u00B0C\"\n";
  const std::pair<std::string, std::string> cases[] = {
      {cold + "low = 2\nhigh = 8\n\n\nhihg = 9\n",
       "limits.toml:7:1: unknown key \"hihg\" in a [[limit]] rule"},
      {cold + "low = 9\nhigh = 8\n", "limits.toml:3:1: low (9) is above high (8)"},
      {cold + "high = 8\ndelay = \"30min\"\n",
       "limits.toml:4:9: bad duration \"30min\" for delay: write a duration such as \"90s\", "
       "\"30m\", \"2h\", \"1h30m\" or a whole number of seconds"},
      {cold + "high = 8\ntotal = -60\n",
       "limits.toml:4:9: total must be a duration from 0 to 1000000h, not -60 seconds"},
      {cold + "high = 8\ndelay = 1.5\n",
       "limits.toml:4:9: delay must be a duration such as \"90s\", \"30m\", \"2h\", \"1h30m\" or "
       "a whole number of seconds, not a floating-point number"},
      {"[[limit]]\nlogger = \"A41C07\"\nhigh = 8\n",
       "limits.toml:2:10: logger \"A41C07\" is not 8 hexadecimal digits"},
      {"[[limit]]\nlogger = 0xA41C07\nhigh = 8\n",
       "limits.toml:2:10: logger must be a string of 8 hexadecimal digits such as \"00A41C07\", "
       "not an integer"},
      {cold + "channel = 1\nhigh = 8\n",
       "limits.toml:3:1: channel needs logger: a channel belongs to one logger"},
      {"[[limit]]\nlogger = \"00A41C07\"\nchannel = 3\nhigh = 8\n",
       "limits.toml:3:11: channel must be 1 or 2, not 3"},
      {"\n[[limit]]\nhigh = 8\n", "limits.toml:2:1: a [[limit]] rule needs unit or logger"},
      {cold, "limits.toml:1:1: a [[limit]] rule needs low, high or both"},
      {cold + "low = \"2\"\n", "limits.toml:3:7: low must be a number, not a string"},
      {cold + "high = nan\n", "limits.toml:3:1: high must be a finite number"},
      {"[[limit]]\nunit = \"C\"\nhigh = 8\n",
       "limits.toml:2:1: unknown unit \"C\" (the table's units are \"\u00B0C\", \"%RH\", "
       "\"Watts\", \"Volts\", \"Pulses\", \"Seconds\", \"?\")"},
      {"[limit]\nunit = \"C\"\n",
       "limits.toml:1:1: limit must be written as [[limit]] tables, one per rule"},
      {"units = 1\n",
       "limits.toml:1:1: unknown key \"units\": a limits file holds [[limit]] rules only"},
      {"[[limit]\n", "limits.toml:1:9: Error while parsing table header: expected ']', saw '\\n'"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(errorOf(text), message) << text;

  // Several problems in one rule: the first in the file is told.
  EXPECT_EQ(errorOf(cold + "zzz = 1\nlow = \"x\"\n"),
            "limits.toml:3:1: unknown key \"zzz\" in a [[limit]] rule");

  TempFolder dir;
  try {
    kestrix::readLimitsFile(dir / "none.toml", "none.toml");
    ADD_FAILURE() << "a missing file was read";
  } catch (const LimitsFileError& e) {
    EXPECT_STREQ(e.what(), "none.toml: cannot open: No such file or directory");
    EXPECT_EQ(e.line(), 0);
  }
  EXPECT_TRUE(kestrix::readLimitsFileIfPresent(dir / "none.toml").empty());
}

TEST(LimitsFile, WrittenRulesReadBackTheSame) {
  std::vector<LimitRule> rules(4);
  rules[0].unit = "\u00B0C";
  rules[0].low = 2;
  rules[0].high = 8;
  rules[0].delaySeconds = 1800;
  rules[0].totalSeconds = 0;
  rules[1].logger = 0x00A41C07;
  rules[1].channel = 2;
  rules[1].high = 0.1 + 0.2;  // every digit of a double kept
  rules[1].delaySeconds = 5405;
  rules[2].unit = "%RH";
  rules[2].logger = 0xFFFFFFFF;
  rules[2].low = -1e-7;
  rules[2].high = 1e20;
  rules[3].unit = "?";
  rules[3].low = -0.0;

  TempFolder dir;
  // The folder is made; an earlier file is replaced whole, nothing left beside it.
  const fs::path path = dir / "config" / "kestrix" / "limits.toml";
  kestrix::writeLimitsFile(path, {rules[0]});
  kestrix::writeLimitsFile(path, rules);
  EXPECT_EQ(kestrix::readLimitsFile(path), rules);
  EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
  EXPECT_NE(readFile(path).find("[[limit]]\nlogger = \"00A41C07\"\nchannel = 2\nhigh = "
                                "0.30000000000000004\ndelay = \"1h30m5s\"\n"),
            std::string::npos)
      << readFile(path);

  // A rule that would not read back: the earlier file stays.
  std::vector<LimitRule> bad = rules;
  bad[1].low = 1;
  try {
    kestrix::writeLimitsFile(path, bad);
    ADD_FAILURE() << "a bad rule was written";
  } catch (const kestrix::ConversionError& e) {
    EXPECT_EQ(e.detail(), "not written: rule 2: low (1) is above high (0.30000000000000004)");
  }
  EXPECT_EQ(kestrix::readLimitsFile(path), rules);

  // A folder that cannot be made: the message names the file.
  writeFile(dir / "plain", "a file, not a folder");
  try {
    kestrix::writeLimitsFile(dir / "plain" / "limits.toml", rules);
    ADD_FAILURE() << "written below a plain file";
  } catch (const kestrix::ConversionError& e) {
    EXPECT_EQ(e.file(), (dir / "plain" / "limits.toml").string());
  }
}

#ifdef _WIN32
TEST(LimitsFile, TheUsersFileIsInAppData) {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  ASSERT_NE(appData, nullptr);
  EXPECT_EQ(kestrix::userLimitsPath(), fs::path(appData) / L"Kestrix" / L"limits.toml");
}
#else
TEST(LimitsFile, TheUsersFileFollowsXdgConfigHome) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
  EXPECT_EQ(kestrix::userLimitsPath(), fs::path("/srv/config/kestrix/limits.toml"));
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as XDG asks
  EXPECT_EQ(kestrix::userLimitsPath(), fs::path("/home/ann/.config/kestrix/limits.toml"));
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(kestrix::userLimitsPath(), fs::path("/home/ann/.config/kestrix/limits.toml"));
  ::setenv("HOME", savedHome.c_str(), 1);
}
#endif

}  // namespace
