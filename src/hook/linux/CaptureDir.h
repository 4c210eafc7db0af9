#pragma once
// What the capture helper and the hook library do in the capture directory
// (layout in CaptureFormat.h): take its lock, read and write the
// registration, hand a message to a window endpoint, and spool messages while
// no window takes them.
//
// Nothing here follows a symbolic link, opens anything but a regular file or
// a socket of the expected owner, or reads more than a record's maximum; all
// waits are bounded.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "hook/linux/CaptureFormat.h"

namespace vantrel::capture {

class CaptureDir {
 public:
  // Opens the directory (never through a symbolic link); nothing when it is
  // missing or not a directory.
  static std::optional<CaptureDir> Open(const std::string& path);

  CaptureDir(CaptureDir&& other) noexcept;
  CaptureDir& operator=(CaptureDir&& other) noexcept;
  CaptureDir(const CaptureDir&) = delete;
  CaptureDir& operator=(const CaptureDir&) = delete;
  ~CaptureDir();

  int fd() const { return fd_; }
  uid_t owner() const { return owner_; }
  const std::string& path() const { return path_; }

 private:
  CaptureDir(int fd, uid_t owner, std::string path)
      : fd_(fd), owner_(owner), path_(std::move(path)) {}
  int fd_ = -1;
  uid_t owner_ = 0;
  std::string path_;
};

// The directory's lock, held from construction to destruction. Waits at most
// `wait` for it; held() tells whether it was had. The lock file is made (by
// its owner only) when missing.
class DirLock {
 public:
  DirLock(const CaptureDir& dir, std::chrono::milliseconds wait);
  ~DirLock();
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// The registered window: from "target" when it is a regular file of the
// directory's owner holding one well-formed registration.
std::optional<uint64_t> ReadTarget(const CaptureDir& dir);
// Registers a window: a new file put in place of "target" in one step.
bool WriteTarget(const CaptureDir& dir, uint64_t window);
// Removes the registration when it names this window. True when no
// registration names it afterwards.
bool RemoveTarget(const CaptureDir& dir, uint64_t window);

enum class Delivery {
  kDelivered,   // the window took the text
  kNoEndpoint,  // no listening endpoint of the directory's owner for this window
  kRefused,     // the endpoint answered that it did not take it
  kFailed,      // the endpoint broke off, said something malformed or did not answer in time
};

// Builds the pop-up text for the window (its greeting gives language class and
// code page) and sends it as one copy-data record.
Delivery DeliverToWindow(const CaptureDir& dir, uint64_t window, const CapturedMessage& message,
                         std::chrono::milliseconds timeout);

enum class SpoolResult { kSpooled, kFull, kFailed };

// Keeps a message in the first free spool slot: a new file (never an existing
// name, never through a link), mode 0640, so that only its writer and the
// directory's group (the receiving user's) may read it.
SpoolResult SpoolMessage(const CaptureDir& dir, const CapturedMessage& message);

struct DrainResult {
  size_t delivered = 0;  // handed to deliver, and removed
  size_t dropped = 0;    // not a spool record (or unreadable, too big): removed, counted
  size_t left = 0;       // kept for later: deliver said no, or could not be removed
};

// Hands the spooled messages to deliver oldest first (by arrival, then slot)
// and removes each one it took. Stops at the first it did not take, so that
// order holds; what is left stays for the next drain.
DrainResult DrainSpool(const CaptureDir& dir,
                       const std::function<bool(const CapturedMessage&)>& deliver);

}  // namespace vantrel::capture
