// Pieces of work shared between the calling thread and one more, the first
// exception passed back to the caller.
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <limits>

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

}  // namespace kestrix
