// The main-thread call queue: how workers get their hooks run on the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace korvane {

// Workers post closures; the main thread runs them, one at a time and in posting order, only
// when it calls Drain() at its message-processing points. Nothing runs a closure on its own.
class MainThreadQueue {
 public:
  // Any thread. Queues `fn` without waiting for it.
  void Post(std::function<void()> fn);

  // Any thread but the main one. Queues `fn` and blocks until the main thread has run it;
  // an exception thrown by `fn` is thrown again here. When `*abandon` becomes true (see Wake)
  // before `fn` has run, `fn` never runs and the call returns false at once; otherwise true.
  bool RunAndWait(std::function<void()> fn, const std::atomic<bool>* abandon = nullptr);

  // Main thread. Runs every closure queued before the call, in order; returns how many ran.
  int Drain();

  // Main thread. Spends `duration` serving calls as they arrive, then returns: the main
  // thread's pauses (between dispatch passes, while draining a run) are spent running hooks,
  // so a worker's consecutive hooks do not each wait for the next pass.
  // With `until`, returns early once it holds after a call has run.
  void ServeFor(std::chrono::milliseconds duration, const std::function<bool()>& until = {});
  // The same up to a point in time.
  void ServeUntil(std::chrono::steady_clock::time_point deadline,
                  const std::function<bool()>& until = {});

  // Any thread. Wakes the waiters of RunAndWait so that those whose abandon flag was set
  // return; call it after setting such a flag.
  void Wake();

  [[nodiscard]] bool Empty() const;

 private:
  struct Call {
    std::function<void()> fn;
    const std::atomic<bool>* abandon = nullptr;
    bool done = false;
    std::exception_ptr error;
  };

  mutable std::mutex mutex_;
  // Signalled when a waited-for call has run, and by Wake().
  std::condition_variable finished_;
  // Signalled when a call is queued.
  std::condition_variable posted_;
  std::deque<std::shared_ptr<Call>> calls_;  // guarded by mutex_
};

}  // namespace korvane
