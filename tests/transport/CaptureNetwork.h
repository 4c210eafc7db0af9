#pragma once
// A network for transport tests: binds always succeed (or fail as told), every
// socket records what is sent through it, and nothing ever arrives (tests put
// datagrams into the mailslot queue directly).

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel::testnet {

struct SentDatagram {
  SocketAddress from;  // the sending socket's bound address
  SocketAddress to;
  std::vector<uint8_t> bytes;
};

// The Messenger datagram (sender, 0, receiver, 0, text) inside a captured
// frame; empty when the frame holds no mailslot write.
inline std::string MessengerPayload(const SentDatagram& sent) {
  auto d = ParseNetbiosDatagram(sent.bytes);
  auto s = ParseMailslotWrite(d.datagram.userData);
  return std::string(s.write.data.begin(), s.write.data.end());
}

class CaptureNetwork;

class CaptureSocket : public IUdpSocket {
 public:
  CaptureSocket(CaptureNetwork& net, SocketAddress local) : net_(net), local_(local) {}
  SocketAddress LocalAddress() const override { return local_; }
  bool SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) override;
  std::optional<size_t> ReceiveFrom(std::span<uint8_t>, SocketAddress*) override {
    return std::nullopt;
  }
  size_t ReceiveBatch(std::vector<ReceivedDatagram>&, size_t, size_t) override { return 0; }
  bool WaitReadable(std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mutex_);
    if (timeout.count() < 0) {
      cv_.wait(lock, [&] { return interrupted_; });
    } else {
      cv_.wait_for(lock, timeout, [&] { return interrupted_; });
    }
    return false;
  }
  void Interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
  }

 private:
  CaptureNetwork& net_;
  SocketAddress local_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool interrupted_ = false;
};

class CaptureNetwork : public INetwork {
 public:
  std::vector<NetworkInterface> nics;
  BindFailure bindFailure = BindFailure::None;  // what every bind reports
  bool sendFails = false;
  std::vector<SocketAddress> binds;
  std::vector<SentDatagram> sent;

  std::vector<NetworkInterface> Interfaces() override { return nics; }
  UdpBindResult BindUdp(const SocketAddress& local, const UdpOptions&) override {
    binds.push_back(local);
    UdpBindResult r;
    if (bindFailure != BindFailure::None) {
      r.failure = bindFailure;
      r.systemError = bindFailure == BindFailure::InUse ? 98 : 13;
      return r;
    }
    SocketAddress bound = local;
    if (bound.port == 0) bound.port = static_cast<uint16_t>(40000 + binds.size());
    r.socket = std::make_unique<CaptureSocket>(*this, bound);
    return r;
  }
  TcpConnectResult TcpConnect(const SocketAddress&, std::chrono::milliseconds) override {
    return TcpConnectResult::Unreachable;
  }
  std::vector<Ipv4Address> ResolveHostName(std::string_view) override { return {}; }
};

inline bool CaptureSocket::SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) {
  if (net_.sendFails) return false;
  net_.sent.push_back({local_, to, std::vector<uint8_t>(bytes.begin(), bytes.end())});
  return true;
}

inline NetworkInterface Nic(const char* name, Ipv4Address address, Ipv4Address mask,
                            bool broadcast = true, bool loopback = false) {
  NetworkInterface n;
  n.name = name;
  n.address = address;
  n.netmask = mask;
  n.broadcastCapable = broadcast;
  n.broadcast = broadcast ? Ipv4Address(address.value | ~mask.value) : Ipv4Address::Any();
  n.up = true;
  n.loopback = loopback;
  return n;
}

}  // namespace vantrel::testnet
