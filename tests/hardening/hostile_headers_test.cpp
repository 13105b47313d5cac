// Headers that lie: record counts, offsets, sample counts and interval codes
// chosen to hurt. Each file is refused with a clear message or converts with
// work and memory bounded by the file's size and the row limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <conversion.hpp>
#include <logger_file_builder.hpp>
#include <string>
#include <vector>

#include "error.hpp"
#include "limits.hpp"
#include "recording.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

using kestrix::ConversionError;
using kestrix::ErrorKind;
using kestrix::LoggerFile;
using kestrix::testing::convertToText;
using kestrix::testing::crlfLines;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ramp;
using kestrix::testing::runOf;
using kestrix::testing::WrittenTable;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::int64_t kLargestMemory = 131072;

// How many stored positions hold a sample read from the file.
std::int64_t presentCount(const LoggerFile& f) {
  const auto stored = f.samples.stored();
  return std::count_if(stored.begin(), stored.end(), [](const auto& s) { return s.has_value(); });
}

LoggerFile read(const Bytes& bytes) {
  return kestrix::readLoggerFile("UC001.PDB", bytes);
}
LoggerFile read(const LoggerFileBuilder& b) {
  return read(b.build());
}

std::string messageOf(const LoggerFileBuilder& b) {
  try {
    runOf(read(b));
  } catch (const ConversionError& e) {
    return e.what();
  }
  return "(converted)";
}

// Counts what it is given and keeps the largest single write.
class CountingSink final : public kestrix::Sink {
 public:
  void write(std::string_view bytes) override {
    total += bytes.size();
    largestWrite = std::max(largestWrite, bytes.size());
    lines += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  }
  std::size_t total = 0;
  std::size_t largestWrite = 0;
  std::size_t lines = 0;
};

}  // namespace

TEST(HostileHeaders, FullIndexOfLyingRecordsReadsAtMostOneMemory) {
  // 65535 index entries, nearly all pointing behind the end of the file, and
  // a count of 2^30 - 1 samples on a two-channel logger with memory code 4.
  LoggerFileBuilder b;
  b.recordCount(65535).typeCode(3).memoryCode(4).byteCount(0x7FFFFFFE).samples(ramp(5000));
  const Bytes bytes = b.build();
  const LoggerFile f = read(bytes);
  EXPECT_TRUE(f.inconsistent);
  EXPECT_EQ(f.samples.size(), kLargestMemory);
  EXPECT_EQ(presentCount(f), 5000);
  // And the row limit refuses the table it asks for.
  EXPECT_EQ(messageOf(b),
            "UC001.PDB: the table would have 536870911 rows, more than 16777216: its sample "
            "count 536870911 cannot be right");

  // The same index with every entry at the largest offset: nothing to read.
  LoggerFileBuilder far;
  far.recordOffsets(std::vector<std::int32_t>(65535, INT32_MAX)).samples(ramp(10));
  EXPECT_EQ(messageOf(far),
            "UC001.PDB: not a logger file, or one cut short: it ends within the recording's "
            "settings");
}

TEST(HostileHeaders, NegativeOffsetsAreNeverSoughtBack) {
  const LoggerFile plain = read(LoggerFileBuilder().offsetParam(5).samples(ramp(8, 100)));

  // Record 1 at a negative offset: the reader stays behind the index, where
  // record 1 happens to lie, and reads the file as usual.
  for (std::int32_t offset : {-5, INT32_MIN}) {
    const LoggerFile f =
        read(LoggerFileBuilder().offsetParam(5).samples(ramp(8, 100)).recordOffset(1, offset));
    EXPECT_EQ(f.offsetParam, 5);
    EXPECT_EQ(f.samples.stored(), plain.samples.stored());
  }

  // Record 2 at a negative offset: no optional field is read (record 1 seems
  // to end before it starts) and the samples start right after the fixed
  // fields, with the memory code and spare byte (FF FF) as the first sample.
  const LoggerFile early =
      read(LoggerFileBuilder().offsetParam(5).samples(ramp(8, 100)).recordOffset(2, -1));
  EXPECT_EQ(early.offsetParam, 0);
  EXPECT_EQ(early.samples.at(1), -1);
  EXPECT_EQ(early.samples.at(2), 5);  // the offset parameter's bytes 00 05
  EXPECT_EQ(early.samples.at(3), 0);  // the factor parameter's
  EXPECT_EQ(early.samples.at(4), 100);
}

