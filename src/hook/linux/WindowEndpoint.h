#pragma once
// The receive window's endpoint on Linux: where captured texts are sent to a
// window, as WM_COPYDATA is sent to a window on Windows. A Unix stream socket
// "window-<id>" in the capture directory, made by the program for its window
// and listened on by a thread of its own; every connection gets the window's
// greeting, may send one copy-data record and gets one byte of answer.
//
// Whoever may write the capture directory may connect, so every record is
// checked (dwData 0, 1..1023 bytes) and each connection is bounded in time;
// the sink decides whether a text is taken (it refuses when its queue is
// full). Counters tell what happened.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "hook/linux/CaptureFormat.h"

namespace vantrel::capture {

class WindowEndpoint {
 public:
  // Called on the endpoint's thread with a checked text; true when taken.
  using Sink = std::function<bool(std::string text)>;

  struct Counters {
    std::atomic<uint64_t> taken{0};
    std::atomic<uint64_t> refused{0};    // the sink said no
    std::atomic<uint64_t> malformed{0};  // not one well-formed record
    std::atomic<uint64_t> timedOut{0};   // the peer stalled
  };

  WindowEndpoint() = default;
  ~WindowEndpoint();
  WindowEndpoint(const WindowEndpoint&) = delete;
  WindowEndpoint& operator=(const WindowEndpoint&) = delete;

  // Listens as window `window` in the capture directory `dirPath`, which
  // must belong to this process's user. Endpoints left behind by programs
  // that ended without closing theirs are removed first. False when the
  // directory is missing or another user's, or the socket cannot be made.
  bool Open(const std::string& dirPath, uint64_t window, WindowGreeting greeting, Sink sink);
  // Stops the thread and removes the socket. Safe to call more than once.
  void Close();

  bool isOpen() const { return listenFd_ >= 0; }
  uint64_t window() const { return window_; }
  const Counters& counters() const { return counters_; }

  // How long one connection may take, from its accept to the answer.
  static constexpr int kConnectionTimeoutMs = 2000;

 private:
  void Run();
  void Serve(int fd);

  int listenFd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  uint64_t window_ = 0;
  std::string path_;
  WindowGreeting greeting_;
  Sink sink_;
  Counters counters_;
  std::thread thread_;
};

// A fresh window id: 64 random bits, never 0.
uint64_t NewWindowId();

}  // namespace vantrel::capture
