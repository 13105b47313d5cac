// The limits editor's lines: which rule fills a line and which are kept,
// the cells read back into rules, and the texts every build must refuse or
// take alike.
#include <gtest/gtest.h>

#include "cell_values.hpp"
#include "limit_lines.hpp"

namespace kestrix {
namespace {

const std::string celsius = "\u00b0C";

std::vector<LimitLine> twoChannels() {
  const ColumnInfo room{0, 0, "Room", "00A41C07", "Temp", "\260C", 1};
  const ColumnInfo nameless{0, 1, "Room", "", "Temp", "\260C", 1};
  return {unitLimitLine(celsius), channelLimitLine("Room \u2014 Temp", celsius, room),
          channelLimitLine("Room \u2014 Other", celsius, nameless)};
}

LimitRule rule(std::optional<std::string> unit, std::optional<std::uint32_t> logger,
               std::optional<int> channel, double high) {
  LimitRule r;
  r.unit = std::move(unit);
  r.logger = logger;
  r.channel = channel;
  r.high = high;
  return r;
}

TEST(LimitLines, TheLastRuleNamingALineFillsItAndTheOthersAreKept) {
  const std::vector<LimitLine> lines = twoChannels();
  const std::vector<LimitRule> rules = {
      rule(celsius, std::nullopt, std::nullopt, 8),     // the unit line, beaten by the next
      rule(celsius, std::nullopt, std::nullopt, 9),     // the unit line
      rule(std::nullopt, 0x00A41C07, 2, 5),             // the logger's other channel: kept
      rule("%RH", 0x00A41C07, std::nullopt, 6),         // the logger's %RH channels: kept
      rule(std::nullopt, 0x00A41C07, std::nullopt, 7),  // both channels: the channel line
  };
  const FilledLimitLines filled = fillLimitLines(lines, rules);
  ASSERT_EQ(filled.cells.size(), 3u);
  EXPECT_EQ(filled.cells[0], (LimitCells{"", "9", "", ""}));
  EXPECT_EQ(filled.cells[1], (LimitCells{"", "7", "", ""}));
  EXPECT_EQ(filled.cells[2], LimitCells{});
  EXPECT_EQ(filled.kept, (std::vector<LimitRule>{rules[2], rules[3]}));
  EXPECT_FALSE(lines[2].editable());
}

TEST(LimitLines, CellsReadAsEveryBuildReadsThem) {
  const LimitLine line = twoChannels()[0];
  const auto high = [&](const std::string& typed) {
    CellFault fault;
    const std::optional<LimitRule> r = lineRule(line, {"", typed, "", ""}, fault);
    return r ? r->high : std::nullopt;
  };
  EXPECT_EQ(high("1e+3"), 1000);
  EXPECT_EQ(high(" \u00a0-2,5\u3000\t"), -2.5);  // Unicode white space passed over
  EXPECT_EQ(high(".5"), 0.5);
  EXPECT_EQ(high("5."), 5);
  for (const char* refused : {"+5", "0x10", "inf", "nan", "1e400", "1e-400", "1e", "-", ".",
                              "1.2.3", "1,5,0", "e5", "5 6"})
    EXPECT_EQ(high(refused), std::nullopt) << refused;

  CellFault fault;
  EXPECT_FALSE(lineRule(line, {"", "\u00a08o ", "", ""}, fault));
  EXPECT_EQ(fault.cell, HighCell);
  EXPECT_EQ(fault.message, "High: \u201c8o\u201d is not a number");
  EXPECT_FALSE(lineRule(line, {"", "8", "3600", "1h30"}, fault));
  EXPECT_EQ(fault.cell, TotalCell);
  EXPECT_FALSE(lineRule(line, {"", "8", "-1", ""}, fault));
  EXPECT_EQ(fault.cell, DelayCell);
  const std::optional<LimitRule> r = lineRule(line, {"", "8", "3600", "1h30m"}, fault);
  ASSERT_TRUE(r);
  EXPECT_EQ(fault.cell, -1);
  EXPECT_EQ(r->delaySeconds, 3600);
  EXPECT_EQ(r->totalSeconds, 5400);
}

TEST(LimitLines, EditedRulesFollowTheKeptOnesAndNoneWhileACellIsWrong) {
  const std::vector<LimitLine> lines = twoChannels();
  const std::vector<LimitRule> kept = {rule("%RH", std::nullopt, std::nullopt, 70)};
  std::vector<LimitCells> cells = {{"2", "8", "30m", ""}, {}, {"1", "", "", ""}};
  EditedLimits edited = editedLimits(lines, cells, kept);
  EXPECT_TRUE(edited.faults.empty());
  EXPECT_EQ(edited.problem, "");
  ASSERT_EQ(edited.rules.size(), 2u);  // the line that takes no rule gives none
  EXPECT_EQ(edited.rules[0], kept[0]);
  EXPECT_EQ(edited.rules[1].unit, celsius);
  EXPECT_EQ(edited.rules[1].delaySeconds, 1800);

  cells[0] = {"9", "8", "", ""};
  cells[1] = {"", "", "5m", ""};
  edited = editedLimits(lines, cells, kept);
  ASSERT_EQ(edited.faults.size(), 2u);
  EXPECT_EQ(edited.faults[1].line, 1u);
  EXPECT_EQ(edited.faults[1].cell.message, "Low: a delay or a total needs a low or a high limit");
  EXPECT_EQ(edited.problem, "Every \u00b0C channel, Low: low (9) is above high (8)");
  EXPECT_TRUE(edited.rules.empty());
}

}  // namespace
}  // namespace kestrix
