// The test file builder itself: the bytes it lays out, checked by hand, so
// that the reader tests built on it rest on something.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "layout.hpp"
#include "logger_file_builder.hpp"

namespace {

using kestrix::testing::LoggerFileBuilder;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t be32(const Bytes& b, std::int64_t at) {
  const auto i = static_cast<std::size_t>(at);
  return (std::uint32_t{b[i]} << 24) | (std::uint32_t{b[i + 1]} << 16) |
         (std::uint32_t{b[i + 2]} << 8) | std::uint32_t{b[i + 3]};
}
std::uint16_t be16(const Bytes& b, std::int64_t at) {
  const auto i = static_cast<std::size_t>(at);
  return static_cast<std::uint16_t>((b[i] << 8) | b[i + 1]);
}
std::uint32_t indexOffset(const Bytes& b, int record) {
  return be32(b, kestrix::layout::indexOffset + 8 * (record - 1));
}

TEST(Builder, SmallFileHasHeaderIndexRecordingHeaderAndSamples) {
  const Bytes b = LoggerFileBuilder{}
                      .name("Room 1")
                      .loggerId(0x1A2B)
                      .start(2014, 3, 25, 9, 5, 0)
                      .intervalCode(9)
                      .typeCode(3)
                      .offsetParam(-2)
                      .samples({400, -1, 0x1234})
                      .build();
  ASSERT_EQ(b.size(), 78u + 2 * 8 + 26 + 3 * 2);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 7), std::string("Room 1\0", 7));
  EXPECT_EQ(b[31], 0);
  EXPECT_EQ(std::string(b.begin() + 60, b.begin() + 64), "DATA");
  EXPECT_EQ(be16(b, kestrix::layout::recordCountOffset), 2);
  EXPECT_EQ(indexOffset(b, 1), 94u);
  EXPECT_EQ(indexOffset(b, 2), 120u);
  EXPECT_NE(be32(b, 78 + 4), 0u);  // attributes and unique ID are not all zero

  const std::int64_t r1 = 94;
  EXPECT_EQ(be32(b, r1), 0x1A2Bu);
  EXPECT_EQ(be32(b, r1 + 4), 6u);  // byte count = 2 * samples
  EXPECT_EQ(Bytes(b.begin() + r1 + 10, b.begin() + r1 + 16),
            (Bytes{0x14, 0x03, 0x25, 0x09, 0x05, 0x00}));
  EXPECT_EQ(be16(b, r1 + 16), 9);
  EXPECT_EQ(b[r1 + 18], 3);
  EXPECT_EQ(b[r1 + 20], 255);           // memory code
  EXPECT_EQ(be16(b, r1 + 22), 0xFFFE);  // offset parameter -2
  EXPECT_EQ(be16(b, r1 + 24), 0);
  EXPECT_EQ(be16(b, 120), 400);
  EXPECT_EQ(be16(b, 122), 0xFFFF);
  EXPECT_EQ(be16(b, 124), 0x1234);
}

TEST(Builder, HeaderLengthFollowsTheOptionalFields) {
  const auto headerSize = [](LoggerFileBuilder b) {
    const auto off = b.samples({1}).offsets();
    return off[1] - off[0];
  };
  EXPECT_EQ(headerSize(LoggerFileBuilder{}), 26);
  EXPECT_EQ(headerSize(LoggerFileBuilder{}.memoryCode(std::nullopt)), 20);
  EXPECT_EQ(headerSize(LoggerFileBuilder{}.headerLength(21)), 21);
  EXPECT_EQ(headerSize(LoggerFileBuilder{}.headerLength(30)), 30);

  const Bytes b = LoggerFileBuilder{}.headerLength(21).memoryCode(4).samples({7}).build();
  EXPECT_EQ(b[94 + 20], 4);
  EXPECT_EQ(be16(b, 94 + 21), 7);  // the sample follows the cut header at once
}

