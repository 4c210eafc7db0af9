#include "platform/linux/LinuxNetwork.h"
#include "platform/UniqueFd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel::linux {
namespace {

sockaddr_in ToSockaddr(const SocketAddress& a) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(a.port);
  sa.sin_addr.s_addr = htonl(a.address.value);
  return sa;
}

SocketAddress FromSockaddr(const sockaddr_in& sa) {
  return SocketAddress{Ipv4Address(ntohl(sa.sin_addr.s_addr)), ntohs(sa.sin_port)};
}

Ipv4Address AddressOf(const sockaddr* sa) {
  if (sa == nullptr || sa->sa_family != AF_INET) return Ipv4Address::Any();
  sockaddr_in in{};
  std::memcpy(&in, sa, sizeof in);
  return Ipv4Address(ntohl(in.sin_addr.s_addr));
}

class LinuxUdpSocket : public IUdpSocket {
 public:
  LinuxUdpSocket(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
  ~LinuxUdpSocket() override {
    ::close(fd_);
    ::close(wakeFd_);
  }
  LinuxUdpSocket(const LinuxUdpSocket&) = delete;
  LinuxUdpSocket& operator=(const LinuxUdpSocket&) = delete;

  SocketAddress LocalAddress() const override {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
    return FromSockaddr(sa);
  }

  bool SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) override {
    sockaddr_in sa = ToSockaddr(to);
    for (;;) {
      ssize_t n =
          ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
      if (n >= 0) return static_cast<size_t>(n) == bytes.size();
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // The send queue is full; wait briefly for room rather than lose the datagram.
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 1000) > 0) continue;
      }
      return false;
    }
  }

  std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, SocketAddress* from) override {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    for (;;) {
      ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                             reinterpret_cast<sockaddr*>(&sa), &len);
      if (n >= 0) {
        if (from != nullptr) *from = FromSockaddr(sa);
        return static_cast<size_t>(n);
      }
      if (errno == EINTR) continue;
      return std::nullopt;
    }
  }

  size_t ReceiveBatch(std::vector<ReceivedDatagram>& out, size_t maxCount,
                      size_t maxBytes) override {
    constexpr size_t kChunk = 64;
    if (maxBytes == 0) maxBytes = 1;
    if (buffers_.size() != kChunk * maxBytes) buffers_.assign(kChunk * maxBytes, 0);
    size_t total = 0;
    while (total < maxCount) {
      size_t want = std::min(kChunk, maxCount - total);
      mmsghdr msgs[kChunk]{};
      iovec iov[kChunk]{};
      sockaddr_in addrs[kChunk]{};
      for (size_t i = 0; i < want; ++i) {
        iov[i].iov_base = buffers_.data() + i * maxBytes;
        iov[i].iov_len = maxBytes;
        msgs[i].msg_hdr.msg_iov = &iov[i];
        msgs[i].msg_hdr.msg_iovlen = 1;
        msgs[i].msg_hdr.msg_name = &addrs[i];
        msgs[i].msg_hdr.msg_namelen = sizeof addrs[i];
      }
      int n = ::recvmmsg(fd_, msgs, static_cast<unsigned>(want), MSG_DONTWAIT, nullptr);
      if (n < 0) {
        if (errno == EINTR) continue;
        break;  // EAGAIN: drained; anything else: nothing more to read now
      }
      for (int i = 0; i < n; ++i) {
        auto k = static_cast<size_t>(i);
        const uint8_t* p = buffers_.data() + k * maxBytes;
        size_t got = std::min<size_t>(msgs[k].msg_len, maxBytes);
        ReceivedDatagram d;
        d.source = FromSockaddr(addrs[k]);
        d.bytes.assign(p, p + got);
        d.truncated = (msgs[k].msg_hdr.msg_flags & MSG_TRUNC) != 0;
        out.push_back(std::move(d));
      }
      total += static_cast<size_t>(n);
      if (static_cast<size_t>(n) < want) break;
    }
    return total;
  }

  bool WaitReadable(std::chrono::milliseconds timeout) override {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ms =
        timeout.count() < 0 ? -1 : static_cast<int>(std::min<int64_t>(timeout.count(), 1 << 30));
    for (;;) {
      int r = ::poll(p, 2, ms);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      if (p[1].revents != 0) return false;
      return (p[0].revents & POLLIN) != 0;
    }
  }

  void Interrupt() override {
    uint64_t one = 1;
    // The counter stays non-zero, so every later wait returns at once.
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }

 private:
  int fd_;
  int wakeFd_;
  std::vector<uint8_t> buffers_;
};

