#pragma once
// The hook library as the Linux program uses it: StartFunc and StopFunc of
// libVantrel.so (linked at load time), and the window endpoint that stands
// for the receive window while it is the capture target. The endpoint's
// texts wait in a bounded queue until the user-interface thread takes them;
// when the queue is full the endpoint refuses, and the helper spools the
// message for the next start instead.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "hook/linux/CaptureFormat.h"
#include "hook/linux/WindowEndpoint.h"
#include "platform/HookLibrary.h"

namespace vantrel::capture {

struct CaptureHookConfig {
  std::string captureDir;  // empty: CaptureDirPath()
  // How the window reads pop-up texts: its language class and code page.
  WindowGreeting greeting;
  size_t queueMax = 256;
};

class CaptureHookLibrary : public IHookLibrary {
 public:
  explicit CaptureHookLibrary(CaptureHookConfig config);
  ~CaptureHookLibrary() override;

  // Opens the window's endpoint (once per window) and calls the library's
  // StartFunc with it; the library's result.
  int StartFunc(uintptr_t window) override;
  // The library's StopFunc; the endpoint closes with it.
  int StopFunc() override;

  void SetCopyDataNotifier(std::function<void()> notifier) override;
  bool TakeCopyData(CapturedCopyData& out) override;

  const WindowEndpoint& endpoint() const { return endpoint_; }
  uint64_t endpointId() const { return endpointId_; }
  uint64_t droppedForFullQueue() const;

 private:
  bool Offer(std::string text);

  CaptureHookConfig config_;
  WindowEndpoint endpoint_;
  uintptr_t window_ = 0;      // the window the endpoint stands for
  uint64_t endpointId_ = 0;   // its id, what the library registers
  mutable std::mutex mutex_;  // guards what follows
  std::deque<CapturedCopyData> queue_;
  std::function<void()> notifier_;
  uint64_t dropped_ = 0;
};

}  // namespace vantrel::capture
