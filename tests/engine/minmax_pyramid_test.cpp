// The chart's min/max pyramid against brute-force scans of random channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "minmax_pyramid.hpp"

using kestrix::MinMaxPyramid;
using kestrix::PlotPoint;
using kestrix::RowSummary;

namespace {

// Values with gaps of every length and a few spikes.
std::vector<float> randomChannel(std::mt19937& rng, std::size_t n) {
  std::vector<float> v(n);
  std::uniform_real_distribution<float> value(-50.f, 50.f);
  std::uniform_int_distribution<int> kind(0, 999);
  std::size_t gapLeft = 0;
  for (auto& x : v) {
    const int k = kind(rng);
    if (gapLeft == 0 && k < 3) gapLeft = static_cast<std::size_t>(k == 0 ? 5000 : k * 7);
    if (gapLeft > 0) {
      --gapLeft;
      x = NAN;
    } else {
      x = k == 999 ? 1e4f : value(rng);
    }
  }
  return v;
}

RowSummary bruteForce(const std::vector<float>& v, std::int64_t first, std::int64_t end) {
  RowSummary s;
  end = std::min(end, static_cast<std::int64_t>(v.size()));
  for (auto i = static_cast<std::int32_t>(first); i < end; ++i) {
    RowSummary one;
    if (std::isnan(v[static_cast<std::size_t>(i)])) {
      one.firstGap = one.lastGap = i;
    } else {
      one.min = one.max = v[static_cast<std::size_t>(i)];
      one.minAt = one.maxAt = one.firstValue = one.lastValue = i;
    }
    s.append(one);
  }
  return s;
}

TEST(MinMaxPyramid, ExtremesAndGapsMatchAScanAtEveryZoom) {
  std::mt19937 rng(7);
  const std::vector<float> values = randomChannel(rng, 300'000);
  const MinMaxPyramid pyramid(values);
  std::uniform_int_distribution<std::int64_t> row(0, 300'000);
  std::uniform_int_distribution<int> width(1, 2000);
  for (int trial = 0; trial < 300; ++trial) {
    std::int64_t a = row(rng), b = row(rng);
    if (trial % 3 == 0) b = a + trial;  // short ranges too
    if (a > b) std::swap(a, b);
    b = std::min<std::int64_t>(b, 300'000);
    const RowSummary want = bruteForce(values, a, b);
    const RowSummary got = pyramid.summarize(a, b);
    ASSERT_EQ(got.minAt, want.minAt) << a << ".." << b;
    ASSERT_EQ(got.maxAt, want.maxAt);
    ASSERT_EQ(got.firstValue, want.firstValue);
    ASSERT_EQ(got.lastValue, want.lastValue);
    ASSERT_EQ(got.firstGap, want.firstGap);
    ASSERT_EQ(got.lastGap, want.lastGap);

    // What one draws keeps both extremes, keeps rows in order and never
    // joins two values across a row without one.
    std::vector<PlotPoint> points;
    pyramid.decimate(a, b, width(rng), points);
    float low = INFINITY, high = -INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PlotPoint& p = points[i];
      if (i > 0) {
        ASSERT_LE(points[i - 1].row, p.row);
      }
      if (std::isnan(p.value)) continue;
      ASSERT_EQ(p.value, values[static_cast<std::size_t>(p.row)]);
      low = std::min(low, p.value);
      high = std::max(high, p.value);
      if (i > 0 && !std::isnan(points[i - 1].value)) {
        const auto from = static_cast<std::int64_t>(points[i - 1].row);
        ASSERT_FALSE(bruteForce(values, from, static_cast<std::int64_t>(p.row)).hasGap())
            << "line drawn across a gap at rows " << from << ".." << p.row;
      }
    }
    if (want.hasValue()) {
      ASSERT_EQ(low, want.min);
      ASSERT_EQ(high, want.max);
    }
  }
}

// Blocks are summarized many values at a time: ties must still give the
// first row of each extreme, negatives order below zero and -0 ties with +0.
TEST(MinMaxPyramid, TiesNegativesAndZerosGiveTheFirstRowOfEachExtreme) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pick(0, 9);
  std::vector<float> values(4096 + 7);
  for (auto& x : values) {
    const int k = pick(rng);
    x = k == 0 ? NAN : k == 1 ? -0.0f : static_cast<float>(k - 5) * 0.5f;
  }
  std::fill(values.begin() + 160, values.begin() + 192, NAN);    // blocks without a value
  std::fill(values.begin() + 192, values.begin() + 208, -0.0f);  // -0 and +0 only
  values[200] = 0.0f;
  const MinMaxPyramid pyramid(values);
  for (std::int64_t a = 0; a < static_cast<std::int64_t>(values.size()); a += 16) {
    for (const std::int64_t length : {16, 48, 1000}) {
      const RowSummary want = bruteForce(values, a, a + length);
      const RowSummary got = pyramid.summarize(a, a + length);
      ASSERT_EQ(got.minAt, want.minAt) << a;
      ASSERT_EQ(got.maxAt, want.maxAt) << a;
      ASSERT_EQ(std::signbit(got.min), std::signbit(want.min)) << a;
      ASSERT_EQ(got.firstValue, want.firstValue) << a;
      ASSERT_EQ(got.lastGap, want.lastGap) << a;
    }
  }
}

TEST(MinMaxPyramid, OverflowStretchesAreFoundAndJoined) {
  const MinMaxPyramid pyramid(std::vector<float>(100, 1.f), {{10, 12}, {14, 20}, {50, 51}});
  EXPECT_TRUE(pyramid.overflowed(10));
  EXPECT_FALSE(pyramid.overflowed(12));
  EXPECT_TRUE(pyramid.overflowed(50));
  const auto joined = pyramid.overflowIn(11, 60, 3);
  ASSERT_EQ(joined.size(), 2u);
  EXPECT_EQ(joined[0].begin, 10);
  EXPECT_EQ(joined[0].end, 20);
  EXPECT_EQ(pyramid.overflowIn(0, 10).size(), 0u);
}

}  // namespace
