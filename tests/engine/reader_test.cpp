// Reading one logger file: container, recording header, ring memory.
#include <gtest/gtest.h>

#include <logger_file_builder.hpp>

#include "container.hpp"
#include "error.hpp"
#include "recording.hpp"
#include "run.hpp"
#include "samples.hpp"

using kestrix::ConversionError;
using kestrix::ErrorKind;
using kestrix::LoggerFile;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::ramp;

namespace {

LoggerFile read(const LoggerFileBuilder& b) {
  return kestrix::readLoggerFile("UC001.PDB", b.build());
}

// The kind and message of the error reading `b` raises.
std::pair<ErrorKind, std::string> failure(const LoggerFileBuilder& b) {
  try {
    read(b);
  } catch (const ConversionError& e) {
    return {e.kind(), e.what()};
  }
  ADD_FAILURE() << "no error";
  return {};
}

// Present positions of a column, with values, in position order.
std::vector<std::pair<std::int64_t, std::int16_t>> positions(const LoggerFile& f) {
  std::vector<std::pair<std::int64_t, std::int16_t>> out;
  const std::vector<std::optional<std::int16_t>> stored = f.samples.stored();
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i])
      out.emplace_back(f.samples.base() + 1 + static_cast<std::int64_t>(i), *stored[i]);
  }
  return out;
}

}  // namespace

TEST(BigEndian, DecodesTwosComplement) {
  EXPECT_EQ(kestrix::bigEndian16(0x12, 0x34), 4660);
  EXPECT_EQ(kestrix::bigEndian16(0xFF, 0xFE), -2);
  EXPECT_EQ(kestrix::bigEndian16(0x80, 0x00), -32768);
  EXPECT_EQ(kestrix::bigEndian32(0x00, 0x00, 0x01, 0x00), 256);
  EXPECT_EQ(kestrix::bigEndian32(0xFF, 0xFF, 0xFF, 0xFE), -2);
  EXPECT_EQ(kestrix::bigEndian32(0x80, 0, 0, 0), INT32_MIN);
  EXPECT_EQ(kestrix::decodeBcd(0x25), 25);
  EXPECT_EQ(kestrix::decodeBcd(0x1A), 20);
  EXPECT_EQ(kestrix::decodeBcd(0xFF), 165);
}

TEST(Container, NameStopsAtFirstNul) {
  EXPECT_EQ(read(LoggerFileBuilder().name("ABC").samples({1})).containerName, "ABC");
  EXPECT_EQ(read(LoggerFileBuilder().name("").samples({1})).containerName, "");
  const std::string full(32, 'x');
  EXPECT_EQ(read(LoggerFileBuilder().name(full).samples({1})).containerName, full);
  EXPECT_EQ(read(LoggerFileBuilder().name("K\xFChl").samples({1})).containerName, "K\xFChl");
}

TEST(Container, RecordCountIsUnsignedAndIndexIsRead) {
  const auto bytes = LoggerFileBuilder().samples(ramp(3000)).build();
  kestrix::ByteCursor in(bytes);
  const auto c = kestrix::readContainer(in, "f");
  EXPECT_EQ(c.recordCount, 4);
  EXPECT_EQ(in.position(), 78 + 8 * 4);
  EXPECT_EQ(c.recordOffsets[1], 78 + 32);
  EXPECT_EQ(c.recordOffsets[2], 78 + 32 + 26);

  // 0xFFFF records announced in a tiny file: the index is cut short.
  const auto [kind, message] = failure(LoggerFileBuilder().recordCountField(0xFFFF).samples({1}));
  EXPECT_EQ(kind, ErrorKind::TruncatedRecordIndex);
  EXPECT_EQ(message,
            "UC001.PDB: not a logger file, or one cut short: it ends within its list of 65535 "
            "records");
}

TEST(Container, RefusesFilesThatEndTooEarlyOrHoldNoRecord) {
  EXPECT_EQ(failure(LoggerFileBuilder().samples({1}).truncateTo(77)).first,
            ErrorKind::TruncatedContainerHeader);
  const auto [kind, message] = failure(LoggerFileBuilder().recordOffsets({}));
  EXPECT_EQ(kind, ErrorKind::NoRecord);
  EXPECT_EQ(message, "UC001.PDB: no recording in the file (it lists no record)");
  EXPECT_EQ(failure(LoggerFileBuilder().samples({1}).truncateTo(78 + 16 + 19)).first,
            ErrorKind::TruncatedRecordingHeader);
}

TEST(RecordingHeader, DecodesFieldsAndStartDate) {
  LoggerFileBuilder b;
  b.loggerId(0xFFFFFFFF).byteCount(257).startBytes({0x14, 0x03, 0x25, 0x09, 0x05, 0x00});
  b.intervalCode(9).typeCode(5).offsetParam(-256).factorParam(100).memoryCode(4);
  b.samples(ramp(200));  // fewer than the 128 counted: no matter, they are not read
  const LoggerFile f = read(b);
  EXPECT_EQ(f.loggerId, -1);
  EXPECT_EQ(f.sampleCount, 128);
  EXPECT_EQ(f.interval, 3600);
  EXPECT_EQ(f.typeCode, 5);
  EXPECT_EQ(f.offsetParam, -256);
  EXPECT_EQ(f.factorParam, 100);
  EXPECT_EQ(f.memorySize, 131072);
  // 25 March 2014 09:05:00 is 5197 days and 32700 s after 1 January 2000.
  EXPECT_EQ(f.startDate, 5197LL * 86400 + 9 * 3600 + 5 * 60);
  EXPECT_EQ(read(LoggerFileBuilder().intervalCode(10).samples({1})).interval, 120);
}

