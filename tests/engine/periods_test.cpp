// Days, weeks and months of a run: the calendar, the rows of each period, the
// figures and totals worked out by hand, and the text of the period table.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include "cell_values.hpp"
#include "dates.hpp"
#include "excursions.hpp"
#include "periods.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "summary.hpp"

namespace kestrix {
namespace {

using testing::LoggerFileBuilder;

constexpr std::int16_t kHourly = 9;  // interval codes: 3600 s
constexpr std::int16_t kSecondly = 0;

std::int64_t at(int year, int month, int day, int hour = 0) {
  return toSeconds({year, month, day, hour, 0, 0});
}

LoggerFileBuilder file(char name, std::uint8_t type, std::int16_t intervalCode,
                       std::vector<std::int16_t> slots) {
  LoggerFileBuilder b;
  b.name(std::string(1, name)).loggerId(static_cast<std::uint32_t>(name)).typeCode(type);
  b.intervalCode(intervalCode).start(2014, 12, 31, 22, 0, 0).samples(std::move(slots));
  return b;
}

ConversionRun runOf(const std::vector<LoggerFileBuilder>& builders) {
  std::vector<LoggerFile> files;
  for (const auto& b : builders) files.push_back(readLoggerFile("UC.PDB", b.build()));
  return makeRun(std::move(files));
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = text.find("\r\n", from);
    if (end == std::string::npos) {
      ADD_FAILURE() << "no CR LF after " << text.substr(from);
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

std::vector<std::string> periodLines(const TableValues& values, PeriodKind kind,
                                     const std::vector<ChannelCheck>* limits = nullptr,
                                     TextFormat format = {}) {
  StringSink sink;
  const RowRange rows{1, values.rowCount()};
  writePeriods(makePeriodTable(values, rows, kind, limits), values, sink, format);
  return linesOf(sink.data);
}

TEST(Periods, CalendarOfDaysIsoWeeksAndMonths) {
  // 31 December 2026 is a Thursday: its week starts on Monday the 28th and ends in January.
  EXPECT_EQ(periodStartOf(PeriodKind::Week, at(2026, 12, 31, 13)), at(2026, 12, 28));
  EXPECT_EQ(nextPeriodStart(PeriodKind::Week, at(2026, 12, 28)), at(2027, 1, 4));
  EXPECT_EQ(periodStartOf(PeriodKind::Week, at(2027, 1, 3, 23)), at(2026, 12, 28));
  EXPECT_EQ(periodStartOf(PeriodKind::Week, at(2027, 1, 4)), at(2027, 1, 4));
  // 1 January 2000, the clock's first day, was a Saturday: its Monday lies before it.
  EXPECT_EQ(periodStartOf(PeriodKind::Week, 5), at(1999, 12, 27));
  EXPECT_EQ(periodStartOf(PeriodKind::Day, at(2016, 2, 29, 23) + 3599), at(2016, 2, 29));
  EXPECT_EQ(periodStartOf(PeriodKind::Day, -1), at(1999, 12, 31));
  // Months of 28, 29, 30 and 31 days, December into January.
  const std::pair<std::int64_t, int> months[] = {
      {at(2015, 2, 1), 28}, {at(2016, 2, 1), 29}, {at(2015, 4, 1), 30}, {at(2015, 12, 1), 31}};
  for (const auto& [start, days] : months) {
    EXPECT_EQ(periodStartOf(PeriodKind::Month, start + days * 86400 - 1), start);
    EXPECT_EQ(nextPeriodStart(PeriodKind::Month, start), start + days * 86400);
  }
  EXPECT_EQ(parsePeriodKind("week"), PeriodKind::Week);
  EXPECT_EQ(parsePeriodKind("all"), PeriodKind::All);
  EXPECT_EQ(parsePeriodKind("Day"), std::nullopt);
  EXPECT_EQ(periodKindName(PeriodKind::Month), "month");
}

TEST(Periods, RowsOfEachPeriodFollowTheRowsDates) {
  // Hourly from 31/12/14 22:00 to 05/01/15 21:00: a run that starts late in
  // a day, crosses days, a year end inside an ISO week and a Monday.
  const ConversionRun run = runOf({file('A', 1, kHourly, std::vector<std::int16_t>(120, 320))});
  const RowRange all{1, 120};
  const std::vector<Period> days = periodsOf(run, all, PeriodKind::Day);
  const std::vector<Period> expectedDays{{at(2014, 12, 31), {1, 2}}, {at(2015, 1, 1), {3, 26}},
                                         {at(2015, 1, 2), {27, 50}}, {at(2015, 1, 3), {51, 74}},
                                         {at(2015, 1, 4), {75, 98}}, {at(2015, 1, 5), {99, 120}}};
  EXPECT_EQ(days, expectedDays);
  // The first week is dated by its Monday, before the first row.
  const std::vector<Period> weeks{{at(2014, 12, 29), {1, 98}}, {at(2015, 1, 5), {99, 120}}};
  EXPECT_EQ(periodsOf(run, all, PeriodKind::Week), weeks);
  const std::vector<Period> months{{at(2014, 12, 1), {1, 2}}, {at(2015, 1, 1), {3, 120}}};
  EXPECT_EQ(periodsOf(run, all, PeriodKind::Month), months);
  // The whole run is dated by its first row; a stretch of rows keeps the calendar.
  EXPECT_EQ(periodsOf(run, all, PeriodKind::All),
            (std::vector<Period>{{at(2014, 12, 31, 22), all}}));
  EXPECT_EQ(periodsOf(run, {25, 28}, PeriodKind::Day),
            (std::vector<Period>{{at(2015, 1, 1), {25, 26}}, {at(2015, 1, 2), {27, 28}}}));
  EXPECT_EQ(periodsOf(run, {30, 29}, PeriodKind::Day), std::vector<Period>{});

  // A month at a time over 28, 31 and 30 days: 24 rows a day.
  LoggerFileBuilder spring = file('B', 1, kHourly, std::vector<std::int16_t>(24 * 90, 320));
  spring.start(2015, 1, 31, 0, 0, 0);
  const ConversionRun springRun = runOf({spring});
  const std::vector<Period> springMonths{{at(2015, 1, 1), {1, 24}},
                                         {at(2015, 2, 1), {25, 24 + 28 * 24}},
                                         {at(2015, 3, 1), {697, 696 + 31 * 24}},
                                         {at(2015, 4, 1), {1441, 2160}}};
  EXPECT_EQ(periodsOf(springRun, {1, 2160}, PeriodKind::Month), springMonths);
}

TEST(Periods, LinesWorkedOutByHand) {
  // A: 20, 21 | 22, 19, 20 degrees across midnight; B, watts from midnight:
  // three times 409.6 W (raw 3600 at 3600 s).
  LoggerFileBuilder watts = file('B', 4, kHourly, {3600, 3600, 3600});
  watts.start(2015, 1, 1, 0, 0, 0);
  const ConversionRun run = runOf({file('A', 1, kHourly, {320, 336, 352, 304, 320}), watts});
  const TableValues values(run);
  const std::vector<std::string> lines = periodLines(values, PeriodKind::Day);
  const std::vector<std::string> expected{
      "Title\tLogger\tLabel\tUnit\tPeriod\tRows\tValues\tMin\tMin at\tMax\tMax at\tMean\tMKT\t"
      "Total\tTotal unit\tTime below\tTime above",
      "A\t00000041\tUlmacorder Temp\t\260C\t31/12/14\t2\t2\t20.0\t31/12/14 22:00:00\t21.0\t"
      "31/12/14 23:00:00\t20.50\t20.51\t\t\t\t",
      "A\t00000041\tUlmacorder Temp\t\260C\t01/01/15\t3\t3\t19.0\t01/01/15 01:00:00\t22.0\t"
      "01/01/15 00:00:00\t20.33\t20.42\t\t\t\t",
      // No line for B on 31/12/14, before its first sample.
      // 3 x 409.6 W for an hour each: 1.2288 kWh.
      "B\t00000042\tInline Wattmeter\tWatts\t01/01/15\t3\t3\t409.6\t01/01/15 00:00:00\t409.6\t"
      "01/01/15 00:00:00\t409.60\t\t1.229\tkWh\t\t"};
  EXPECT_EQ(lines, expected);

  // ISO dates for the period, the regional mark for the numbers, UTF-8 texts.
  TextFormat iso;
  iso.dates = DateStyle::Iso;
  iso.regional.decimalMark = ",";
  iso.encoding = Encoding::Utf8;
  EXPECT_EQ(periodLines(values, PeriodKind::Month, nullptr, iso)[1],
            "A\t00000041\tUlmacorder Temp\t\u00B0C\t2014-12-01\t2\t2\t20,0\t2014-12-31 22:00:00\t"
            "21,0\t2014-12-31 23:00:00\t20,50\t20,51\t\t\t\t");
  // A run without rows has the column names alone.
  const ConversionRun empty = runOf({file('C', 1, kHourly, {})});
  const TableValues none(empty);  // the values keep the run
  EXPECT_EQ(periodLines(none, PeriodKind::Day).size(), 1u);
}

TEST(Periods, TotalsOfEnergyPulsesAndBurningHours) {
  const auto total = [](const LoggerFileBuilder& b) {
    const ConversionRun run = runOf({b});
    const TableValues values(run);
    return periodLines(values, PeriodKind::All)[1];
  };
  const auto ending = [](const std::string& line) {
    // "Total<TAB>Total unit<TAB><TAB>"
    const std::string tail = line.substr(0, line.size() - 2);
    return tail.substr(tail.rfind('\t', tail.rfind('\t') - 1) + 1);
  };
  // Watts after the first row's "-": 18 x 100.0 W for 1 s is 0.0005 kWh, a
  // half rounded away from zero; 17 of them 0.00047.
  EXPECT_EQ(ending(total(file('W', 4, kSecondly, std::vector<std::int16_t>(19, 1000)))),
            "0.001\tkWh");
  EXPECT_EQ(ending(total(file('W', 4, kSecondly, std::vector<std::int16_t>(18, 1000)))),
            "0.000\tkWh");
  // 3 x 64.0 W for a minute: 0.0032 kWh; 2 x 512.0 W for 10 minutes: 0.17067.
  EXPECT_EQ(ending(total(file('W', 4, 7, {600, 600, 600, 600}))), "0.003\tkWh");
  EXPECT_EQ(ending(total(file('W', 9, 8, {6000, 6000, 6000}))), "0.171\tkWh");
  // Pulses: the first row reads 0, then 7 and 9.
  EXPECT_EQ(ending(total(file('P', 2, 7, {5, 7, 9}))), "16\tPulses");
  // Seconds: 18 s is 0.005 h, rounded up; 60 s 0.0167 h.
  EXPECT_EQ(ending(total(file('S', 8, 7, {9, 9}))), "0.01\th");
  EXPECT_EQ(ending(total(file('S', 8, 7, {30, 30}))), "0.02\th");

  // Halves away from zero on either side, and sums whose product with the
  // interval would pass 64 bits.
  EXPECT_EQ(periodTotal(TotalKind::BurningHours, -180, 60, 0), (FixedDecimal{-1, 2}));
  EXPECT_EQ(periodTotal(TotalKind::BurningHours, -179, 60, 0), (FixedDecimal{0, 2}));
  EXPECT_EQ(periodTotal(TotalKind::Energy, -18'000, 1, 1), (FixedDecimal{-1, 3}));
  EXPECT_EQ(periodTotal(TotalKind::Energy, 9'000'000'000'000'000, 3600, 1),
            (FixedDecimal{900'000'000'000'000, 3}));
  EXPECT_EQ(periodTotal(TotalKind::Pulses, 25, 60, 0), (FixedDecimal{3, 0}));
  // Nothing to add up: a zero in the total's form.
  EXPECT_EQ(periodTotal(TotalKind::BurningHours, 0, 60, 0), (FixedDecimal{0, 2}));
  EXPECT_EQ(periodTotal(TotalKind::Pulses, 0, 60, 0), (FixedDecimal{0, 0}));
  EXPECT_EQ(periodTotal(TotalKind::None, 25, 60, 1), std::nullopt);
}

// A wrapped memory at 1 s a row from 23:00: its first 220 rows read
// overflow, then 21.3 degrees and up, 20.0 first at row 251.
LoggerFileBuilder overflowing() {
  LoggerFileBuilder b = file('W', 1, kSecondly, {});
  b.start(2014, 12, 31, 23, 0, 0).memoryCode(0);
  b.wrappedMemory(65536, 65536 + 100, [](std::int64_t n) { return 320 + n % 50; });
  return b;
}

TEST(Periods, OverflowAndBlankCellsAreNoValues) {
  LoggerFileBuilder late = file('L', 1, kSecondly, std::vector<std::int16_t>(4000, 400));
  late.start(2014, 12, 31, 23, 59, 0);  // blank for the first 3540 rows
  const ConversionRun run = runOf({overflowing(), late});
  const TableValues values(run);
  const PeriodTable table = makePeriodTable(values, {1, values.rowCount()}, PeriodKind::Day);
  ASSERT_EQ(table.periods.size(), 2u);
  EXPECT_EQ(table.periods[0].rows, (RowRange{1, 3600}));
  EXPECT_EQ(table.line(0, 0).summary.values, 3600 - 220);
  EXPECT_EQ(table.line(0, 0).summary.overflow, 220);
  EXPECT_EQ(table.line(0, 0).summary.minRow, 251);
  EXPECT_EQ(table.line(1, 0).summary.values, 60);
  EXPECT_EQ(table.line(1, 1).summary.values, 3940);
  EXPECT_EQ(table.line(1, 1).summary.firstRow, 3601);
}

TEST(Periods, WholeRunEqualsTheSummary) {
  LoggerFileBuilder pulses = file('P', 2, kSecondly, std::vector<std::int16_t>(60000, 3));
  const ConversionRun run =
      runOf({overflowing(), pulses, file('T', 6, kSecondly, {80, 96, 88, 72})});
  const TableValues values(run);
  const std::vector<ColumnSummary> summary = summarize(values);
  const PeriodTable table = makePeriodTable(values, {1, values.rowCount()}, PeriodKind::All);
  ASSERT_EQ(table.periods.size(), 1u);
  StringSink summaryText;
  writeSummary(summary, run, summaryText, TextFormat{});
  const std::vector<std::string> summaryLines = linesOf(summaryText.data);
  const std::vector<std::string> lines = periodLines(values, PeriodKind::All);
  ASSERT_EQ(lines.size(), summary.size() + 1);
  for (std::size_t c = 0; c < summary.size(); ++c) {
    SCOPED_TRACE("column " + std::to_string(c));
    const ColumnFigures& s = table.line(c, 0).summary;
    EXPECT_EQ(s.values, summary[c].values);
    EXPECT_EQ(s.minRow, summary[c].minRow);
    EXPECT_EQ(s.maxRow, summary[c].maxRow);
    EXPECT_EQ(s.sumTenths, summary[c].sumTenths);
    EXPECT_EQ(s.meanKineticTemperature, summary[c].meanKineticTemperature);
    // Values, then Min to MKT: the summary's fields 6 and 9 to 14, the period
    // table's 6 to 12.
    const auto fields = [](const std::string& line) {
      std::vector<std::string> out(1);
      for (const char ch : line) {
        if (ch == '\t')
          out.emplace_back();
        else
          out.back().push_back(ch);
      }
      return out;
    };
    const std::vector<std::string> a = fields(summaryLines[c + 1]);
    const std::vector<std::string> b = fields(lines[c + 1]);
    EXPECT_EQ(b[6], a[6]);
    EXPECT_EQ(std::vector(b.begin() + 7, b.begin() + 13), std::vector(a.begin() + 9, a.end()));
  }
}

TEST(Periods, TimeBelowAndAboveTheLimitsInEachPeriod) {
  // 10, 10, 10 | 5, 0, 10 degrees: above from 22:00 across midnight, below at 01:00.
  const ConversionRun run =
      runOf({file('A', 1, kHourly, {160, 160, 160, 80, 0, 160}), file('P', 2, kHourly, {1, 2})});
  const TableValues values(run);
  LimitRule rule;
  rule.unit = "\u00B0C";
  rule.low = 2;
  rule.high = 8;
  const std::vector<ChannelCheck> checks = checkLimits(values, std::vector{rule}, {1, 6});
  const std::vector<std::string> lines = periodLines(values, PeriodKind::Day, &checks);
  ASSERT_EQ(lines.size(), 4u);  // P's first day only: its two samples
  EXPECT_TRUE(lines[1].ends_with("\t0:00:00\t2:00:00")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with("\t1:00:00\t2:00:00")) << lines[2];
  EXPECT_TRUE(lines[3].ends_with("\tPulses\t\t")) << lines[3];  // no rule: nothing
  // A rule with a high limit only: no time below it.
  rule.low.reset();
  const std::vector<ChannelCheck> highOnly = checkLimits(values, std::vector{rule}, {1, 6});
  EXPECT_TRUE(periodLines(values, PeriodKind::All, &highOnly)[1].ends_with("\t0:00:00\t4:00:00"));
}

}  // namespace
}  // namespace kestrix
