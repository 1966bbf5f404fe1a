// The main-thread call queue.
#include "crawl/call_queue.h"

namespace korvane {

void MainThreadQueue::Post(std::function<void()> fn) {
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
  posted_.notify_one();
}

bool MainThreadQueue::RunAndWait(std::function<void()> fn, const std::atomic<bool>* abandon) {
  if (abandon && abandon->load()) return false;
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  call->abandon = abandon;
  std::unique_lock lock(mutex_);
  calls_.push_back(call);
  posted_.notify_one();
  finished_.wait(lock, [&] { return call->done || (abandon && abandon->load()); });
  if (!call->done) return false;  // abandoned: Drain skips it
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

int MainThreadQueue::Drain() {
  // Only the calls queued before this point: a worker that posts again while its previous
  // call runs waits for the next drain, so a busy crawl cannot keep the main thread here.
  std::unique_lock lock(mutex_);
  std::deque<std::shared_ptr<Call>> batch;
  batch.swap(calls_);
  int ran = 0;
  while (!batch.empty()) {
    auto call = std::move(batch.front());
    batch.pop_front();
    if (call->abandon && call->abandon->load()) continue;
    lock.unlock();
    try {
      call->fn();
    } catch (...) {
      call->error = std::current_exception();
    }
    ++ran;
    lock.lock();
    call->done = true;
    finished_.notify_all();
  }
  return ran;
}

void MainThreadQueue::ServeFor(std::chrono::milliseconds duration,
                               const std::function<bool()>& until) {
  ServeUntil(std::chrono::steady_clock::now() + duration, until);
}

void MainThreadQueue::ServeUntil(std::chrono::steady_clock::time_point deadline,
                                 const std::function<bool()>& until) {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [&] { return !calls_.empty(); })) return;
    }
    Drain();
    if (until && until()) return;
  }
}

void MainThreadQueue::Wake() {
  std::lock_guard lock(mutex_);
  finished_.notify_all();
}

bool MainThreadQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return calls_.empty();
}

}  // namespace korvane
