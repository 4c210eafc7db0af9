#include "transport/NodeStatus.h"

#include <random>
#include <vector>

#include "transport/NameService.h"

namespace vantrel {

std::optional<std::string> ComputerNameFromNodeStatus(std::span<const uint8_t> bytes, uint16_t id) {
  const std::optional<NamePacket> packet = ParseNamePacket(bytes);
  if (!packet || packet->transactionId != id ||
      ClassifyNamePacket(*packet) != NamePacketKind::NodeStatusResponse) {
    return std::nullopt;
  }
  const std::optional<NodeStatus> status = ParseNodeStatusRdata(packet->answers.front().rdata);
  if (!status) return std::nullopt;
  for (const NodeStatusName& n : status->names) {
    if (n.name[15] != 0x00 || (n.flags & kNbFlagGroup) != 0) continue;
    if ((n.flags & (kNameFlagDeregistering | kNameFlagConflict)) != 0) continue;
    const std::string name = NetbiosName(n.name).Name();
    if (!name.empty() && name != "*") return name;
  }
  return std::nullopt;
}

std::optional<std::string> QueryComputerName(INetwork& network, Ipv4Address address,
                                             NodeStatusTimings timings) {
  UdpOptions options;
  options.broadcast = false;
  UdpBindResult bound = network.BindUdp({Ipv4Address::Any(), 0}, options);
  if (!bound.socket) return std::nullopt;
  IUdpSocket& socket = *bound.socket;
  const auto id = static_cast<uint16_t>(std::random_device{}());
  const std::vector<uint8_t> request = BuildNodeStatusRequest(id);
  std::vector<uint8_t> buffer(1500);
  using Clock = std::chrono::steady_clock;
  for (int attempt = 0; attempt < timings.tries; ++attempt) {
    if (!socket.SendTo({address, timings.port}, request)) return std::nullopt;
    const auto deadline = Clock::now() + timings.wait;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || !socket.WaitReadable(left)) break;
      SocketAddress from;
      while (auto n = socket.ReceiveFrom(buffer, &from)) {
        if (*n > buffer.size() || from.address != address) continue;  // only the node asked
        if (auto name = ComputerNameFromNodeStatus(std::span(buffer.data(), *n), id)) return name;
      }
    }
  }
  return std::nullopt;
}

}  // namespace vantrel
