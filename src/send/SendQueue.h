#pragma once
// Sends run one after another on a thread of their own, so that the name
// check (NetBIOS queries, a connection probe, each bounded by a time-out) and
// the socket never hold up the window. Jobs run in the order they were
// posted; at most maxPending wait at a time, and what comes beyond that is
// dropped and counted, so a flood cannot grow the queue.
//
//   SendQueue queue;
//   queue.Post([&] { sender.SendMessengerDatagram(...); });
//
// Stop (or the destructor) lets the running job finish and drops the rest.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

class SendQueue {
 public:
  static constexpr size_t kDefaultMaxPending = 256;

  explicit SendQueue(size_t maxPending = kDefaultMaxPending);
  ~SendQueue();
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  // Queues job; false when it was dropped (the queue is full or stopped).
  bool Post(std::function<void()> job);
  // Waits for the running job, drops the waiting ones; later posts are
  // dropped. Safe to call more than once.
  void Stop();
  // Whether the caller runs on the queue's own thread.
  bool OnQueueThread() const { return std::this_thread::get_id() == thread_.get_id(); }

  uint64_t Dropped() const;
  size_t Pending() const;

 private:
  void Run();

  const size_t maxPending_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  uint64_t dropped_ = 0;
  std::thread thread_;
};

}  // namespace vantrel
