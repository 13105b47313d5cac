#include "channels.hpp"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

std::string number(double value, NumberFormat format = NumberFormat::OneDecimal,
                   std::string_view mark = ".") {
  std::string out;
  formatNumber(value, format, mark, out);
  return out;
}

std::string cell(std::uint8_t type, std::int16_t s1, std::int16_t s2 = 0, bool firstRow = false,
                 int interval = 60, std::int16_t offset = 0, std::int16_t factor = 0) {
  std::string out;
  appendCellText(CellParams{type, offset, factor, interval}, s1, s2, firstRow, ".", out);
  return out;
}

TEST(ChannelTypes, LabelsUnitsAndChannelCounts) {
  EXPECT_EQ(channelLabels(3), "Ulmacorder Temp\tHumidity");
  EXPECT_EQ(channelUnits(3),
            "\xB0"
            "C\t%RH");
  EXPECT_EQ(channelUnits(10),
            "\xB0"
            "C\t\xB0"
            "C");
  EXPECT_EQ(channelLabels(7), "Wattmeter\tV");
  for (int code : {0, 11, 255}) {
    EXPECT_EQ(channelLabels(static_cast<std::uint8_t>(code)), "Unknown data type");
    EXPECT_EQ(channelUnits(static_cast<std::uint8_t>(code)), "?");
  }
  for (int code = 0; code < 256; ++code) {
    const bool two = code == 3 || code == 6 || code == 7 || code == 10;
    EXPECT_EQ(channelCountOf(static_cast<std::uint8_t>(code)), two ? 2 : 1) << code;
  }
}

TEST(Ratenorm, RescalesByIntervalAndReadsUnsigned) {
  EXPECT_DOUBLE_EQ(powerRate(1234, 1), 123.4);
  EXPECT_DOUBLE_EQ(powerRate(1234, 2), 123.4);
  EXPECT_DOUBLE_EQ(powerRate(2400, 240), 128.0);  // 128/240, not 256/240
  EXPECT_DOUBLE_EQ(powerRate(3600, 3600), 409.6);
  EXPECT_EQ(powerRate(-1, 60), 0.0);
  EXPECT_DOUBLE_EQ(powerRate(-2, 1), 6553.4);
  EXPECT_DOUBLE_EQ(powerRate(-32768, 1), 3276.8);
  EXPECT_EQ(powerRate(1234, 0), 0.0);
  EXPECT_EQ(powerRate(1234, 7), 0.0);
}

TEST(FormatNumber, HalvesAwayFromZeroAfterFifteenDigits) {
  EXPECT_EQ(number(0.25), "0.3");
  EXPECT_EQ(number(-0.75), "-0.8");
  EXPECT_EQ(number(2.5, NumberFormat::Whole), "3");
  EXPECT_EQ(number(-2.5, NumberFormat::Whole), "-3");
  // Binary neighbours of a half: 15 digits make them the half itself.
  EXPECT_EQ(number(50.45000000000001), "50.5");
  EXPECT_EQ(number(50.44999999999999), "50.5");
  EXPECT_EQ(number(50.449999999999), "50.4");
  EXPECT_EQ(number(9.95), "10.0");  // below 9.95 in binary, carries into a new digit
  EXPECT_EQ(number(99.96), "100.0");
  EXPECT_EQ(number(0.05), "0.1");
  EXPECT_EQ(number(0.0499), "0.0");
  // Either side of 10^8 units of the last digit.
  EXPECT_EQ(number(9999999.94), "9999999.9");
  EXPECT_EQ(number(9999999.96), "10000000.0");
  EXPECT_EQ(number(99999999.96), "100000000.0");
  EXPECT_EQ(number(-99999999.5, NumberFormat::Whole), "-100000000");
  EXPECT_EQ(number(100000000.45), "100000000.5");
}

TEST(FormatNumber, ZeroSignMarkAndExtremes) {
  EXPECT_EQ(number(-0.04), "0.0");
  EXPECT_EQ(number(-0.0), "0.0");
  EXPECT_EQ(number(-0.4, NumberFormat::Whole), "0");
  EXPECT_EQ(number(1e-300), "0.0");
  EXPECT_EQ(number(-1234567.25, NumberFormat::OneDecimal, ","), "-1234567,3");
  EXPECT_EQ(number(0.5, NumberFormat::OneDecimal, "\xC2\xB7"),
            "0\xC2\xB7"
            "5");
  EXPECT_EQ(number(1e20, NumberFormat::Whole), "100000000000000000000");
  EXPECT_EQ(number(-1.7e308).size(), 312u);  // minus, 309 digits, mark, digit
  EXPECT_FALSE(number(std::numeric_limits<double>::quiet_NaN()).empty());
  EXPECT_FALSE(number(-std::numeric_limits<double>::infinity()).empty());
  std::string out = "a\t";
  formatNumber(1.0, NumberFormat::Whole, ".", out);
  EXPECT_EQ(out, "a\t1");
}

TEST(AppendCellText, Formulas) {
  EXPECT_EQ(cell(1, 400), "25.0");
  EXPECT_EQ(cell(1, -8), "-0.5");
  EXPECT_EQ(cell(1, 4), "0.3");
  EXPECT_EQ(cell(1, -4), "-0.3");
  EXPECT_EQ(cell(2, -1), "-1");
  EXPECT_EQ(cell(3, 6460, 1000), "25.0\t33.7");
  EXPECT_EQ(cell(3, -32768, 1500), "288.1\t50.5");
  EXPECT_EQ(cell(4, 1234), "131.6");
  EXPECT_EQ(cell(9, 1234, 0, false, 1), "123.4");
  EXPECT_EQ(cell(4, 2400, 0, false, 240), "128.0");
  EXPECT_EQ(cell(4, -1), "0.0");
  EXPECT_EQ(cell(4, -2), "6990.3");
  EXPECT_EQ(cell(5, 6400, 0, false, 60, -256), "24.0");
  EXPECT_EQ(cell(5, 32767, 0, false, 60, 1), "-128.0");
  EXPECT_EQ(cell(6, 200, -16), "25.0\t-2.0");
  EXPECT_EQ(cell(7, 1234, 1150, false, 60, 0, 100), "131.6\t4.0");
  EXPECT_EQ(cell(7, 1234, 1150), "131.6\t0.0");
  EXPECT_EQ(cell(7, 1234, 32767, false, 60, 0, -32768), "131.6\t-37346.4");
  EXPECT_EQ(cell(8, 75, 0, true), "75");
  EXPECT_EQ(cell(10, 800, 200), "428\t25.0");
  EXPECT_EQ(cell(0, -5), "-5");
  EXPECT_EQ(cell(200, 32767), "32767");
}

TEST(AppendCellText, FirstRowTexts) {
  EXPECT_EQ(cell(2, 99, 0, true), "0");
  EXPECT_EQ(cell(4, 1234, 0, true), "-");
  EXPECT_EQ(cell(9, 1234, 0, true), "-");
  EXPECT_EQ(cell(7, 1234, 1150, true, 60, 0, 100), "-\t-");
  EXPECT_EQ(cell(1, 400, 0, true), "25.0");
  EXPECT_EQ(cell(10, 800, 200, true), "428\t25.0");
}

}  // namespace
}  // namespace kestrix
