#include "CStringBuilder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

// Appends n one-character pieces.
void AppendMany(CStringBuilder& sb, int n) {
  for (int i = 0; i < n; ++i) sb.Append("x");
}

TEST(CStringBuilderGrowth, GrowsOneBlockAtATime) {
  CStringBuilder sb;
  EXPECT_EQ(sb.BlockSize(), 256);
  EXPECT_EQ(sb.AllocatedSlots(), 0);

  sb.Append("x");
  EXPECT_EQ(sb.AllocatedSlots(), 256);
  AppendMany(sb, 255);
  EXPECT_EQ(sb.AllocatedSlots(), 256);
  sb.Append("x");  // 257th
  EXPECT_EQ(sb.AllocatedSlots(), 512);
  AppendMany(sb, 255);
  EXPECT_EQ(sb.AllocatedSlots(), 512);
  sb.Append("x");  // 513th
  EXPECT_EQ(sb.AllocatedSlots(), 768);
  EXPECT_EQ(sb.UsedSlots(), 513);
  EXPECT_EQ(sb.ToString(), std::string(513, 'x'));
}

TEST(CStringBuilderGrowth, SmallBlockSizeAndAlloc) {
  CStringBuilder small;
  small.BlockSize(10);
  for (int i = 1; i <= 25; ++i) {
    small.Append("x");
    EXPECT_EQ(small.AllocatedSlots(), (i + 9) / 10 * 10) << "after append " << i;
  }

  CStringBuilder ahead;
  ahead.Alloc(2);
  EXPECT_EQ(ahead.AllocatedSlots(), 512);
  EXPECT_EQ(ahead.UsedSlots(), 0);
  AppendMany(ahead, 512);
  EXPECT_EQ(ahead.AllocatedSlots(), 512);
  ahead.Alloc(0);
  EXPECT_EQ(ahead.AllocatedSlots(), 512);
}

TEST(CStringBuilderGrowth, ClearKeepsOrReleasesStorage) {
  CStringBuilder sb;
  AppendMany(sb, 256);
  sb.Clear(false);
  EXPECT_EQ(sb.UsedSlots(), 0);
  EXPECT_EQ(sb.AllocatedSlots(), 256);
  AppendMany(sb, 256);
  EXPECT_EQ(sb.AllocatedSlots(), 256);

  sb.BlockSize(10);
  sb.Clear(true);
  EXPECT_EQ(sb.UsedSlots(), 0);
  EXPECT_EQ(sb.AllocatedSlots(), 0);
  EXPECT_EQ(sb.BlockSize(), 10);
  sb.Append("x");
  EXPECT_EQ(sb.AllocatedSlots(), 10);
}

TEST(CStringBuilderJoin, JoinsInOrderAndKeepsGoing) {
  CStringBuilder sb;
  sb.Append("a");
  sb.Append("bc");
  sb.Append("");
  EXPECT_EQ(sb.ToString(), "abc");
  EXPECT_EQ(sb.UsedSlots(), 1);
  EXPECT_EQ(sb.ToString(), "abc");  // a second join changes nothing

  sb.Append(std::string_view("d\0e", 3));
  const std::string expected("abcd\0e", 6);
  EXPECT_EQ(sb.ToString(), expected);
  EXPECT_EQ(sb.ToString(), expected);
  EXPECT_EQ(sb.UsedSlots(), 1);
  EXPECT_EQ(sb.AllocatedSlots(), 256);
}

TEST(CStringBuilderJoin, StoresIndependentCopies) {
  CStringBuilder sb;
  std::string line = "first";
  sb.Append(line);
  line = "changed";
  EXPECT_EQ(sb.ToString(), "first");
  EXPECT_EQ(line, "changed");
}

TEST(CStringBuilderJoin, EmptyAndClearedGiveOnlyNewPieces) {
  CStringBuilder fresh;
  EXPECT_EQ(fresh.ToString(), "");
  EXPECT_EQ(fresh.UsedSlots(), 0);
  EXPECT_EQ(fresh.AllocatedSlots(), 0);

  // Old pieces left in the storage by Clear(false) must never reappear.
  CStringBuilder sb;
  sb.Append("old1");
  sb.Append("old2");
  sb.Append("old3");
  sb.Clear(false);
  EXPECT_EQ(sb.ToString(), "");
  sb.Clear(false);
  sb.Append("x");
  sb.Append("y");
  EXPECT_EQ(sb.ToString(), "xy");

  sb.Clear(true);
  EXPECT_EQ(sb.ToString(), "");
}

TEST(CStringBuilderMisuse, RejectedWithoutChangingState) {
  CStringBuilder sb;
  sb.Append("keep");
  EXPECT_THROW(sb.BlockSize(0), std::invalid_argument);
  EXPECT_THROW(sb.BlockSize(-3), std::invalid_argument);
  EXPECT_EQ(sb.BlockSize(), 256);

  EXPECT_THROW(sb.Alloc(-1), std::invalid_argument);
  // 256 * 2^23 is 2^31, one beyond the signed 32-bit range.
  EXPECT_THROW(sb.Alloc(std::int32_t{1} << 23), std::invalid_argument);
  sb.BlockSize(INT32_MAX);
  EXPECT_THROW(sb.Alloc(2), std::invalid_argument);

  EXPECT_EQ(sb.UsedSlots(), 1);
  EXPECT_EQ(sb.AllocatedSlots(), 256);
  EXPECT_EQ(sb.ToString(), "keep");
}

}  // namespace
