// Work shared with a second thread: pieces delivered in order within the
// window, and a piece's exception, on either thread, reaching the caller; a
// kept second thread's jobs beside the caller's work, and their exceptions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "two_threads.hpp"

namespace kestrix {
namespace {

TEST(TwoThreads, DeliversEveryPieceInOrderWithinTheWindow) {
  for (const bool oneThread : {false, true}) {
    constexpr std::size_t kPieces = 300;
    constexpr std::size_t kAhead = 4;
    std::vector<std::atomic<int>> runs(kPieces);
    std::atomic<std::size_t> started = 0;
    std::atomic<std::size_t> delivered = 0;
    std::atomic<bool> otherThread = false;
    TwoThreads how;
    how.ahead = kAhead;
    how.oneThread = oneThread;
    forEachOnTwoThreads(
        kPieces,
        [&](std::size_t piece, int worker) {
          ++runs[piece];
          ++started;
          EXPECT_LT(piece, delivered + kAhead);
          if (worker != 0) otherThread = true;
        },
        [&](std::size_t piece) {
          EXPECT_EQ(piece, delivered.load());
          EXPECT_LE(started.load(), piece + kAhead);
          ++delivered;
        },
        how);
    EXPECT_EQ(delivered.load(), kPieces);
    for (const std::atomic<int>& n : runs) EXPECT_EQ(n.load(), 1);
    if (oneThread) {
      EXPECT_FALSE(otherThread.load());
    }
  }
}

TEST(TwoThreads, AnExceptionOnTheSecondThreadReachesTheCaller) {
  if (std::thread::hardware_concurrency() == 1) GTEST_SKIP() << "one core: no second thread";
  // The calling thread holds on to its first piece until the second thread
  // has taken one, which throws.
  std::atomic<bool> secondRan = false;
  std::atomic<int> deliveries = 0;
  try {
    forEachOnTwoThreads(
        64,
        [&](std::size_t piece, int worker) {
          if (worker == 1) {
            secondRan = true;
            throw std::bad_alloc();
          }
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
          while (!secondRan && std::chrono::steady_clock::now() < until) std::this_thread::yield();
          (void)piece;
        },
        [&](std::size_t) { ++deliveries; });
    ADD_FAILURE() << "no exception";
  } catch (const std::bad_alloc&) {
    EXPECT_TRUE(secondRan);
    EXPECT_LE(deliveries.load(), 1);  // at most the caller's own first piece
  }
}

TEST(TwoThreads, TheFirstFailingPieceInOrderWinsAndLaterOnesDoNotStart) {
  for (const bool oneThread : {false, true}) {
    std::atomic<std::size_t> highest = 0;
    std::vector<std::size_t> delivered;
    TwoThreads how;
    how.oneThread = oneThread;
    try {
      forEachOnTwoThreads(
          1000,
          [&](std::size_t piece, int) {
            std::size_t seen = highest;
            while (piece > seen && !highest.compare_exchange_weak(seen, piece)) {
            }
            if (piece == 7) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (piece == 7 || piece == 9)
              throw std::runtime_error("piece " + std::to_string(piece));
          },
          [&](std::size_t piece) { delivered.push_back(piece); }, how);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "piece 7");
    }
    EXPECT_EQ(delivered, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_LT(highest.load(), 20u) << "pieces went on after the failures";
  }
}

// Waits up to 20 seconds for `flag`: a fault fails the test, not hangs it.
bool waitFor(const std::atomic<bool>& flag) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!flag && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  return flag;
}

TEST(SecondThread, DoesEachJobBesideTheCallerOnTheOneThreadItKeeps) {
  if (std::thread::hardware_concurrency() == 1)
    GTEST_SKIP() << "one core: the caller does the jobs";
  SecondThread second;
  std::vector<std::thread::id> ran;
  for (int job = 0; job < 3; ++job) {
    std::atomic<bool> callerWent = false, jobSaw = false;
    second.start([&] {
      jobSaw = waitFor(callerWent);  // the caller goes on while the job runs
      ran.push_back(std::this_thread::get_id());
    });
    callerWent = true;
    second.wait();
    EXPECT_TRUE(jobSaw) << job;
  }
  ASSERT_EQ(ran.size(), 3u);
  EXPECT_NE(ran[0], std::this_thread::get_id());
  EXPECT_EQ(ran[1], ran[0]);
  EXPECT_EQ(ran[2], ran[0]);
}

TEST(SecondThread, AJobsExceptionReachesTheCallerOnceAndStopsTheNextJob) {
  SecondThread second;
  second.start([] { throw std::runtime_error("the lines of panel 2"); });
  try {
    second.wait();
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "the lines of panel 2");
  }
  EXPECT_NO_THROW(second.wait());  // told once

  // Not waited for: the next start tells it, and the next job is not done.
  second.start([] { throw std::runtime_error("first"); });
  bool laterRan = false;
  EXPECT_THROW(
      {
        try {
          second.start([&] { laterRan = true; });
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "first");
          throw;
        }
      },
      std::runtime_error);
  second.wait();
  EXPECT_FALSE(laterRan);
  second.start([&] { laterRan = true; });
  second.wait();
  EXPECT_TRUE(laterRan);
}

TEST(SecondThread, EndsOnlyOnceItsJobIsDoneThrowingOrNot) {
  std::atomic<bool> done = false;
  {
    SecondThread second;
    second.start([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      done = true;
      throw std::runtime_error("lost with the thread");
    });
  }
  EXPECT_TRUE(done);
}

}  // namespace
}  // namespace kestrix
