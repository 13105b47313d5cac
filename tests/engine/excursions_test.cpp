// Limits on the table's values: which rule names a channel, excursions at
// their edges, alarms, totals and verdicts, and the texts made of them.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "excursions.hpp"
#include "limit_rules.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "summary.hpp"

namespace kestrix {
namespace {

using testing::LoggerFileBuilder;

constexpr CellValue kBlank{CellKind::Blank, 0};
constexpr CellValue kOverflow{CellKind::Overflow, 0};
CellValue number(std::int64_t tenths) {
  return {CellKind::Number, tenths};
}

LimitRule limits(std::optional<double> low, std::optional<double> high) {
  LimitRule rule;
  rule.unit = "\u00B0C";
  rule.low = low;
  rule.high = high;
  return rule;
}

// Scans `cells` as rows 1, 2, ... at 60 s a row, in blocks of `block` cells.
ChannelCheck scan(const LimitRule& rule, const std::vector<CellValue>& cells,
                  std::size_t block = 3) {
  ExcursionScanner scanner(rule, 60);
  for (std::size_t at = 0; at < cells.size(); at += block) {
    const std::size_t n = std::min(block, cells.size() - at);
    scanner.add(cells.data() + at, static_cast<std::int64_t>(n), static_cast<std::int64_t>(at) + 1);
  }
  return scanner.finish();
}

Excursion excursion(Side side, std::int64_t firstRow, std::int64_t rows, std::int64_t peak,
                    std::int64_t peakRow, ExcursionNote note, bool alarm = true) {
  return {.firstRow = firstRow,
          .peakRow = peakRow,
          .rows = static_cast<std::int32_t>(rows),
          .peakTenths = static_cast<std::int32_t>(peak),
          .side = side,
          .note = note,
          .alarm = alarm};
}

TEST(Excursions, RunsAtTheirEdges) {
  using enum Side;
  using enum ExcursionNote;
  const std::vector<CellValue> cells{
      number(81),              // 1: above at the first value
      number(80),              // 2: equal to high: inside
      number(19),              // 3: one row below
      number(20),              // 4: equal to low: inside
      number(90), number(95),  // 5-6: above, the peak on row 6 ...
      number(95), kBlank,      // ... not on the tie of row 7; a blank ends it: a gap
      number(90),              // 9: above again after the gap
      number(10), number(-5),  // 10-11: straight to below: the run above ends with no note
      number(50),              // 12: inside
      number(85), kOverflow,   // 13: above, then no value ever again: open
      kBlank};
  const ChannelCheck check = scan(limits(2, 8), cells);
  const std::vector<Excursion> expected{
      excursion(Above, 1, 1, 81, 1, None),   excursion(Below, 3, 1, 19, 3, None),
      excursion(Above, 5, 3, 95, 6, Gap),    excursion(Above, 9, 1, 90, 9, None),
      excursion(Below, 10, 2, -5, 11, None), excursion(Above, 13, 1, 85, 13, Open),
  };
  EXPECT_EQ(check.excursions, expected);
  EXPECT_EQ(check.secondsAbove, 6 * 60);
  EXPECT_EQ(check.secondsBelow, 3 * 60);
  EXPECT_EQ(check.alarms, 6);  // a delay of 0: every excursion
  EXPECT_EQ(check.verdict, Verdict::Fail);
  // Blocks of any size give the same; a run reaching the last cell given is open.
  EXPECT_EQ(scan(limits(2, 8), cells, 1).excursions, expected);
  EXPECT_EQ(scan(limits(2, 8), cells, 64).excursions, expected);
  const ChannelCheck last = scan(limits(2, 8), {number(50), number(10), number(11)});
  EXPECT_EQ(last.excursions, std::vector{excursion(Below, 2, 2, 10, 2, Open)});
  // A rule with high only: nothing is below.
  const ChannelCheck highOnly = scan(limits({}, 8), cells);
  EXPECT_EQ(highOnly.excursions.size(), 4u);
  EXPECT_EQ(highOnly.secondsBelow, 0);
}

TEST(Excursions, CodesFindWhatValuesFind) {
  // Long runs of every kind, ending anywhere in the blocks the codes are
  // compared in, peaks early, late and tied: the check on the codes the
  // table's values give finds what the check on the cells finds.
  std::vector<CellValue> cells;
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t below) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % below;
  };
  while (cells.size() < 40000) {
    const std::uint32_t kind = next(10), length = 1 + next(next(4) == 0 ? 200 : 20);
    for (std::uint32_t k = 0; k < length; ++k) {
      if (kind == 0) {
        cells.push_back(kBlank);
      } else if (kind == 1) {
        cells.push_back(next(2) == 0 ? kOverflow : CellValue{CellKind::Text, 0});
      } else {
        // Around 2 and 8, ties included: -1.0 to 11.0 in steps of 0.5.
        cells.push_back(number(5 * static_cast<std::int64_t>(next(25)) - 10 +
                               (kind > 6   ? 60
                                : kind > 4 ? -20
                                           : 20)));
      }
    }
  }
  std::vector<std::int32_t> codes;
  for (const CellValue& c : cells) {
    codes.push_back(c.kind == CellKind::Number ? static_cast<std::int32_t>(c.tenths + cellCodeBias)
                    : c.kind == CellKind::Text ? cellCodeText
                    : c.kind == CellKind::Overflow ? cellCodeOverflow
                                                   : cellCodeBlank);
  }
  for (const LimitRule& rule : {limits(2, 8), limits({}, 8), limits(2, {}), limits(-1e300, 1e300),
                                limits(1e16, {}), limits(-0.5, -0.5)}) {
    const ChannelCheck byValues = scan(rule, cells, 1000);
    ExcursionScanner scanner(rule, 60);
    for (std::size_t at = 0; at < codes.size(); at += 1024) {
      const std::size_t n = std::min<std::size_t>(1024, codes.size() - at);
      scanner.addCodes(codes.data() + at, static_cast<std::int64_t>(n),
                       static_cast<std::int64_t>(at) + 1);
    }
    const ChannelCheck byCodes = scanner.finish();
    EXPECT_EQ(byCodes.excursions, byValues.excursions) << rule.low.value_or(0);
    if (rule.low == 2.0 && rule.high == 8.0) {
      EXPECT_GT(byValues.excursions.size(), 1000u);
    }
  }
}

