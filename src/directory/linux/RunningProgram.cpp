#include "directory/linux/RunningProgram.h"
#include "platform/UniqueFd.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vantrel::linux {
namespace {

using Clock = std::chrono::steady_clock;

// QDir::cleanPath: no repeated or trailing slashes, no "." and, where it
// can, no ".." segments.
std::string CleanPath(std::string_view path) {
  const bool absolute = !path.empty() && path.front() == '/';
  std::vector<std::string_view> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(pos, end - pos);
    if (part.empty() || part == ".") {
      // dropped
    } else if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (part == ".." && absolute) {
      // nothing above the root
    } else {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string clean = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) clean += '/';
    clean += parts[i];
  }
  if (clean.empty()) clean = ".";
  return clean;
}

int Remaining(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, Remaining(deadline));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

std::string InstanceServerName() {
  // A TMPDIR the caller chose keeps Qt's own place for the socket (test hosts
  // sharing one file system each have their own). Otherwise the user's private
  // runtime folder is preferred to /tmp, where any user could take the name
  // first; a privileged start (the package's capability) has no TMPDIR.
  const char* tmp = std::getenv("TMPDIR");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if ((tmp == nullptr || *tmp == '\0') && runtime != nullptr && runtime[0] == '/') {
    struct stat st;
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) == 0) {
      return CleanPath(runtime) + "/Tessivane";
    }
  }
  return "Tessivane-" + std::to_string(static_cast<unsigned long long>(::getuid()));
}

std::string LocalServerPath(std::string_view name, std::string_view tempDir) {
  if (!name.empty() && name.front() == '/') return std::string(name);
  std::string dir = CleanPath(tempDir.empty() ? std::string_view("/tmp") : tempDir);
  if (dir != "/") dir += '/';
  return dir + std::string(name);
}

std::string LocalServerPath(std::string_view name) {
  const char* tmp = std::getenv("TMPDIR");
  return LocalServerPath(name, tmp ? std::string_view(tmp) : std::string_view());
}

std::optional<NetworkNameList> AskRunningProgramForList(const std::string& socketPath,
                                                        std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof(addr.sun_path)) return std::nullopt;
  std::memcpy(addr.sun_path, socketPath.data(), socketPath.size());

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return std::nullopt;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) return std::nullopt;
    if (!WaitFor(fd.get(), POLLOUT, deadline)) return std::nullopt;
    int error = 0;
    socklen_t len = sizeof(error);
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
      return std::nullopt;
    }
  }

  size_t sent = 0;
  while (sent < kListRequest.size()) {
    if (!WaitFor(fd.get(), POLLOUT, deadline)) return std::nullopt;
    const ssize_t n =
        ::send(fd.get(), kListRequest.data() + sent, kListRequest.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return std::nullopt;
    }
    sent += static_cast<size_t>(n);
  }

  std::vector<uint8_t> reply;
  uint8_t buffer[4096];
  for (;;) {
    if (!WaitFor(fd.get(), POLLIN, deadline)) return std::nullopt;
    const ssize_t n = ::recv(fd.get(), buffer, sizeof(buffer), 0);
    if (n == 0) break;  // the program closed: the answer is complete
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return std::nullopt;
    }
    if (reply.size() + static_cast<size_t>(n) > kMaxListReplyBytes) return std::nullopt;
    reply.insert(reply.end(), buffer, buffer + n);
  }
  return DecodeNetworkListReply(reply);
}

}  // namespace vantrel::linux
