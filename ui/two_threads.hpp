// Independent pieces of work shared between this thread and one more.
#pragma once

#include <cstddef>
#include <thread>

namespace kestrix::ui {

// Runs work(i) for every i in [0, count): the even ones on this thread, the
// odd ones on a second where the machine has a second core. Pieces must not
// touch each other's state.
template <class Work>
void forEachOnTwoThreads(std::size_t count, Work&& work) {
  auto every = [&](std::size_t first, std::size_t step) {
    for (std::size_t i = first; i < count; i += step) work(i);
  };
  if (count < 2 || std::thread::hardware_concurrency() < 2) {
    every(0, 1);
    return;
  }
  std::jthread other(every, std::size_t{1}, std::size_t{2});
  every(0, 2);
}

}  // namespace kestrix::ui