TEST(Excursions, ValuesCompareAsTheSpreadsheetReadsTheTable) {
  // A cell holds tenths / 10.0: 0.3 is less than 0.1 + 0.2, and equal to 0.3.
  const double sum = 0.1 + 0.2;
  EXPECT_EQ(scan(limits({}, 0.3), {number(3)}).excursions.size(), 0u);
  EXPECT_EQ(scan(limits(sum, {}), {number(3)}).excursions.size(), 1u);
  EXPECT_EQ(scan(limits({}, sum), {number(3), number(4)}).excursions.size(), 1u);
  ExcursionScanner between(limits(-8.05, 8.05), 60);
  EXPECT_EQ(between.aboveFrom(), 81);
  EXPECT_EQ(between.belowTo(), -81);
  ExcursionScanner whole(limits(-8, 8), 60);
  EXPECT_EQ(whole.aboveFrom(), 81);
  EXPECT_EQ(whole.belowTo(), -81);
  // Limits beyond any cell.
  EXPECT_EQ(scan(limits(-1e300, 1e300), {number(-300000), number(300000)}).excursions.size(), 0u);
  EXPECT_EQ(scan(limits({}, -1e300), {number(-300000)}).excursions.size(), 1u);
}

TEST(Excursions, AlarmsAfterTheDelayAndTotalsOfShortOnes) {
  LimitRule rule = limits(2, 8);
  rule.delaySeconds = 120;  // the duration of a two-row excursion
  const std::vector<CellValue> cells{number(90), number(90), number(50), number(90),
                                     number(90), number(50), number(90), number(90),
                                     number(50), number(10), number(10), number(10)};
  ChannelCheck check = scan(rule, cells);
  ASSERT_EQ(check.excursions.size(), 4u);
  EXPECT_FALSE(check.excursions[0].alarm);  // lasting as long as the delay: no alarm
  EXPECT_TRUE(check.excursions[3].alarm);   // three rows below
  EXPECT_EQ(check.alarms, 1);
  rule.delaySeconds = 180;
  check = scan(rule, cells);
  EXPECT_EQ(check.alarms, 0);
  EXPECT_EQ(check.verdict, Verdict::Pass);
  // Six minutes above in three short excursions: more than a total of 5 minutes.
  rule.totalSeconds = 300;
  EXPECT_EQ(scan(rule, cells).verdict, Verdict::Fail);
  rule.totalSeconds = 360;  // as much as the total is not more
  EXPECT_EQ(scan(rule, cells).verdict, Verdict::Pass);
}