BindFailure Classify(int err) {
  if (err == EADDRINUSE) return BindFailure::InUse;
  if (err == EACCES || err == EPERM) return BindFailure::NoPermission;
  return BindFailure::Other;
}

}  // namespace

std::vector<NetworkInterface> LinuxNetwork::Interfaces() {
  std::vector<NetworkInterface> result;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return result;
  for (ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
    if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET) continue;
    NetworkInterface nic;
    nic.name = ifa->ifa_name != nullptr ? ifa->ifa_name : "";
    nic.address = AddressOf(ifa->ifa_addr);
    nic.netmask = AddressOf(ifa->ifa_netmask);
    nic.up = (ifa->ifa_flags & IFF_UP) != 0;
    nic.loopback = (ifa->ifa_flags & IFF_LOOPBACK) != 0;
    nic.broadcastCapable = (ifa->ifa_flags & IFF_BROADCAST) != 0;
    if (nic.broadcastCapable) {
      nic.broadcast = AddressOf(ifa->ifa_broadaddr);
      if (nic.broadcast.IsAny())
        nic.broadcast = Ipv4Address(nic.address.value | ~nic.netmask.value);
    }
    result.push_back(std::move(nic));
  }
  ::freeifaddrs(list);
  return result;
}

UdpBindResult LinuxNetwork::BindUdp(const SocketAddress& local, const UdpOptions& options) {
  UdpBindResult result;
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) {
    result.systemError = errno;
    result.failure = BindFailure::Other;
    return result;
  }
  if (options.broadcast) {
    int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  }
  if (options.receiveBufferBytes > 0) {
    int size = static_cast<int>(std::min<size_t>(options.receiveBufferBytes, 1u << 30));
    // SO_RCVBUFFORCE passes the rmem_max ceiling but needs CAP_NET_ADMIN.
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
      ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
  }
  sockaddr_in sa = ToSockaddr(local);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    result.systemError = errno;
    result.failure = Classify(errno);
    return result;
  }
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) {
    result.systemError = errno;
    result.failure = BindFailure::Other;
    return result;
  }
  result.socket = std::make_unique<LinuxUdpSocket>(fd.release(), wake);
  return result;
}

TcpConnectResult LinuxNetwork::TcpConnect(const SocketAddress& to,
                                          std::chrono::milliseconds timeout) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return TcpConnectResult::Other;
  sockaddr_in sa = ToSockaddr(to);
  int err = 0;
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    err = errno;
    if (err == EINPROGRESS) {
      pollfd p{fd.get(), POLLOUT, 0};
      int ms = static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, 1 << 30));
      int r;
      do {
        r = ::poll(&p, 1, ms);
      } while (r < 0 && errno == EINTR);
      if (r == 0) return TcpConnectResult::TimedOut;
      if (r < 0) return TcpConnectResult::Other;
      socklen_t len = sizeof err;
      if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    }
  }
  switch (err) {
    case 0:
      return TcpConnectResult::Connected;
    case ECONNREFUSED:
      return TcpConnectResult::Refused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EADDRNOTAVAIL:
      return TcpConnectResult::Unreachable;
    case ETIMEDOUT:
      return TcpConnectResult::TimedOut;
    default:
      return TcpConnectResult::Other;
  }
}

std::vector<Ipv4Address> LinuxNetwork::ResolveHostName(std::string_view name) {
  std::vector<Ipv4Address> result;
  if (name.empty()) return result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  std::string host(name);
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return result;
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    Ipv4Address a = AddressOf(ai->ai_addr);
    if (std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
  }
  ::freeaddrinfo(list);
  return result;
}

}  // namespace vantrel::linux
