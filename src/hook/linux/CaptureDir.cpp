#include "hook/linux/CaptureDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "hook/linux/SocketIo.h"

namespace vantrel::capture {
namespace {

using Clock = SteadyClock;

// Reads a small regular file of the directory at most max bytes long; nothing
// for anything else. owner: the file's owner must be this one (when given).
std::optional<std::vector<uint8_t>> ReadSmallFile(const CaptureDir& dir, const std::string& name,
                                                  size_t max, std::optional<uid_t> owner) {
  const int fd = openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::vector<uint8_t>> result;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
      (!owner || st.st_uid == *owner) && st.st_size >= 0 &&
      static_cast<uint64_t>(st.st_size) <= max) {
    std::vector<uint8_t> bytes(max + 1);
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t r = read(fd, bytes.data() + got, bytes.size() - got);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    if (got <= max) {
      bytes.resize(got);
      result = std::move(bytes);
    }
  }
  close(fd);
  return result;
}

std::string RandomSuffix() {
  std::random_device rd;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08x%08x", rd(), rd());
  return buf;
}

}  // namespace

std::optional<CaptureDir> CaptureDir::Open(const std::string& path) {
  // O_PATH: the guest account may pass through the directory but not list it.
  const int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  return CaptureDir(fd, st.st_uid, path);
}

