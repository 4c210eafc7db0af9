#pragma once
// The IPv4 network as the program sees it: the interface list, UDP sockets
// (NetBIOS datagram and name service), a bounded TCP connect (the connection
// probe) and the system host-name resolver. The Linux back-end is
// platform/linux/LinuxNetwork; tests supply their own.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4Address.h"

namespace vantrel {

// One IPv4 address of one interface (an interface with two addresses is
// listed twice).
struct NetworkInterface {
  std::string name;  // "eth0"
  Ipv4Address address;
  Ipv4Address netmask;
  Ipv4Address broadcast;  // the subnet broadcast; Any() when none
  bool broadcastCapable = false;
  bool up = false;
  bool loopback = false;

  bool Contains(Ipv4Address a) const {
    return (a.value & netmask.value) == (address.value & netmask.value);
  }
};

// Why a bind failed.
enum class BindFailure {
  None,
  InUse,         // another process holds the address and port (EADDRINUSE)
  NoPermission,  // a privileged port without the privilege (EACCES, EPERM)
  Other,         // anything else (no such address, out of descriptors, ...)
};

// A short English phrase for start-up messages and logs.
const char* BindFailureText(BindFailure failure);

struct UdpOptions {
  bool broadcast = true;          // SO_BROADCAST: may send to broadcast addresses
  size_t receiveBufferBytes = 0;  // kernel receive buffer wanted; 0 keeps the default
};
// Address reuse (SO_REUSEADDR/SO_REUSEPORT) is never set: owning the port must
// mean that no other process on this computer receives on it.

struct ReceivedDatagram {
  SocketAddress source;
  std::vector<uint8_t> bytes;  // at most the caller's size limit
  bool truncated = false;      // the datagram was longer than the limit and was cut
};

class IUdpSocket {
 public:
  virtual ~IUdpSocket() = default;

  // The address and port the socket is bound to (the real port when bound to 0).
  virtual SocketAddress LocalAddress() const = 0;

  // Sends one datagram; true when the system took all of it.
  virtual bool SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) = 0;

  // Reads one waiting datagram without blocking. Returns its whole length, which
  // may exceed buffer.size() (then only buffer.size() bytes were kept), or
  // nullopt when nothing waits or the read failed.
  virtual std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, SocketAddress* from) = 0;

  // Reads up to maxCount waiting datagrams without blocking, each cut to
  // maxBytes, appending them to out. Returns how many were appended.
  virtual size_t ReceiveBatch(std::vector<ReceivedDatagram>& out, size_t maxCount,
                              size_t maxBytes) = 0;

  // Blocks until a datagram waits (true), the timeout passes or Interrupt() is
  // called (false). A negative timeout waits without limit.
  virtual bool WaitReadable(std::chrono::milliseconds timeout) = 0;

  // Wakes a WaitReadable in another thread; every later wait returns false at
  // once. Safe to call from any thread.
  virtual void Interrupt() = 0;
};

struct UdpBindResult {
  std::unique_ptr<IUdpSocket> socket;  // null on failure
  BindFailure failure = BindFailure::None;
  int systemError = 0;  // errno of the failing call
};

enum class TcpConnectResult {
  Connected,    // the handshake completed (the connection is closed again at once)
  Refused,      // the host answered with a reset (ECONNREFUSED)
  Unreachable,  // no route to the network or host (ENETUNREACH, EHOSTUNREACH, EADDRNOTAVAIL)
  TimedOut,     // no answer within the timeout
  Other,        // any other error
};

class INetwork {
 public:
  virtual ~INetwork() = default;

  // The IPv4 addresses of all interfaces, in the system's order.
  virtual std::vector<NetworkInterface> Interfaces() = 0;

  // Binds a UDP socket to local (port 0 picks a free port).
  virtual UdpBindResult BindUdp(const SocketAddress& local, const UdpOptions& options) = 0;

  // Connects to a TCP port and closes again; waits at most timeout.
  virtual TcpConnectResult TcpConnect(const SocketAddress& to,
                                      std::chrono::milliseconds timeout) = 0;

  // IPv4 addresses the system resolver (hosts file, DNS, ...) gives for a host
  // name; empty when it gives none.
  virtual std::vector<Ipv4Address> ResolveHostName(std::string_view name) = 0;
};

}  // namespace vantrel
