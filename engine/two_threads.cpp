#include "two_threads.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kestrix {

void forEachOnTwoThreads(std::size_t count, const PieceWork& work, const PieceDelivery& deliver,
                         const TwoThreads& how) {
  const std::size_t ahead = std::max<std::size_t>(1, how.ahead);
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<char> done(count, 0);
  std::size_t next = 0;        // the next piece to start
  std::size_t delivered = 0;   // pieces delivered
  std::size_t failed = count;  // the first piece in order that threw, or count
  std::exception_ptr failure;  // its exception
  bool stop = false;

  // Under the lock.
  auto mayStart = [&] { return !stop && next < failed && next - delivered < ahead; };
  // Runs piece i without the lock; records its end under it.
  auto run = [&](std::unique_lock<std::mutex>& lock, std::size_t i, int worker) {
    lock.unlock();
    std::exception_ptr error;
    try {
      work(i, worker);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    done[i] = 1;
    if (error && i < failed) {
      failed = i;
      failure = error;
    }
    // Only the calling thread waits for pieces done; the second thread waits
    // for room, which deliveries make.
    if (worker == 1) changed.notify_all();
  };

  std::thread helper;
  if (count > 1 && !how.oneThread && std::thread::hardware_concurrency() != 1) {
    try {
      helper = std::thread([&] {
        std::unique_lock lock(mutex);
        for (;;) {
          changed.wait(lock, [&] { return stop || next >= failed || mayStart(); });
          if (!mayStart()) return;
          run(lock, next++, 1);
        }
      });
    } catch (const std::system_error&) {
      // No second thread to be had: this one does every piece.
    }
  }
  auto stopHelper = [&] {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (helper.joinable()) helper.join();
  };

  try {
    std::unique_lock lock(mutex);
    while (delivered < count) {
      if (done[delivered]) {
        if (delivered == failed) break;
        const std::size_t piece = delivered;
        if (deliver) {
          lock.unlock();
          deliver(piece);
          lock.lock();
        }
        ++delivered;
        changed.notify_all();
      } else if (mayStart()) {
        run(lock, next++, 0);
      } else {
        changed.wait(lock);
      }
    }
  } catch (...) {
    stopHelper();
    throw;
  }
  stopHelper();
  if (failure) std::rethrow_exception(failure);
}

struct SecondThread::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> job;   // handed over, not yet taken up
  bool working = false;        // a job handed over and not yet done
  bool ending = false;         // by the destructor
  std::exception_ptr failure;  // the last job's, until waited for
  bool noThread = false;       // none to be had: the caller does the jobs
  std::thread thread;

  // The second thread: each job handed over, until the end; a job handed
  // over before the end is still done.
  void serve() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return ending || job; });
      if (!job) return;
      std::function<void()> taken = std::exchange(job, nullptr);
      lock.unlock();
      std::exception_ptr error;
      try {
        taken();
      } catch (...) {
        error = std::current_exception();
      }
      taken = nullptr;
      lock.lock();
      failure = error;
      working = false;
      changed.notify_all();
    }
  }
};

SecondThread::SecondThread() : state_(std::make_unique<State>()) {}

SecondThread::~SecondThread() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->ending = true;
  }
  state_->changed.notify_all();
  if (state_->thread.joinable()) state_->thread.join();
}

void SecondThread::start(std::function<void()> job) {
  wait();
  State& state = *state_;
  if (!state.thread.joinable() && !state.noThread) {
    state.noThread = std::thread::hardware_concurrency() == 1;
    if (!state.noThread) {
      try {
        state.thread = std::thread([&state] { state.serve(); });
      } catch (const std::system_error&) {
        state.noThread = true;
      }
    }
  }
  if (state.noThread) {
    std::exception_ptr error;
    try {
      job();
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(state.mutex);
    state.failure = error;
    return;
  }
  {
    const std::lock_guard lock(state.mutex);
    state.job = std::move(job);
    state.working = true;
  }
  state.changed.notify_all();
}

void SecondThread::wait() {
  std::exception_ptr failure;
  {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return !state_->working; });
    failure = std::exchange(state_->failure, nullptr);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kestrix
