// Work shared between the calling thread and one more, the first exception
// passed back to the caller: pieces handed out within one call, or a job the
// second thread does while the caller goes on. Every thread of the programs
// is started here.
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>

namespace kestrix {

// How forEachOnTwoThreads shares its pieces.
struct TwoThreads {
  // Pieces done or under way but not yet delivered, at most: piece i may then
  // use buffer i % ahead, free again once piece i - ahead is delivered.
  std::size_t ahead = std::numeric_limits<std::size_t>::max();
  // The calling thread does every piece itself.
  bool oneThread = false;
};

// Piece i on thread `worker`: 0 the calling thread, 1 the second one.
using PieceWork = std::function<void(std::size_t piece, int worker)>;
// Called with each piece done, in order.
using PieceDelivery = std::function<void(std::size_t piece)>;

// Runs work(i, worker) for every piece i in [0, count), taken in order by
// whichever of two threads is free, and calls deliver(i) on the calling
// thread, in order, as soon as piece i and every piece before it are done.
// The second thread is started only for two pieces or more, where the machine
// has more than one core and unless how.oneThread; when none can be had, the
// calling thread does every piece itself, the same way.
//
// When a piece or a delivery throws, no later piece is started; the
// exception of the first piece in order that failed (or of the delivery) is
// rethrown to the caller once the second thread has stopped. Every piece
// before it was done and delivered.
void forEachOnTwoThreads(std::size_t count, const PieceWork& work,
                         const PieceDelivery& deliver = {}, const TwoThreads& how = {});

// The same for pieces that need not know their thread.
template <class Work>
requires std::invocable<Work&, std::size_t>
void forEachOnTwoThreads(std::size_t count, Work&& work) {
  forEachOnTwoThreads(count, [&work](std::size_t piece, int) { work(piece); });
}

// A second thread kept for jobs handed to it one at a time, each done while
// the caller goes on with its own work (drawing a picture, say) until it
// waits for it. The thread is started with the first job and ends with this.
class SecondThread {
 public:
  SecondThread();
  // Waits for the job under way; an exception it threw is lost.
  ~SecondThread();

  // Waits for the job before (rethrowing its exception, as wait() does),
  // then hands `job` over. Where the machine has one core, or no second
  // thread can be had, the job is done here, before this returns, and its
  // exception kept for wait() all the same.
  void start(std::function<void()> job);
  // Waits for the job handed over last and rethrows its exception, once;
  // returns at once when every job was waited for.
  void wait();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kestrix
