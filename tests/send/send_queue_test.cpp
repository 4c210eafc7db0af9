// The background queue of sends: order, its bound, and its end.
#include "send/SendQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

// Holds the queue's thread inside a job until released.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool entered = false;
  bool open = false;
  void Wait() {
    std::unique_lock lock(mutex);
    entered = true;
    cv.notify_all();
    cv.wait(lock, [this] { return open; });
  }
  void WaitEntered() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [this] { return entered; });
  }
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  }
};

TEST(SendQueue, RunsJobsInOrderOnItsOwnThread) {
  std::vector<int> order;
  std::mutex mutex;
  std::atomic<int> offThread{0};
  const auto caller = std::this_thread::get_id();
  {
    SendQueue queue;
    for (int i = 0; i < 50; ++i) {
      ASSERT_TRUE(queue.Post([&, i] {
        if (std::this_thread::get_id() != caller) ++offThread;
        std::lock_guard lock(mutex);
        order.push_back(i);
      }));
    }
    Gate last;
    queue.Post([&] { last.Wait(); });
    last.WaitEntered();
    last.Open();
  }
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_EQ(offThread, 50);
}

TEST(SendQueue, AFloodBeyondTheBoundIsDroppedAndCounted) {
  SendQueue queue(3);
  Gate gate;
  std::atomic<int> ran{0};
  ASSERT_TRUE(queue.Post([&] { gate.Wait(); }));
  gate.WaitEntered();  // the thread is busy; three may wait
  int accepted = 0;
  for (int i = 0; i < 100000; ++i) accepted += queue.Post([&] { ++ran; }) ? 1 : 0;
  EXPECT_EQ(accepted, 3);
  EXPECT_EQ(queue.Dropped(), 99997u);
  EXPECT_EQ(queue.Pending(), 3u);
  gate.Open();
  queue.Post([] {});  // may or may not fit; what counts is the three before
  queue.Stop();
  EXPECT_LE(ran, 3);
}

TEST(SendQueue, StopWaitsForTheRunningJobAndDropsTheRest) {
  SendQueue queue;
  Gate gate;
  std::atomic<bool> finished{false};
  std::atomic<int> later{0};
  queue.Post([&] {
    gate.Wait();
    finished = true;
  });
  gate.WaitEntered();
  queue.Post([&] { ++later; });
  std::thread stopper([&] { queue.Stop(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(finished);  // Stop is still waiting for the running job
  gate.Open();
  stopper.join();
  EXPECT_TRUE(finished);
  EXPECT_EQ(later, 0);
  EXPECT_FALSE(queue.Post([&] { ++later; }));
  queue.Stop();  // twice is fine
  EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace vantrel