TEST(LimitRules, ALoggerRuleBeatsAUnitRuleAndTheLaterRuleWins) {
  ColumnInfo temperature;
  temperature.loggerId = "00A41C07";
  temperature.unit = "\260C";
  ColumnInfo humidity = temperature;
  humidity.channel = 1;
  humidity.unit = "%RH";
  ColumnInfo other = temperature;
  other.loggerId = "00000001";

  LimitRule logger = limits(0, 1);
  logger.unit.reset();
  logger.logger = 0x00A41C07;
  LimitRule secondChannel = logger;
  secondChannel.channel = 2;
  LimitRule loggersHumidity = logger;
  loggersHumidity.unit = "%RH";
  const std::vector<LimitRule> rules{limits(2, 8), logger, limits(3, 9), secondChannel};
  EXPECT_EQ(ruleFor(rules, temperature), 1u);  // the logger's, though a unit rule comes later
  EXPECT_EQ(ruleFor(rules, humidity), 3u);     // of two logger rules, the later
  EXPECT_EQ(ruleFor(rules, other), 2u);        // of two unit rules, the later
  const std::vector<LimitRule> byUnit{limits(2, 8), loggersHumidity};
  EXPECT_EQ(ruleFor(byUnit, humidity), 1u);  // unit and logger: that logger's %RH channel
  EXPECT_EQ(ruleFor(byUnit, temperature), 0u);
  EXPECT_FALSE(ruleFor(byUnit, ColumnInfo{0, 0, "", "00000002", "", "Watts", 1}));
}

// The rules' problems are checked, message and place, with the limits file.
TEST(LimitRules, Durations) {
  EXPECT_FALSE(ruleProblem(limits(2, 2)));  // equal limits: only those values are inside
  for (const auto& [text, seconds] :
       std::vector<std::pair<std::string, std::int64_t>>{{"90s", 90},
                                                         {"30m", 1800},
                                                         {"2h", 7200},
                                                         {"1h30m", 5400},
                                                         {"1h0m5s", 3605},
                                                         {"0s", 0},
                                                         {"90m", 5400}}) {
    EXPECT_EQ(parseDuration(text), seconds) << text;
    EXPECT_EQ(parseDuration(durationText(seconds)), seconds) << durationText(seconds);
  }
  EXPECT_EQ(durationText(5400), "1h30m");
  EXPECT_EQ(durationText(93784), "26h3m4s");
  for (const std::string bad :
       {"", "30", "30min", "m", "1m2h", "1h1h", " 1h", "1.5h", "-5s", "99999999999h"}) {
    EXPECT_FALSE(parseDuration(bad)) << bad;
  }
  EXPECT_EQ(parseLoggerIdentity("00a41C07"), 0x00A41C07u);
  EXPECT_FALSE(parseLoggerIdentity("A41C07"));
  EXPECT_FALSE(parseLoggerIdentity("00A41C0G"));
}

// A file starting at 31/12/14 23:00:00, one sample a minute.
LoggerFileBuilder file(std::uint32_t id, std::uint8_t type, std::vector<std::int16_t> slots) {
  LoggerFileBuilder b;
  b.name("Cold \xE9").loggerId(id).typeCode(type).start(2014, 12, 31, 23, 0, 0);
  b.samples(std::move(slots));
  return b;
}

ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<LoggerFile> files;
  for (const auto& b : builders) files.push_back(readLoggerFile("UC.PDB", b.build()));
  return makeRun(std::move(files));
}

