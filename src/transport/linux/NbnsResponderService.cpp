#include "transport/linux/NbnsResponderService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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
  static constexpr ServiceStateTexts kTexts = {
      "the name service port is held by another program",
      "no permission to bind the name service port",
      "the name service socket could not be opened",
  };
  return ServiceStateText(state, kTexts);
}

NbnsResponderService::NbnsResponderService(Identity identity, INetwork& network)
    : network_(network), responder_(std::move(identity), {}) {}

NbnsResponderService::~NbnsResponderService() { Stop(); }

ResponderState NbnsResponderService::Start(uint16_t port, Ipv4Address bindAddress) {
  if (socket_.State() == ResponderState::kRunning) return ResponderState::kRunning;
  {
    std::lock_guard lock(mutex_);
    responder_.SetInterfaces(
        SelectInterfaces(network_.Interfaces(), responder_.identity().interfaces));
  }
  lastRefreshMs_ = NowMs();
  return socket_.Start({.type = SOCK_DGRAM, .optionLevel = IPPROTO_IP, .optionName = IP_PKTINFO},
                       port, bindAddress, [this] { Run(); });
}

void NbnsResponderService::Stop() { socket_.Stop(); }

ResponderCounters NbnsResponderService::Counters() const {
  std::lock_guard lock(mutex_);
  return responder_.Counters();
}

void NbnsResponderService::Run() {
  uint8_t buffer[kMaxPacket];
  alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
  const int fd = socket_.Fd();
  for (;;) {
    pollfd p[2] = {{}, {fd, POLLIN, 0}};
    ServiceSocket::Wait wait = socket_.Poll(p, -1);
    if (wait == ServiceSocket::Wait::kStop) break;
    if (wait == ServiceSocket::Wait::kInterrupted) continue;
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
      ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
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
      ::sendto(socket_.Fd(), action.reply.data(), action.reply.size(), MSG_DONTWAIT,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
}

}  // namespace vantrel::linux