TEST(HostileHeaders, OffsetsPastTheEndOrOutOfOrder) {
  // Record 2 far behind the end of the file: every sample is missing.
  LoggerFileBuilder gone;
  gone.samples(ramp(20)).recordOffset(2, INT32_MAX);
  const LoggerFile g = read(gone);
  EXPECT_TRUE(g.inconsistent);
  EXPECT_EQ(presentCount(g), 0);
  const WrittenTable table = convertToText(runOf(read(gone)));
  EXPECT_EQ(table.status, "Done... inconsistent file(s)");
  EXPECT_NE(table.text.find("05/03/14 07:49:00\t\r\n"), std::string::npos);

  // Records 2 and 3 swapped in the index: the first block comes from where
  // entry 2 points (the second block's bytes); entry 3 then lies behind the
  // read position, so the reading goes on from there without going back.
  LoggerFileBuilder swapped;
  swapped.samples(ramp(2048 + 100));
  const std::vector<std::int64_t> at = swapped.offsets();
  swapped.recordOffset(2, static_cast<std::int32_t>(at[2]))
      .recordOffset(3, static_cast<std::int32_t>(at[1]));
  const LoggerFile s = read(swapped);
  EXPECT_TRUE(s.inconsistent);
  EXPECT_EQ(s.samples.at(1), 1024);
  EXPECT_EQ(s.samples.at(1024), 2047);
  EXPECT_EQ(s.samples.at(1025), 2048);  // record 4 follows record 3 in the file
  EXPECT_EQ(s.samples.at(1124), 2147);
  EXPECT_FALSE(s.samples.at(1125).has_value());  // past the end of the file
}

TEST(HostileHeaders, HugeAndNegativeSampleCounts) {
  // The largest count the field holds: one memory is read, the run refuses.
  LoggerFileBuilder huge;
  huge.byteCount(INT32_MAX).samples(ramp(3));
  EXPECT_LE(read(huge).samples.size(), kLargestMemory);
  EXPECT_EQ(messageOf(huge),
            "UC001.PDB: the table would have 1073741823 rows, more than 16777216: its sample "
            "count 1073741823 cannot be right");

  // Exactly the row limit is a table, however empty; one more row is not.
  LoggerFileBuilder limit;
  limit.byteCount(static_cast<std::int32_t>(2 * kestrix::limits::maxRows)).samples(ramp(3));
  EXPECT_EQ(runOf(read(limit)).totalRows, kestrix::limits::maxRows);
  limit.byteCount(static_cast<std::int32_t>(2 * kestrix::limits::maxRows + 2));
  EXPECT_NE(messageOf(limit).find("16777217 rows"), std::string::npos);

  // Byte count 80 00 00 00 (the nearest to 2^31 samples' bytes) is negative,
  // as are the others: no row, on one channel or two.
  for (std::int32_t raw : {INT32_MIN, -1, -2}) {
    for (std::uint8_t type : {std::uint8_t{1}, std::uint8_t{3}}) {
      LoggerFileBuilder negative;
      negative.byteCount(raw).typeCode(type).samples(ramp(4));
      const LoggerFile f = read(negative);
      EXPECT_EQ(f.samples.size(), 0);
      const WrittenTable table = convertToText(runOf(read(negative)));
      EXPECT_EQ(table.status, "Done...");
      EXPECT_EQ(crlfLines(table.text).size(), 4u);
    }
  }
}

TEST(HostileHeaders, LongTablesAreWrittenInPieces) {
  // A million rows claimed by a file of a few bytes: the writer streams them,
  // it never holds the table in memory.
  LoggerFileBuilder b;
  b.byteCount(2'000'000).intervalCode(0).samples(ramp(3));
  CountingSink sink;
  EXPECT_EQ(kestrix::writeTable(runOf(read(b)), sink, {}), "Done... inconsistent file(s)");
  EXPECT_EQ(sink.lines, 4u + 1'000'000u);
  EXPECT_LE(sink.largestWrite, std::size_t{4} << 20) << "of " << sink.total << " bytes";
}

TEST(HostileHeaders, EveryIntervalCode) {
  LoggerFileBuilder b;
  b.samples(ramp(2));
  Bytes bytes = b.build();
  const auto field = static_cast<std::size_t>(b.offsets()[0] + 16);
  for (int code = -32768; code <= 32767; ++code) {
    bytes[field] = static_cast<std::uint8_t>((code >> 8) & 0xFF);
    bytes[field + 1] = static_cast<std::uint8_t>(code & 0xFF);
    if (code >= 0 && code <= 13) {
      EXPECT_EQ(read(bytes).interval, kestrix::intervalTable[static_cast<std::size_t>(code)]);
      continue;
    }
    try {
      read(bytes);
      ADD_FAILURE() << "interval code " << code << " was accepted";
    } catch (const ConversionError& e) {
      ASSERT_EQ(e.kind(), ErrorKind::BadIntervalCode);
      ASSERT_EQ(std::string(e.what()), "UC001.PDB: unknown sampling interval: code " +
                                           std::to_string(code) +
                                           " (known codes are 0 to 13); a damaged file or "
                                           "another kind");
    }
  }
}