CaptureDir::CaptureDir(CaptureDir&& other) noexcept
    : fd_(other.fd_), owner_(other.owner_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

CaptureDir& CaptureDir::operator=(CaptureDir&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    owner_ = other.owner_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

CaptureDir::~CaptureDir() {
  if (fd_ >= 0) close(fd_);
}

DirLock::DirLock(const CaptureDir& dir, std::chrono::milliseconds wait) {
  const std::string name(kLockName);
  fd_ = openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0 && errno == ENOENT && geteuid() == dir.owner()) {
    fd_ = openat(dir.fd(), name.c_str(),
                 O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd_ >= 0) fchmod(fd_, 0644);  // whatever the umask: the helper must open it
    if (fd_ < 0 && errno == EEXIST)
      fd_ = openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd_ < 0) return;
  struct stat st {};
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != dir.owner()) {
    close(fd_);
    fd_ = -1;
    return;
  }
  const auto deadline = Clock::now() + wait;
  for (;;) {
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (Clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

DirLock::~DirLock() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

std::optional<uint64_t> ReadTarget(const CaptureDir& dir) {
  std::optional<std::vector<uint8_t>> bytes =
      ReadSmallFile(dir, std::string(kTargetName), kTargetMax, dir.owner());
  if (!bytes) return std::nullopt;
  return DecodeTarget(*bytes);
}

bool WriteTarget(const CaptureDir& dir, uint64_t window) {
  const std::string temp = ".target-" + RandomSuffix();
  const int fd =
      openat(dir.fd(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  fchmod(fd, 0644);
  const std::string content = EncodeTarget(window);
  const bool written =
      write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  close(fd);
  if (!written ||
      renameat(dir.fd(), temp.c_str(), dir.fd(), std::string(kTargetName).c_str()) != 0) {
    unlinkat(dir.fd(), temp.c_str(), 0);
    return false;
  }
  return true;
}

bool RemoveTarget(const CaptureDir& dir, uint64_t window) {
  std::optional<uint64_t> current = ReadTarget(dir);
  if (!current || *current != window) return true;
  return unlinkat(dir.fd(), std::string(kTargetName).c_str(), 0) == 0 || errno == ENOENT;
}

Delivery DeliverToWindow(const CaptureDir& dir, uint64_t window, const CapturedMessage& message,
                         std::chrono::milliseconds timeout) {
  const std::string name = WindowEndpointName(window);
  struct stat st {};
  if (fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISSOCK(st.st_mode) ||
      st.st_uid != dir.owner())
    return Delivery::kNoEndpoint;
  const std::string path = dir.path() + "/" + name;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return Delivery::kNoEndpoint;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);

  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Delivery::kFailed;
  const auto deadline = Clock::now() + timeout;
  Delivery result = Delivery::kFailed;
  do {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
      result = errno == EAGAIN ? Delivery::kFailed : Delivery::kNoEndpoint;
      break;
    }
    // The listener must be the directory's owner: nobody else may stand in
    // for the window, whatever it put into the directory.
    ucred peer{};
    socklen_t len = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != dir.owner()) {
      result = Delivery::kNoEndpoint;
      break;
    }
    uint8_t greetingBytes[kGreetingSize];
    if (!ReadExactly(fd, greetingBytes, sizeof greetingBytes, deadline)) break;
    std::optional<WindowGreeting> greeting = DecodeGreeting(greetingBytes);
    if (!greeting) break;
    const std::string text = BuildPopupText(message, greeting->languageClass, greeting->codePage);
    const std::vector<uint8_t> record = EncodeCopyData(text);
    if (!WriteAll(fd, record.data(), record.size(), deadline)) break;
    uint8_t ack = 0;
    if (!ReadExactly(fd, &ack, 1, deadline)) break;
    result = ack == kAckTaken ? Delivery::kDelivered : Delivery::kRefused;
  } while (false);
  close(fd);
  return result;
}

SpoolResult SpoolMessage(const CaptureDir& dir, const CapturedMessage& message) {
  const std::vector<uint8_t> record = EncodeSpoolRecord(message);
  for (size_t slot = 0; slot < kSpoolSlots; ++slot) {
    const std::string name = SpoolSlotName(slot);
    const int fd =
        openat(dir.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return SpoolResult::kFailed;
    }
    fchmod(fd, 0640);
    const bool written =
        write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size()) &&
        fsync(fd) == 0;
    close(fd);
    if (!written) {
      unlinkat(dir.fd(), name.c_str(), 0);
      return SpoolResult::kFailed;
    }
    return SpoolResult::kSpooled;
  }
  return SpoolResult::kFull;
}

DrainResult DrainSpool(const CaptureDir& dir,
                       const std::function<bool(const CapturedMessage&)>& deliver) {
  DrainResult result;
  struct Entry {
    CapturedMessage message;
    size_t slot;
    std::string name;
  };
  std::vector<Entry> entries;
  std::vector<std::string> names;
  {
    const int listFd = openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return result;
    DIR* d = fdopendir(listFd);
    if (!d) {
      close(listFd);
      return result;
    }
    // Only slot names count, so the list is never longer than the slots.
    while (dirent* e = readdir(d))
      if (ParseSpoolSlotName(e->d_name)) names.emplace_back(e->d_name);
    closedir(d);
  }
  for (const std::string& name : names) {
    std::optional<std::vector<uint8_t>> bytes =
        ReadSmallFile(dir, name, kSpoolRecordMax, std::nullopt);
    std::optional<CapturedMessage> message;
    if (bytes) message = DecodeSpoolRecord(*bytes);
    if (!message) {
      // Not a message the helper wrote (or not readable): it goes, counted.
      if (unlinkat(dir.fd(), name.c_str(), 0) == 0)
        ++result.dropped;
      else
        ++result.left;
      continue;
    }
    entries.push_back({std::move(*message), *ParseSpoolSlotName(name), name});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.message.arrivalNs != b.message.arrivalNs)
      return a.message.arrivalNs < b.message.arrivalNs;
    return a.slot < b.slot;
  });
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!deliver(entries[i].message)) {
      result.left += entries.size() - i;
      break;
    }
    // Taken: it must go now, or the next drain would hand it over again.
    ++result.delivered;
    if (unlinkat(dir.fd(), entries[i].name.c_str(), 0) != 0 && errno != ENOENT) {
      // It stays, and would come again: stop before anything newer goes.
      result.left += entries.size() - i;
      break;
    }
  }
  return result;
}

}  // namespace vantrel::capture
