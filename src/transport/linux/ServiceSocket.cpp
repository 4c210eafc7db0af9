#include "transport/linux/ServiceSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::linux {

const char* ServiceStateText(ServiceState state, const ServiceStateTexts& texts) {
  switch (state) {
    case ServiceState::kStopped:
      return "stopped";
    case ServiceState::kRunning:
      return "running";
    case ServiceState::kPortHeld:
      return texts.portHeld;
    case ServiceState::kNoPermission:
      return texts.noPermission;
    case ServiceState::kFailed:
      return texts.failed;
  }
  return "?";
}

ServiceSocket::~ServiceSocket() { Stop(); }

ServiceState ServiceSocket::Start(const ServiceSocketSetup& setup, uint16_t port,
                                  Ipv4Address bindAddress, std::function<void()> run) {
  if (state_ == ServiceState::kRunning) return state_;
  int fd = ::socket(AF_INET, setup.type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return state_ = ServiceState::kFailed;
  int on = 1;
  ::setsockopt(fd, setup.optionLevel, setup.optionName, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(bindAddress.value);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EADDRINUSE) return state_ = ServiceState::kPortHeld;
    if (err == EACCES || err == EPERM) return state_ = ServiceState::kNoPermission;
    return state_ = ServiceState::kFailed;
  }
  if (setup.listenBacklog > 0 && ::listen(fd, setup.listenBacklog) != 0) {
    int err = errno;
    ::close(fd);
    // Another socket may have started listening between bind and listen.
    return state_ = err == EADDRINUSE ? ServiceState::kPortHeld : ServiceState::kFailed;
  }
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) {
    ::close(fd);
    return state_ = ServiceState::kFailed;
  }
  fd_ = fd;
  wakeFd_ = wake;
  port_ = ntohs(sa.sin_port);
  state_ = ServiceState::kRunning;
  thread_ = std::thread(std::move(run));
  return state_;
}

void ServiceSocket::Stop() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
  }
  if (fd_ >= 0) ::close(fd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  fd_ = wakeFd_ = -1;
  if (state_ == ServiceState::kRunning) state_ = ServiceState::kStopped;
}

ServiceSocket::Wait ServiceSocket::Poll(std::span<pollfd> fds, int timeoutMs) const {
  fds[0] = {wakeFd_, POLLIN, 0};
  int r = ::poll(fds.data(), fds.size(), timeoutMs);
  if (r < 0) return errno == EINTR ? Wait::kInterrupted : Wait::kStop;
  return fds[0].revents != 0 ? Wait::kStop : Wait::kReady;
}

}  // namespace vantrel::linux