TEST(RecordingHeader, OptionalGroupsFollowRecordOneLength) {
  auto header = [](int length) {
    LoggerFileBuilder b;
    b.headerLength(length).memoryCode(4).offsetParam(7).factorParam(9).samples(ramp(4, 100));
    return read(b);
  };
  EXPECT_EQ(header(20).memorySize, 65536);  // memory code 255
  EXPECT_EQ(header(20).offsetParam, 0);
  EXPECT_EQ(header(22).memorySize, 131072);
  EXPECT_EQ(header(22).offsetParam, 0);
  EXPECT_EQ(header(24).offsetParam, 7);
  EXPECT_EQ(header(24).factorParam, 0);
  EXPECT_EQ(header(26).factorParam, 9);

  // 21 bytes: the spare byte comes from record 2, so the samples start one
  // byte into it and the first sample is made of two half samples.
  const LoggerFile odd = header(21);
  EXPECT_EQ(odd.memorySize, 131072);
  EXPECT_EQ(odd.offsetParam, 0);
  EXPECT_EQ(positions(odd).front().second, kestrix::bigEndian16(100, 0));
}

TEST(RecordingHeader, RefusesBadIntervalCodesAndDates) {
  for (int code : {-1, 14, 32767, -32768}) {
    const auto [kind, message] =
        failure(LoggerFileBuilder().intervalCode(static_cast<std::int16_t>(code)).samples({1}));
    EXPECT_EQ(kind, ErrorKind::BadIntervalCode);
    EXPECT_EQ(message, "UC001.PDB: unknown sampling interval: code " + std::to_string(code) +
                           " (known codes are 0 to 13); a damaged file or another kind");
  }
  const std::array<std::array<std::uint8_t, 6>, 6> bad{{{0x14, 0x02, 0x30, 0, 0, 0},
                                                        {0x14, 0x13, 0x01, 0, 0, 0},
                                                        {0x14, 0x01, 0x00, 0, 0, 0},
                                                        {0x14, 0x01, 0x01, 0x25, 0, 0},
                                                        {0x14, 0x01, 0x01, 0, 0x60, 0},
                                                        {0, 0, 0, 0, 0, 0}}};
  for (const auto& start : bad) {
    EXPECT_EQ(failure(LoggerFileBuilder().startBytes(start).samples({1})).first,
              ErrorKind::BadStartDate);
  }
  EXPECT_EQ(
      failure(LoggerFileBuilder().startBytes({0x15, 0x02, 0x29, 0, 0, 0}).samples({1})).second,
      "UC001.PDB: the start date 29/2/2015 0:0:0 is not a valid date and time");
  EXPECT_NO_THROW(
      read(LoggerFileBuilder().startBytes({0x16, 0x02, 0x29, 0x23, 0x59, 0x59}).samples({1})));
}

TEST(Samples, PlainMemoryInSlotOrder) {
  const LoggerFile f = read(LoggerFileBuilder().samples(ramp(1500, 10)));
  EXPECT_FALSE(f.inconsistent);
  const auto got = positions(f);
  ASSERT_EQ(got.size(), 1500u);
  EXPECT_EQ(got.front(), std::make_pair(std::int64_t{1}, std::int16_t{10}));
  EXPECT_EQ(got.back(), std::make_pair(std::int64_t{1500}, std::int16_t{1509}));
  EXPECT_TRUE(positions(read(LoggerFileBuilder().samples({}))).empty());
}

TEST(Samples, WrappedMemoryIsPutBackInTimeOrder) {
  // 65541 samples in 65536 slots: serials 0 to 4 were overwritten.
  LoggerFileBuilder b;
  b.wrappedMemory(65536, 65541, [](std::int64_t serial) { return serial % 30000; });
  const LoggerFile f = read(b);
  EXPECT_FALSE(f.inconsistent);
  const auto got = positions(f);
  ASSERT_EQ(got.size(), 65536u);
  EXPECT_EQ(got.front().first, 6);
  for (const auto& [p, v] : got) ASSERT_EQ(v, (p - 1) % 30000) << "position " << p;

  // A two-channel logger with memory code 4: 65536 slots per channel.
  LoggerFileBuilder two;
  two.typeCode(3).memoryCode(4).wrappedMemory(131072, 131072 + 10,
                                              [](std::int64_t s) { return s % 1000; });
  const LoggerFile t = read(two);
  EXPECT_EQ(t.memorySize, 65536);
  EXPECT_EQ(t.sampleCount, 65541);
  EXPECT_EQ(positions(t).front().first, 11);
}

