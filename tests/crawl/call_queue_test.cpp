// The main-thread call queue.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "crawl/call_queue.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// Drains on this (main) thread until `done` or about five seconds have passed.
template <class Pred>
void DrainUntil(MainThreadQueue& queue, Pred done) {
  for (int i = 0; i < 5000 && !done(); ++i) {
    queue.Drain();
    std::this_thread::sleep_for(1ms);
  }
}

TEST(CallQueue, RunsCallsOnlyWhenDrainedAndOnTheDrainingThread) {
  MainThreadQueue queue;
  std::thread::id ran_on;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_TRUE(queue.RunAndWait([&] { ran_on = std::this_thread::get_id(); }));
    returned = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(returned.load());  // nothing runs the call until the main thread drains
  DrainUntil(queue, [&] { return returned.load(); });
  worker.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(CallQueue, AnErrorInTheCallIsThrownInTheWaitingThread) {
  MainThreadQueue queue;
  std::atomic<bool> caught{false};
  std::thread worker([&] {
    try {
      queue.RunAndWait([] { throw std::runtime_error("hook failed"); });
    } catch (const std::runtime_error& e) {
      caught = std::string(e.what()) == "hook failed";
    }
  });
  DrainUntil(queue, [&] { return caught.load(); });
  worker.join();
  EXPECT_TRUE(caught.load());
}

TEST(CallQueue, AnAbandonedCallNeverRunsAndItsWaiterReturns) {
  MainThreadQueue queue;
  std::atomic<bool> abandon{false};
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = queue.RunAndWait([&] { ran = true; }, &abandon) ? 1 : 0; });
  while (queue.Empty()) std::this_thread::sleep_for(1ms);
  abandon = true;
  queue.Wake();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  queue.Drain();
  EXPECT_FALSE(ran.load());
  EXPECT_FALSE(queue.RunAndWait([&] { ran = true; }, &abandon));  // already abandoned
}

TEST(CallQueue, DrainRunsOnlyWhatWasQueuedBeforeIt) {
  MainThreadQueue queue;
  int order = 0;
  int first = -1, second = -1;
  queue.Post([&] {
    first = order++;
    queue.Post([&] { second = order++; });
  });
  EXPECT_EQ(queue.Drain(), 1);
  EXPECT_EQ(second, -1);
  EXPECT_EQ(queue.Drain(), 1);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
}

TEST(CallQueue, ServingAPauseRunsAWorkersConsecutiveCallsAsTheyCome) {
  MainThreadQueue queue;
  int ran = 0;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) queue.RunAndWait([&] { ++ran; });
    finished = true;
  });
  queue.ServeFor(std::chrono::seconds(5), [&] { return ran == 100; });
  worker.join();
  EXPECT_EQ(ran, 100);
  EXPECT_TRUE(finished.load());
}

}  // namespace
}  // namespace korvane
