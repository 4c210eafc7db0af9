#pragma once
// INetwork over getifaddrs, BSD sockets and getaddrinfo.

#include "platform/Network.h"

namespace vantrel::linux {

class LinuxNetwork : public INetwork {
 public:
  std::vector<NetworkInterface> Interfaces() override;
  UdpBindResult BindUdp(const SocketAddress& local, const UdpOptions& options) override;
  TcpConnectResult TcpConnect(const SocketAddress& to, std::chrono::milliseconds timeout) override;
  std::vector<Ipv4Address> ResolveHostName(std::string_view name) override;
};

}  // namespace vantrel::linux
