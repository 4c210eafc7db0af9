// The responder's socket loop on the loopback, on ephemeral ports.
#include "transport/linux/NbnsResponderService.h"

#include <gtest/gtest.h>

#include "platform/linux/LinuxNetwork.h"

namespace vantrel::linux {
namespace {

std::unique_ptr<IUdpSocket> Client(LinuxNetwork& net) {
  UdpBindResult bound = net.BindUdp({Ipv4Address::Loopback(), 0}, {});
  EXPECT_NE(bound.socket, nullptr);
  return std::move(bound.socket);
}

std::optional<NamePacket> Ask(IUdpSocket& client, uint16_t port,
                              const std::vector<uint8_t>& query) {
  EXPECT_TRUE(client.SendTo({Ipv4Address::Loopback(), port}, query));
  if (!client.WaitReadable(std::chrono::milliseconds(2000))) return std::nullopt;
  std::vector<uint8_t> buffer(1500);
  SocketAddress from;
  auto n = client.ReceiveFrom(buffer, &from);
  if (!n) return std::nullopt;
  EXPECT_EQ(from.port, port);  // answered from the service's own port
  buffer.resize(*n);
  return ParseNamePacket(buffer);
}

TEST(NbnsResponderService, AnswersOnTheLoopbackAndStopsCleanly) {
  LinuxNetwork net;
  NbnsResponderService service(MakeIdentity("LOOPHOST", "LOOPGROUP", {"lo"}, {}), net);
  ASSERT_EQ(service.Start(0, Ipv4Address::Loopback()), ResponderState::kRunning);
  ASSERT_NE(service.Port(), 0);
  auto client = Client(net);

  auto answer = Ask(*client, service.Port(),
                    BuildNameQueryRequest(0x1234, NetbiosName::FromName("loophost", 3), false));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->transactionId, 0x1234);
  ASSERT_EQ(ClassifyNamePacket(*answer), NamePacketKind::PositiveNameQueryResponse);
  auto entries = ParseNbRdata(answer->answers.at(0).rdata);
  ASSERT_TRUE(entries && entries->size() == 1u);
  EXPECT_EQ(entries->at(0).address, Ipv4Address::Loopback());
  EXPECT_FALSE(entries->at(0).IsGroup());

  answer = Ask(*client, service.Port(),
               BuildNameQueryRequest(7, NetbiosName::FromName("LOOPGROUP", 0), false));
  ASSERT_TRUE(answer);
  entries = ParseNbRdata(answer->answers.at(0).rdata);
  ASSERT_TRUE(entries && entries->size() == 1u);
  EXPECT_TRUE(entries->at(0).IsGroup());

  // A unicast query for another name gets the negative answer; junk gets nothing and the
  // loop keeps going.
  std::vector<uint8_t> junk = {1, 2, 3};
  EXPECT_TRUE(client->SendTo({Ipv4Address::Loopback(), service.Port()}, junk));
  answer = Ask(*client, service.Port(),
               BuildNameQueryRequest(8, NetbiosName::FromName("ELSEWHERE", 0), false, false));
  ASSERT_TRUE(answer);
  EXPECT_EQ(ClassifyNamePacket(*answer), NamePacketKind::NegativeNameQueryResponse);

  ResponderCounters c = service.Counters();
  EXPECT_EQ(c.positive, 2u);
  EXPECT_EQ(c.negative, 1u);
  EXPECT_EQ(c.malformed, 1u);
  service.Stop();
  EXPECT_EQ(service.State(), ResponderState::kStopped);
  service.Stop();
}

TEST(NbnsResponderService, HeldPortMeansNoResponder) {
  LinuxNetwork net;
  UdpBindResult holder = net.BindUdp({Ipv4Address::Any(), 0}, {});
  ASSERT_NE(holder.socket, nullptr);
  uint16_t port = holder.socket->LocalAddress().port;
  NbnsResponderService service(MakeIdentity("PC", "WG", {}, {}), net);
  EXPECT_EQ(service.Start(port), ResponderState::kPortHeld);
  service.Stop();  // nothing to stop; must not hang or crash
  EXPECT_EQ(service.State(), ResponderState::kPortHeld);
}

}  // namespace
}  // namespace vantrel::linux
