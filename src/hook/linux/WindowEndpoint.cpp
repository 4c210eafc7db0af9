#include "hook/linux/WindowEndpoint.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "hook/linux/CaptureDir.h"
#include "hook/linux/SocketIo.h"

namespace vantrel::capture {
namespace {

constexpr size_t kStaleCheckMax = 64;  // endpoints looked at per Open

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
  addr = sockaddr_un{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// True when nothing listens on the socket at path any more.
bool IsDeadSocket(const std::string& path) {
  sockaddr_un addr;
  if (!MakeAddress(path, addr)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const bool dead = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 &&
                    errno == ECONNREFUSED;
  close(fd);
  return dead;
}

// Removes this user's window endpoints whose programs are gone.
void RemoveStaleEndpoints(const CaptureDir& dir) {
  const int listFd = openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* d = fdopendir(listFd);
  if (!d) {
    close(listFd);
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (names.size() >= kStaleCheckMax) break;
    if (ParseWindowEndpointName(e->d_name)) names.emplace_back(e->d_name);
  }
  closedir(d);
  for (const std::string& name : names) {
    struct stat st {};
    if (fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISSOCK(st.st_mode) ||
        st.st_uid != geteuid())
      continue;
    if (IsDeadSocket(dir.path() + "/" + name)) unlinkat(dir.fd(), name.c_str(), 0);
  }
}

}  // namespace

uint64_t NewWindowId() {
  std::random_device rd;
  uint64_t id = 0;
  while (id == 0) id = (uint64_t{rd()} << 32) | rd();
  return id;
}

WindowEndpoint::~WindowEndpoint() { Close(); }

bool WindowEndpoint::Open(const std::string& dirPath, uint64_t window, WindowGreeting greeting,
                          Sink sink) {
  Close();
  if (window == 0) return false;
  std::optional<CaptureDir> dir = CaptureDir::Open(dirPath);
  if (!dir || dir->owner() != geteuid()) return false;
  RemoveStaleEndpoints(*dir);

  const std::string name = WindowEndpointName(window);
  const std::string path = dirPath + "/" + name;
  sockaddr_un addr;
  if (!MakeAddress(path, addr)) return false;
  // A leftover of ours with this name (ids are random: only after a crash).
  struct stat st {};
  if (fstatat(dir->fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISSOCK(st.st_mode) || unlinkat(dir->fd(), name.c_str(), 0) != 0) return false;
  }

  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  int pipeFds[2];
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      // Everybody may connect (the helper runs as the guest account); only the
      // owner of the directory may list it, and the helper checks who listens.
      fchmodat(dir->fd(), name.c_str(), 0622, 0) != 0 || listen(fd, 16) != 0 ||
      pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    close(fd);
    unlinkat(dir->fd(), name.c_str(), 0);
    return false;
  }
  listenFd_ = fd;
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
  window_ = window;
  path_ = path;
  greeting_ = greeting;
  sink_ = std::move(sink);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void WindowEndpoint::Close() {
  if (listenFd_ < 0) return;
  const char wake = 1;
  (void)!write(wakeWrite_, &wake, 1);
  if (thread_.joinable()) thread_.join();
  close(listenFd_);
  close(wakeRead_);
  close(wakeWrite_);
  listenFd_ = wakeRead_ = wakeWrite_ = -1;
  unlink(path_.c_str());
  path_.clear();
  window_ = 0;
}

void WindowEndpoint::Run() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents & POLLIN) {
      const int conn = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (conn >= 0) {
        Serve(conn);
        close(conn);
      }
    }
  }
}

void WindowEndpoint::Serve(int fd) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kConnectionTimeoutMs);
  const std::vector<uint8_t> greeting = EncodeGreeting(greeting_);
  if (!WriteAll(fd, greeting.data(), greeting.size(), deadline)) {
    counters_.timedOut.fetch_add(1);
    return;
  }
  uint8_t header[kCopyDataHeaderSize];
  if (!ReadExactly(fd, header, sizeof header, deadline)) {
    counters_.timedOut.fetch_add(1);
    return;
  }
  std::optional<CopyDataHeader> h = DecodeCopyDataHeader(header);
  if (!h) {
    counters_.malformed.fetch_add(1);
    const uint8_t no = kAckRefused;
    WriteAll(fd, &no, 1, deadline);
    return;
  }
  std::string text(h->cbData, '\0');
  if (!ReadExactly(fd, reinterpret_cast<uint8_t*>(text.data()), text.size(), deadline)) {
    counters_.timedOut.fetch_add(1);
    return;
  }
  const bool taken = sink_ && sink_(std::move(text));
  (taken ? counters_.taken : counters_.refused).fetch_add(1);
  const uint8_t ack = taken ? kAckTaken : kAckRefused;
  WriteAll(fd, &ack, 1, deadline);
}

}  // namespace vantrel::capture