// Two loggers, one with two channels (type 6: raw / 8 degrees in each), over
// all rows and over a stretch that cuts excursions.
TEST(Excursions, ChannelsOfARunAndTheirTexts) {
  // Type 6 slots alternate channel 1 and channel 2.
  const ConversionRun run = runOf({
      file(0xA1, 6, {80, 16, 72, 16, 64, 8, 8, 80, 8, 80}),  // K1: 10 9 8 1 1; K2: 2 2 1 10 10
      file(0xB2, 1, {160, 16, 16, 160, 160}),                // 10 1 1 10 10 (raw / 16)
  });
  const TableValues values(run);
  LimitRule logger;
  logger.logger = 0xA1;
  logger.channel = 2;
  logger.high = 5;
  logger.delaySeconds = 60;
  const std::vector<LimitRule> rules{logger, limits(2, 8)};
  const std::vector<ChannelCheck> checks = checkLimits(values, rules, RowRange{1, 5});
  ASSERT_EQ(checks.size(), 3u);
  using enum Side;
  using enum ExcursionNote;
  EXPECT_EQ(checks[0].excursions, (std::vector{excursion(Above, 1, 2, 100, 1, None),
                                               excursion(Below, 4, 2, 10, 4, Open)}));
  EXPECT_EQ(checks[1].excursions, std::vector{excursion(Above, 4, 2, 100, 4, Open, true)});
  EXPECT_EQ(checks[1].rule, logger);
  EXPECT_EQ(checks[2].verdict, Verdict::Fail);

  // Rows 2 to 4: the excursions are cut at the stretch's edges.
  const std::vector<ChannelCheck> cut = checkLimits(values, rules, RowRange{2, 4});
  EXPECT_EQ(cut[0].excursions, (std::vector{excursion(Above, 2, 1, 90, 2, None),
                                            excursion(Below, 4, 1, 10, 4, Open)}));
  EXPECT_EQ(cut[1].excursions, std::vector{excursion(Above, 4, 1, 100, 4, Open, false)});
  EXPECT_EQ(cut[1].verdict, Verdict::Pass);

  Regional comma;
  comma.decimalMark = ",";
  StringSink cp1252, utf8;
  writeExcursions(cut, values, cp1252, TextFormat{comma, Encoding::Windows1252, {}, {}});
  writeExcursions(std::vector<ChannelCheck>(3), values, utf8,
                  TextFormat{comma, Encoding::Utf8, {}, {}});
  EXPECT_EQ(cp1252.data,
            "Title\tLogger\tLabel\tUnit\tSide\tStart\tEnd\tDuration\tPeak\tPeak at\tAlarm\tNote\r\n"
            "Cold \xE9\t000000A1\ttype K1\t\260C\tabove\t31/12/14 23:01:00\t31/12/14 23:02:00\t"
            "0:01:00\t9,0\t31/12/14 23:01:00\tyes\t\r\n"
            "Cold \xE9\t000000A1\ttype K1\t\260C\tbelow\t31/12/14 23:03:00\t31/12/14 23:04:00\t"
            "0:01:00\t1,0\t31/12/14 23:03:00\tyes\topen\r\n"
            "Cold \xE9\t000000A1\ttype K2\t\260C\tabove\t31/12/14 23:03:00\t31/12/14 23:04:00\t"
            "0:01:00\t10,0\t31/12/14 23:03:00\tno\topen\r\n"
            "Cold \xE9\t000000B2\tUlmacorder Temp\t\260C\tbelow\t31/12/14 23:01:00\t"
            "31/12/14 23:03:00\t0:02:00\t1,0\t31/12/14 23:01:00\tyes\t\r\n"
            "Cold \xE9\t000000B2\tUlmacorder Temp\t\260C\tabove\t31/12/14 23:03:00\t"
            "31/12/14 23:04:00\t0:01:00\t10,0\t31/12/14 23:03:00\tyes\topen\r\n");
  EXPECT_EQ(
      utf8.data,  // no excursion: the header line alone
      "Title\tLogger\tLabel\tUnit\tSide\tStart\tEnd\tDuration\tPeak\tPeak at\tAlarm\tNote\r\n");

  // The summary's seven limit columns; empty where no rule applies.
  LimitRule halves = limits(2.5, {});
  halves.logger = 0xB2;
  std::vector<ChannelCheck> summaryChecks = checkLimits(values, std::vector{halves}, {1, 5});
  StringSink summary;
  writeSummary(summarize(values), run, summary, TextFormat{comma, Encoding::Utf8, {}, {}},
               &summaryChecks);
  const std::string& text = summary.data;
  EXPECT_NE(text.find("\tMKT\tLow\tHigh\tTime below\tTime above\tExcursions\tAlarms\tResult\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\t2,5\t\t0:02:00\t0:00:00\t1\t1\tfail\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\t\t\t\t\t\t\t\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kestrix