TEST(Samples, MissingRecordsAndBytesPastTheEndHoldNoSample) {
  // Two records only, 2000 samples: the second block runs on from where the
  // first ended and the file is flagged.
  LoggerFileBuilder b;
  b.samples(ramp(2000)).recordSampleCounts({2000});
  const LoggerFile f = read(b);
  EXPECT_TRUE(f.inconsistent);
  EXPECT_EQ(positions(f).size(), 2000u);
  EXPECT_EQ(positions(f).back().second, 1999);

  // Header claims 100 samples, the file holds 60: the rest are absent.
  LoggerFileBuilder cut;
  cut.samples(ramp(60)).sampleCount(100);
  const LoggerFile c = read(cut);
  EXPECT_TRUE(c.inconsistent);
  EXPECT_EQ(positions(c).size(), 60u);
  EXPECT_FALSE(c.samples.at(61).has_value());
}

TEST(Samples, GapsBeforeRecordsAreSkipped) {
  LoggerFileBuilder b;
  b.samples(ramp(1100, 5)).gapBetweenRecords(10).gapAfterIndex(2);
  const LoggerFile f = read(b);
  EXPECT_FALSE(f.inconsistent);
  const auto got = positions(f);
  ASSERT_EQ(got.size(), 1100u);
  for (const auto& [p, v] : got) ASSERT_EQ(v, p + 4);
}

TEST(Samples, HugeClaimedCountKeepsMemoryBounded) {
  LoggerFileBuilder b;
  b.samples(ramp(10)).byteCount(0x7FFFFFFE);
  const LoggerFile f = read(b);
  EXPECT_LE(f.samples.size(), 65536);
  EXPECT_TRUE(f.inconsistent);
}

TEST(Samples, SingleRecordFileEndsRecordOneAtTheEndOfTheFile) {
  // Record 1 only, 24 bytes: memory code and offset parameter are read, the
  // missing factor parameter keeps its default, the claimed samples are absent.
  LoggerFileBuilder b;
  b.headerLength(24).memoryCode(4).offsetParam(-5).factorParam(9).samples({}).sampleCount(3);
  const LoggerFile f = read(b);
  EXPECT_EQ(f.memorySize, 131072);
  EXPECT_EQ(f.offsetParam, -5);
  EXPECT_EQ(f.factorParam, 0);
  EXPECT_TRUE(f.inconsistent);
  EXPECT_TRUE(positions(f).empty());
}

TEST(Samples, PositionsFarBeyondOneMemoryLength) {
  LoggerFileBuilder b;
  b.memoryCode(4).wrappedMemory(131072, 300000, [](std::int64_t s) { return s % 32000; });
  const LoggerFile f = read(b);
  EXPECT_EQ(f.samples.size(), 131072);
  EXPECT_EQ(f.samples.at(300000), 300000 % 32000 - 1);
  EXPECT_EQ(f.samples.at(300000 - 131071), (300000 - 131072) % 32000);
  EXPECT_FALSE(f.samples.at(300000 - 131072).has_value());
}

TEST(Samples, BlockReadsAgreeWithSinglePositionsAcrossBlocksTheRingAndTheEnd) {
  // A ring come round at a slot inside a block, in a file cut short: runs of
  // column indexes that cross block boundaries, the ring's turn and the end of
  // the file read what at() reads, missing samples as 0 and reported.
  LoggerFileBuilder b;
  b.wrappedMemory(65536, 100001, [](std::int64_t s) { return s % 30011 - 15000; });
  std::vector<std::uint8_t> bytes = b.build();
  bytes.resize(bytes.size() - 40001);  // an odd cut: the last sample there is half
  const LoggerFile f = kestrix::readLoggerFile("UC001.PDB", bytes);
  ASSERT_EQ(f.samples.size(), 65536);
  const std::int64_t turn = 100001 % 65536;  // column index of slot 0
  const std::int64_t ends[] = {0, 1023, 1024, 65536 - turn - 1, 65536 - turn, 65536 - 20000, 65535};
  for (std::int64_t end : ends) {
    for (std::int64_t n : {1, 2, 300, 2049}) {
      const std::int64_t i = std::max<std::int64_t>(0, std::min(end - n / 2, 65536 - n));
      std::vector<std::int16_t> got(static_cast<std::size_t>(n), 7);
      const bool all = f.samples.decode(i, n, got.data());
      bool every = true;
      for (std::int64_t k = 0; k < n; ++k) {
        const auto want = f.samples.at(f.samples.base() + 1 + i + k);
        every = every && want.has_value();
        ASSERT_EQ(got[static_cast<std::size_t>(k)], want.value_or(0)) << i << " + " << k;
      }
      EXPECT_EQ(all, every) << i << ", " << n;
    }
  }
  // Both kinds occur: whole runs, and runs with missing samples.
  const auto stored = f.samples.stored();
  EXPECT_TRUE(std::count(stored.begin(), stored.end(), std::nullopt) > 0);
  EXPECT_EQ(f.samples.at(100001), 100000 % 30011 - 15000);  // serials count from 0
}
