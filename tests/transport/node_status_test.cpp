// The computer name in a node status answer, and the question on a real socket.
#include "transport/NodeStatus.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/linux/LinuxNetwork.h"
#include "transport/NameService.h"

namespace vantrel {
namespace {

NodeStatusName Entry(std::string_view name, uint8_t suffix, uint16_t flags) {
  return {NetbiosName::FromName(name, suffix).Bytes(),
          static_cast<uint16_t>(flags | kNameFlagActive)};
}

TEST(NodeStatus, TheFirstActiveUniqueWorkstationNameIsTheComputer) {
  // The group and the messenger name come first; a name in conflict is no one's.
  const std::vector<NodeStatusName> names = {
      Entry("LANFOLK", 0x00, kNbFlagGroup),
      Entry("BOB", 0x03, 0),
      {NetbiosName::FromName("OLD", 0).Bytes(), kNameFlagConflict},
      Entry("BOB", 0x00, 0),
      Entry("OTHER", 0x00, 0)};
  const auto reply = BuildNodeStatusResponse(0x1234, NetbiosName::Wildcard(), names, {});
  EXPECT_EQ(ComputerNameFromNodeStatus(reply, 0x1234), "BOB");
  EXPECT_FALSE(ComputerNameFromNodeStatus(reply, 0x1235));  // another question's answer
  // No unique <00> name, a name query answer, garbage: nothing.
  const auto groupsOnly = BuildNodeStatusResponse(
      7, NetbiosName::Wildcard(), std::vector{Entry("LANFOLK", 0, kNbFlagGroup)}, {});
  EXPECT_FALSE(ComputerNameFromNodeStatus(groupsOnly, 7));
  NbAddressEntry a{0, Ipv4Address::FromOctets(198, 18, 0, 7)};
  EXPECT_FALSE(ComputerNameFromNodeStatus(
      BuildPositiveNameQueryResponse(7, NetbiosName::FromName("BOB", 0), std::span(&a, 1), 60), 7));
  for (size_t n = 0; n < reply.size(); ++n) {
    EXPECT_FALSE(ComputerNameFromNodeStatus(std::span(reply.data(), n), 0x1234)) << n;
  }
}

TEST(NodeStatus, TheQuestionGoesToTheAddressAndOnlyItsAnswerCounts) {
  linux::LinuxNetwork net;
  auto node = net.BindUdp({Ipv4Address::Loopback(), 0}, {});
  ASSERT_TRUE(node.socket);
  const uint16_t port = node.socket->LocalAddress().port;
  std::thread answerer([&] {
    std::vector<uint8_t> buffer(1500);
    SocketAddress from;
    for (int i = 0; i < 2; ++i) {
      if (!node.socket->WaitReadable(std::chrono::seconds(5))) return;
      auto n = node.socket->ReceiveFrom(buffer, &from);
      if (!n) continue;
      auto packet = ParseNamePacket(std::span(buffer.data(), *n));
      if (!packet) continue;
      if (i == 0) continue;  // the first try goes unanswered: it is asked again
      node.socket->SendTo(from,
                          BuildNodeStatusResponse(packet->transactionId, NetbiosName::Wildcard(),
                                                  std::vector{Entry("CAROL", 0, 0)}, {}));
    }
  });
  NodeStatusTimings timings;
  timings.port = port;
  timings.wait = std::chrono::milliseconds(200);
  EXPECT_EQ(QueryComputerName(net, Ipv4Address::Loopback(), timings), "CAROL");
  answerer.join();
  // Nobody there: nothing, after the tries.
  timings.tries = 2;
  timings.wait = std::chrono::milliseconds(50);
  EXPECT_FALSE(QueryComputerName(net, Ipv4Address::Loopback(), timings));
}

}  // namespace
}  // namespace vantrel
