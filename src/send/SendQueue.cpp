#include "send/SendQueue.h"

namespace vantrel {

SendQueue::SendQueue(size_t maxPending) : maxPending_(maxPending) {
  thread_ = std::thread([this] { Run(); });
}

SendQueue::~SendQueue() { Stop(); }

bool SendQueue::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || jobs_.size() >= maxPending_) {
      ++dropped_;
      return false;
    }
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

void SendQueue::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && !thread_.joinable()) return;
    stopping_ = true;
    dropped_ += jobs_.size();
    jobs_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable() && !OnQueueThread()) thread_.join();
}

uint64_t SendQueue::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

size_t SendQueue::Pending() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}

void SendQueue::Run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace vantrel
