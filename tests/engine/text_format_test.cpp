// Dates, durations and header texts as every text output writes them.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cell_values.hpp"
#include "dates.hpp"
#include "text_format.hpp"

namespace kestrix {
namespace {

std::int64_t at(int y, int mo, int d, int h, int mi, int s) {
  return toSeconds({y, mo, d, h, mi, s});
}

TEST(TextFormat, IsoDatesAcrossMonthAndYearEndsWithOffsets) {
  const auto iso = [](std::int64_t seconds, std::optional<int> offset, char between = ' ') {
    std::string out;
    appendIsoDate(seconds, between, offset, out);
    return out;
  };
  EXPECT_EQ(iso(at(2026, 12, 31, 23, 59, 59), {}), "2026-12-31 23:59:59");
  EXPECT_EQ(iso(at(2026, 12, 31, 23, 59, 59) + 1, {}), "2027-01-01 00:00:00");
  EXPECT_EQ(iso(at(2028, 2, 28, 23, 0, 0) + 3600, 0), "2028-02-29 00:00:00Z");  // leap day
  EXPECT_EQ(iso(at(2026, 12, 2, 9, 0, 0), 60, 'T'), "2026-12-02T09:00:00+01:00");
  EXPECT_EQ(iso(at(2026, 12, 2, 9, 0, 0), 330), "2026-12-02 09:00:00+05:30");
  EXPECT_EQ(iso(at(2026, 12, 2, 9, 0, 0), -180), "2026-12-02 09:00:00-03:00");
}

TEST(TextFormat, DurationsHaveAsManyHourDigitsAsNeeded) {
  for (const auto& [seconds, text] :
       std::vector<std::pair<std::int64_t, std::string>>{{0, "0:00:00"},
                                                         {59, "0:00:59"},
                                                         {1800, "0:30:00"},
                                                         {99000, "27:30:00"},
                                                         {360000 * 10 + 61, "1000:01:01"}}) {
    std::string out;
    appendDuration(seconds, out);
    EXPECT_EQ(out, text);
  }
}

TEST(TextFormat, RegionalAndIsoFormsOfDatesDaysAndChannelNames) {
  TextFormat format;
  format.regional = {",", ".", "\u2236"};  // a time separator Windows-1252 lacks
  const std::int64_t t = at(2026, 12, 7, 8, 5, 0);
  ColumnInfo column;
  column.title = "K\xFChlraum";  // Windows-1252
  column.loggerId = "00A41C07";
  column.label = "Temp";
  column.unit =
      "\xB0"
      "C";

  std::string out;
  const TextFormatter windows(format);
  windows.date(t, out);
  out += '|';
  windows.day(t, out);
  out += '|';
  windows.channel(column, out);
  out += '|';
  windows.number(-5, 1, out);
  EXPECT_EQ(out,
            "07.12.26 08:05:00|07.12.26|K\xFChlraum\t00A41C07\tTemp\t\xB0"
            "C|-0,5");

  format.encoding = Encoding::Utf8;
  format.dates = DateStyle::Iso;
  format.utcOffsetMinutes = 60;
  out.clear();
  const TextFormatter utf8(format);
  utf8.date(t, out);
  out += '|';
  utf8.day(t, out);
  out += '|';
  utf8.channel(column, out);
  EXPECT_EQ(out, "2026-12-07 08:05:00+01:00|2026-12-07|K\u00FChlraum\t00A41C07\tTemp\t\u00B0C");
}

TEST(TextFormat, DatesOfOneFormatterAcrossDaysAsTheTableWritesThem) {
  // One formatter keeps the last day's text: dates back and forth across
  // midnight, and before 2000, read as the table's row dates.
  Regional regional;
  regional.timeSeparator = "h";
  const TextFormatter formatter(TextFormat{regional, Encoding::Utf8, {}, {}});
  const std::int64_t midnight = at(2026, 12, 8, 0, 0, 0);
  for (const std::int64_t t : {midnight - 1, midnight, midnight + 86399, midnight - 1,
                               at(1999, 12, 31, 23, 59, 59), std::int64_t{-86400}, midnight}) {
    std::string fast, table;
    formatter.date(t, fast);
    appendRowDate(t, regional, table);
    EXPECT_EQ(fast, table) << t;
  }
}

TEST(TextFormat, WritersIntoALineWriteWhatTheAppendersAppend) {
  // Dates, numbers and durations written straight into a line, as the long
  // lists write them: the same text as appended, within the room promised.
  TextFormat format;
  format.regional = {"\u066B", ".", "\u2236"};  // marks of two and three bytes
  format.encoding = Encoding::Utf8;
  for (const DateStyle style : {DateStyle::Regional, DateStyle::Iso}) {
    format.dates = style;
    format.utcOffsetMinutes = style == DateStyle::Iso ? std::optional<int>(-330) : std::nullopt;
    const TextFormatter formatter(format);
    for (const std::int64_t t : {at(2026, 12, 8, 23, 59, 59), std::int64_t{-86401}}) {
      std::string appended;
      formatter.date(t, appended);
      std::vector<char> room(formatter.dateSize());  // exactly: the sanitizers see past it
      EXPECT_EQ(std::string(room.data(), formatter.date(t, room.data())), appended);
    }
    for (const std::int64_t tenths : {std::int64_t{0}, std::int64_t{-5}, std::int64_t{12345},
                                      std::numeric_limits<std::int64_t>::min()}) {
      for (const int decimals : {0, 1}) {
        std::string appended;
        formatter.number(tenths, decimals, appended);
        std::vector<char> room(formatter.numberSizeMost());
        EXPECT_EQ(std::string(room.data(), formatter.number(tenths, decimals, room.data())),
                  appended);
      }
    }
  }
  for (const std::int64_t seconds :
       {std::int64_t{0}, std::int64_t{99000}, std::numeric_limits<std::int64_t>::min()}) {
    std::string appended;
    appendDuration(seconds, appended);
    std::vector<char> room(kLongestDuration);
    EXPECT_EQ(std::string(room.data(), writeDuration(seconds, room.data())), appended);
  }
}

}  // namespace
}  // namespace kestrix