TEST(Builder, SamplesSplitIntoRecordsWithGapsAndPadding) {
  std::vector<std::int16_t> s(1500);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(i);

  LoggerFileBuilder plain;
  plain.samples(s);
  const auto off = plain.offsets();
  ASSERT_EQ(off.size(), 3u);
  EXPECT_EQ(off[0], 78 + 3 * 8);
  EXPECT_EQ(off[2] - off[1], 2048);
  EXPECT_EQ(static_cast<std::int64_t>(plain.build().size()), off[2] + 476 * 2);
  EXPECT_EQ(be32(plain.build(), off[0] + 4), 3000u);

  LoggerFileBuilder gappy;
  gappy.samples(s).gapAfterIndex(2).gapBetweenRecords(10).padLastRecord().fill(0xAB);
  const Bytes g = gappy.build();
  const auto goff = gappy.offsets();
  EXPECT_EQ(goff[0], 78 + 3 * 8 + 2);
  EXPECT_EQ(goff[1], goff[0] + 26 + 10);
  EXPECT_EQ(goff[2], goff[1] + 2048 + 10);
  EXPECT_EQ(indexOffset(g, 3), static_cast<std::uint32_t>(goff[2]));
  EXPECT_EQ(g[static_cast<std::size_t>(goff[0] - 1)], 0xAB);
  EXPECT_EQ(be16(g, goff[2]), 1024);
  EXPECT_EQ(static_cast<std::int64_t>(g.size()), goff[2] + 2048);
  EXPECT_EQ(g.back(), 0xAB);

  const auto short_ = LoggerFileBuilder{}.samples(s).recordSampleCounts({1000}).offsets();
  ASSERT_EQ(short_.size(), 3u);
  EXPECT_EQ(short_[2] - short_[1], 2000);
}

TEST(Builder, IndexOverrides) {
  std::vector<std::int16_t> s(2000, 5);
  // Two records indexed, three written: the third follows unannounced.
  LoggerFileBuilder two;
  two.samples(s).recordCount(2);
  const Bytes b = two.build();
  EXPECT_EQ(be16(b, 76), 2);
  EXPECT_EQ(two.offsets()[0], 78 + 2 * 8);
  EXPECT_EQ(b.size(), 78u + 2 * 8 + 26 + 4000);

  const Bytes claimed = LoggerFileBuilder{}.recordCount(5).samples({1}).build();
  EXPECT_EQ(indexOffset(claimed, 5), claimed.size());

  const Bytes field = LoggerFileBuilder{}.recordCountField(0xFFFF).samples({1}).build();
  EXPECT_EQ(be16(field, 76), 0xFFFF);
  EXPECT_EQ(field.size(), 78u + 2 * 8 + 26 + 2);

  const Bytes raw =
      LoggerFileBuilder{}.recordOffsets({-1, 0x7FFFFFFF, 9}).recordOffset(1, 3).build();
  EXPECT_EQ(be16(raw, 76), 3);
  EXPECT_EQ(indexOffset(raw, 1), 3u);
  EXPECT_EQ(indexOffset(raw, 3), 9u);
  EXPECT_EQ(indexOffset(raw, 2), 0x7FFFFFFFu);

  EXPECT_EQ(LoggerFileBuilder{}.samples(s).truncateTo(100).build().size(), 100u);
}

TEST(Builder, RingMemoryPutsEachSerialInItsSlot) {
  const auto id = [](std::int64_t serial) { return static_cast<std::int16_t>(serial); };
  // T = 8, 13 samples: r = 5, q = 1.
  EXPECT_EQ(kestrix::testing::ringMemory(8, 13, id),
            (std::vector<std::int16_t>{8, 9, 10, 11, 12, 5, 6, 7}));
  EXPECT_EQ(kestrix::testing::ringMemory(8, 16, id),
            (std::vector<std::int16_t>{8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(kestrix::testing::ringMemory(8, 3, id), (std::vector<std::int16_t>{0, 1, 2}));

  LoggerFileBuilder b;
  b.wrappedMemory(65536, 65541, id);
  EXPECT_EQ(b.samples().size(), 65536u);
  EXPECT_EQ(b.samples()[4], static_cast<std::int16_t>(65540));
  EXPECT_EQ(b.samples()[5], 5);
  const Bytes bytes = b.build();
  EXPECT_EQ(be32(bytes, b.offsets()[0] + 4), 2u * 65541);
  EXPECT_EQ(b.offsets().size(), 65u);
}

TEST(Builder, NameBytesAreKeptAsGiven) {
  const Bytes b = LoggerFileBuilder{}.name("K\xFChlraum").build();
  EXPECT_EQ(b[1], 0xFC);
  EXPECT_EQ(b[8], 0);
  const Bytes full = LoggerFileBuilder{}.name(std::string(32, 'x')).build();
  EXPECT_EQ(full[31], 'x');
  EXPECT_THROW(LoggerFileBuilder{}.name(std::string(33, 'x')), std::invalid_argument);
  EXPECT_THROW(LoggerFileBuilder{}.start(1999, 1, 1, 0, 0, 0), std::invalid_argument);
}

}  // namespace
