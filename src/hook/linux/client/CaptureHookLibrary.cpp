#include "hook/linux/client/CaptureHookLibrary.h"

#include "hook/linux/lib/Vantrel.h"

namespace vantrel::capture {

CaptureHookLibrary::CaptureHookLibrary(CaptureHookConfig config) : config_(std::move(config)) {
  if (config_.captureDir.empty()) config_.captureDir = CaptureDirPath();
}

CaptureHookLibrary::~CaptureHookLibrary() { endpoint_.Close(); }

int CaptureHookLibrary::StartFunc(uintptr_t window) {
  if (!endpoint_.isOpen() || window_ != window) {
    endpoint_.Close();
    endpointId_ = NewWindowId();
    window_ = window;
    // Without an endpoint the library is still told: it stores the target,
    // and its registration simply finds nobody listening.
    endpoint_.Open(config_.captureDir, endpointId_, config_.greeting,
                   [this](std::string text) { return Offer(std::move(text)); });
  }
  return ::StartFunc(endpointId_);
}

int CaptureHookLibrary::StopFunc() {
  const int result = ::StopFunc();
  endpoint_.Close();
  return result;
}

bool CaptureHookLibrary::Offer(std::string text) {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= config_.queueMax) {
      ++dropped_;
      return false;
    }
    queue_.push_back({window_, 0, std::move(text)});
    if (queue_.size() == 1) notify = notifier_;
  }
  if (notify) notify();
  return true;
}

void CaptureHookLibrary::SetCopyDataNotifier(std::function<void()> notifier) {
  std::lock_guard lock(mutex_);
  notifier_ = std::move(notifier);
}

bool CaptureHookLibrary::TakeCopyData(CapturedCopyData& out) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

uint64_t CaptureHookLibrary::droppedForFullQueue() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace vantrel::capture
