#include "transport/linux/NbnsResponderService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vantrel::linux {
namespace {

// Name service packets are at most 576 bytes (RFC 1002 4.2.1); anything longer is cut and
// then refused as malformed.
constexpr size_t kMaxPacket = 1500;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const char* ResponderStateText(ResponderState state) {
  switch (state) {
    case ResponderState::kStopped:
      return "stopped";
    case ResponderState::kRunning:
      return "running";
    case ResponderState::kPortHeld:
      return "the name service port is held by another program";
    case ResponderState::kNoPermission:
      return "no permission to bind the name service port";
    case ResponderState::kFailed:
      return "the name service socket could not be opened";
  }
  return "?";
}

NbnsResponderService::NbnsResponderService(Identity identity, INetwork& network)
    : network_(network), responder_(std::move(identity), {}) {}

NbnsResponderService::~NbnsResponderService() { Stop(); }

ResponderState NbnsResponderService::Start(uint16_t port, Ipv4Address bindAddress) {
  if (state_ == ResponderState::kRunning) return state_;
  {
    std::lock_guard lock(mutex_);
    responder_.SetInterfaces(
        SelectInterfaces(network_.Interfaces(), responder_.identity().interfaces));
  }
  lastRefreshMs_ = NowMs();

  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return state_ = ResponderState::kFailed;
  int on = 1;
  ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(bindAddress.value);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EADDRINUSE) return state_ = ResponderState::kPortHeld;
    if (err == EACCES || err == EPERM) return state_ = ResponderState::kNoPermission;
    return state_ = ResponderState::kFailed;
  }
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) {
    ::close(fd);
    return state_ = ResponderState::kFailed;
  }
  fd_ = fd;
  wakeFd_ = wake;
  port_ = ntohs(sa.sin_port);
  state_ = ResponderState::kRunning;
  thread_ = std::thread([this] { Run(); });
  return state_;
}

void NbnsResponderService::Stop() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
  }
  if (fd_ >= 0) ::close(fd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  fd_ = wakeFd_ = -1;
  if (state_ == ResponderState::kRunning) state_ = ResponderState::kStopped;
}

ResponderCounters NbnsResponderService::Counters() const {
  std::lock_guard lock(mutex_);
  return responder_.Counters();
}

void NbnsResponderService::Run() {
  uint8_t buffer[kMaxPacket];
  alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int r = ::poll(p, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p[1].revents != 0) break;
    // Drain what waits.
    for (;;) {
      sockaddr_in from{};
      iovec iov{buffer, sizeof buffer};
      msghdr msg{};
      msg.msg_name = &from;
      msg.msg_namelen = sizeof from;
      msg.msg_iov = &iov;
      msg.msg_iovlen = 1;
      msg.msg_control = control;
      msg.msg_controllen = sizeof control;
      ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        break;  // EAGAIN: drained
      }
      QueryArrival arrival;
      arrival.source = {Ipv4Address(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port)};
      for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
          in_pktinfo info{};
          std::memcpy(&info, CMSG_DATA(c), sizeof info);
          arrival.localAddress = Ipv4Address(ntohl(info.ipi_spec_dst.s_addr));
          arrival.destination = Ipv4Address(ntohl(info.ipi_addr.s_addr));
        }
      }
      // A packet cut to the buffer is not decoded: pass it on as empty, to be counted.
      size_t size = (msg.msg_flags & MSG_TRUNC) != 0 ? 0 : static_cast<size_t>(n);
      HandleOne(buffer, size, arrival);
    }
  }
}

void NbnsResponderService::HandleOne(const uint8_t* data, size_t size,
                                     const QueryArrival& arrival) {
  ResponderAction action;
  {
    std::lock_guard lock(mutex_);
    // An address we have not seen: the interfaces may have changed since the last look.
    if (responder_.IsUnknownLocalAddress(arrival.localAddress) &&
        NowMs() - lastRefreshMs_ >= 1000) {
      lastRefreshMs_ = NowMs();
      responder_.SetInterfaces(
          SelectInterfaces(network_.Interfaces(), responder_.identity().interfaces));
    }
    action = responder_.Handle(std::span<const uint8_t>(data, size), arrival);
  }
  if (action.reply.empty()) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(action.to.port);
  to.sin_addr.s_addr = htonl(action.to.address.value);
  // A lost answer is like a lost query: the asker asks again.
  [[maybe_unused]] ssize_t sent =
      ::sendto(fd_, action.reply.data(), action.reply.size(), MSG_DONTWAIT,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
}

}  // namespace vantrel::linux
