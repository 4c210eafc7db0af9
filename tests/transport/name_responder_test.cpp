#include "transport/NameResponder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

Ipv4Address Ip(const char* text) { return *Ipv4Address::Parse(text); }

// A query built by hand from RFC 1002 4.2.12 / 4.2.17, independent of the codec under test:
// header (id, flags, QDCOUNT 1, three zero counts), then 0x20, the 32 first-level letters
// of the blank-padded name and its suffix, 0x00, QUESTION_TYPE, QUESTION_CLASS IN.
std::vector<uint8_t> Query(uint16_t id, std::string name, uint8_t suffix, uint16_t flags,
                           uint16_t type = 0x0020) {
  std::vector<uint8_t> p = {uint8_t(id >> 8),
                            uint8_t(id),
                            uint8_t(flags >> 8),
                            uint8_t(flags),
                            0,
                            1,
                            0,
                            0,
                            0,
                            0,
                            0,
                            0,
                            0x20};
  uint8_t raw[16];
  for (size_t i = 0; i < 15; ++i) raw[i] = i < name.size() ? uint8_t(name[i]) : ' ';
  if (name == "*") {
    for (size_t i = 1; i < 15; ++i) raw[i] = 0;
  }
  raw[15] = suffix;
  for (uint8_t b : raw) {
    p.push_back(uint8_t('A' + (b >> 4)));
    p.push_back(uint8_t('A' + (b & 0x0F)));
  }
  p.insert(p.end(), {0x00, uint8_t(type >> 8), uint8_t(type), 0x00, 0x01});
  return p;
}

NetworkInterface Nic(const char* name, const char* address) {
  NetworkInterface n;
  n.name = name;
  n.address = Ip(address);
  n.netmask = Ip("255.255.255.0");
  n.broadcast = Ipv4Address(n.address.value | 0xFF);
  n.broadcastCapable = true;
  n.up = true;
  return n;
}

uint16_t Flags(const std::vector<uint8_t>& reply) { return uint16_t(reply[2] << 8 | reply[3]); }

class ResponderTest : public ::testing::Test {
 protected:
  ResponderTest()
      : responder_(MakeIdentity("alicepc", "lanfolk", {}, {}),
                   {Nic("eth0", "198.18.0.11"), Nic("eth1", "10.9.0.11")}) {}

  // A broadcast query from 198.18.0.12:40000 arriving on eth0.
  QueryArrival Broadcast() const {
    return {{Ip("198.18.0.12"), 40000}, Ip("198.18.0.11"), Ip("198.18.0.255")};
  }
  QueryArrival Unicast() const {
    return {{Ip("198.18.0.12"), 40000}, Ip("198.18.0.11"), Ip("198.18.0.11")};
  }

  // Decodes a positive answer and returns its single NB entry.
  static NbAddressEntry AnswerEntry(const ResponderAction& a, const char* expectedName) {
    auto packet = ParseNamePacket(a.reply);
    EXPECT_TRUE(packet.has_value());
    if (!packet) return {};
    EXPECT_EQ(ClassifyNamePacket(*packet), NamePacketKind::PositiveNameQueryResponse);
    EXPECT_EQ(packet->answers.at(0).name.ToString(), expectedName);
    EXPECT_EQ(packet->answers.at(0).ttl, kResponderTtl);
    auto entries = ParseNbRdata(packet->answers.at(0).rdata);
    EXPECT_TRUE(entries && entries->size() == 1u);
    return entries && !entries->empty() ? entries->front() : NbAddressEntry{};
  }

  NameResponder responder_;
};

TEST_F(ResponderTest, AnswersOurThreeNamesBroadcastAndUnicast) {
  struct Case {
    const char* name;
    uint8_t suffix;
    bool group;
    const char* shown;
  } cases[] = {{"ALICEPC", 0x00, false, "ALICEPC<00>"},
               {"alicepc", 0x03, false, "alicepc<03>"},  // answered as asked
               {"LANFOLK", 0x00, true, "LANFOLK<00>"}};
  // Samba's nmblookup broadcasts with RD clear (0x0010); resolvers set RD (0x0110).
  for (uint16_t flags : {uint16_t{0x0010}, uint16_t{0x0110}, uint16_t{0x0100}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.shown) + " flags " + std::to_string(flags));
      QueryArrival arrival = (flags & 0x0010) ? Broadcast() : Unicast();
      ResponderAction a = responder_.Handle(Query(0x4242, c.name, c.suffix, flags), arrival);
      ASSERT_EQ(a.verdict, ResponderVerdict::kPositive);
      EXPECT_EQ(a.to, arrival.source);
      EXPECT_EQ(a.reply[0], 0x42);
      EXPECT_EQ(a.reply[1], 0x42);
      EXPECT_EQ(Flags(a.reply), 0x8500);  // R, AA, RD; RA only from a name server
      NbAddressEntry e = AnswerEntry(a, c.shown);
      EXPECT_EQ(e.IsGroup(), c.group);
      EXPECT_EQ(e.flags & kNbOntMask, kNbOntB);
      EXPECT_EQ(e.address, Ip("198.18.0.11"));
    }
  }
  EXPECT_EQ(responder_.Counters().positive, 9u);
}

TEST_F(ResponderTest, AnswerCarriesTheAddressOfTheArrivalInterface) {
  QueryArrival onEth1{{Ip("10.9.0.50"), 137}, Ip("10.9.0.11"), Ip("10.9.0.255")};
  ResponderAction a = responder_.Handle(Query(1, "ALICEPC", 0, 0x0010), onEth1);
  ASSERT_EQ(a.verdict, ResponderVerdict::kPositive);
  EXPECT_EQ(AnswerEntry(a, "ALICEPC<00>").address, Ip("10.9.0.11"));
  EXPECT_EQ(a.to, (SocketAddress{Ip("10.9.0.50"), 137}));

  // Unknown arrival interface: the served interface on the asker's subnet.
  QueryArrival unknown{{Ip("10.9.0.50"), 5000}, Ipv4Address::Any(), Ipv4Address::Any()};
  a = responder_.Handle(Query(2, "ALICEPC", 0, 0x0010), unknown);
  EXPECT_EQ(AnswerEntry(a, "ALICEPC<00>").address, Ip("10.9.0.11"));

  // Asked over the loopback: a served address, never 127.0.0.1 while we have one.
  QueryArrival loop{{Ip("127.0.0.1"), 5000}, Ip("127.0.0.1"), Ip("127.0.0.1")};
  a = responder_.Handle(Query(3, "ALICEPC", 3, 0x0000), loop);
  EXPECT_EQ(AnswerEntry(a, "ALICEPC<03>").address, Ip("198.18.0.11"));
}

TEST_F(ResponderTest, OtherNamesBroadcastSilenceUnicastNegative) {
  // Broadcast (by flag, by subnet broadcast address, by limited broadcast): never negative.
  for (auto [flags, dest] : {std::pair<uint16_t, const char*>{0x0110, "198.18.0.11"},
                             {0x0100, "198.18.0.255"},
                             {0x0100, "255.255.255.255"}}) {
    QueryArrival arrival{{Ip("198.18.0.12"), 40000}, Ip("198.18.0.11"), Ip(dest)};
    ResponderAction a = responder_.Handle(Query(7, "BOBPC", 0, flags), arrival);
    EXPECT_EQ(a.verdict, ResponderVerdict::kNotOurs) << dest;
    EXPECT_TRUE(a.reply.empty());
  }
  // Our computer name with a suffix we do not register, the workgroup's browser names.
  EXPECT_EQ(responder_.Handle(Query(7, "ALICEPC", 0x20, 0x0010), Broadcast()).verdict,
            ResponderVerdict::kNotOurs);
  EXPECT_EQ(responder_.Handle(Query(7, "LANFOLK", 0x1d, 0x0010), Broadcast()).verdict,
            ResponderVerdict::kNotOurs);

  // Asked of this node (RD clear): a negative answer. Asked as of a name server (RD set): we
  // are none, so nothing.
  EXPECT_EQ(responder_.Handle(Query(0x0102, "BOBPC", 0, 0x0100), Unicast()).verdict,
            ResponderVerdict::kNotOurs);
  ResponderAction a = responder_.Handle(Query(0x0102, "BOBPC", 0, 0x0000), Unicast());
  ASSERT_EQ(a.verdict, ResponderVerdict::kNegative);
  EXPECT_EQ(Flags(a.reply), 0x8503);  // name error
  auto packet = ParseNamePacket(a.reply);
  ASSERT_TRUE(packet);
  EXPECT_EQ(ClassifyNamePacket(*packet), NamePacketKind::NegativeNameQueryResponse);
  EXPECT_EQ(packet->transactionId, 0x0102);
  EXPECT_EQ(packet->answers.at(0).name.ToString(), "BOBPC<00>");
  EXPECT_EQ(packet->answers.at(0).type, kNsTypeNull);
  EXPECT_EQ(responder_.Counters().notOurs, 6u);
  EXPECT_EQ(responder_.Counters().negative, 1u);
}

TEST_F(ResponderTest, NodeStatusListsOurNamesOnlyWhenAskedDirectly) {
  ResponderAction a = responder_.Handle(Query(9, "*", 0, 0x0000, 0x0021), Unicast());
  ASSERT_EQ(a.verdict, ResponderVerdict::kNodeStatus);
  EXPECT_EQ(Flags(a.reply), 0x8400);
  auto packet = ParseNamePacket(a.reply);
  ASSERT_TRUE(packet);
  ASSERT_EQ(ClassifyNamePacket(*packet), NamePacketKind::NodeStatusResponse);
  auto status = ParseNodeStatusRdata(packet->answers.at(0).rdata);
  ASSERT_TRUE(status);
  ASSERT_EQ(status->names.size(), 3u);
  EXPECT_EQ(NetbiosName(status->names[0].name).ToString(), "ALICEPC<00>");
  EXPECT_EQ(NetbiosName(status->names[1].name).ToString(), "ALICEPC<03>");
  EXPECT_EQ(NetbiosName(status->names[2].name).ToString(), "LANFOLK<00>");
  EXPECT_EQ(status->names[0].flags, kNameFlagActive);
  EXPECT_EQ(status->names[2].flags, kNbFlagGroup | kNameFlagActive);

  EXPECT_EQ(responder_.Handle(Query(9, "ALICEPC", 0, 0, 0x0021), Unicast()).verdict,
            ResponderVerdict::kNodeStatus);
  EXPECT_EQ(responder_.Handle(Query(9, "*", 0, 0x0010, 0x0021), Broadcast()).verdict,
            ResponderVerdict::kNotOurs);
  EXPECT_EQ(responder_.Handle(Query(9, "BOBPC", 0, 0, 0x0021), Unicast()).verdict,
            ResponderVerdict::kNotOurs);
}

TEST_F(ResponderTest, IgnoresResponsesOtherOpcodesForeignInterfacesAndJunk) {
  // A positive response to someone else's query (R bit set).
  auto response = Query(5, "ALICEPC", 0, 0x8500);
  EXPECT_EQ(responder_.Handle(response, Broadcast()).verdict, ResponderVerdict::kNotAQuery);
  // A name registration (opcode 5) for our name.
  auto registration = Query(5, "ALICEPC", 0, 0x2910);
  EXPECT_EQ(responder_.Handle(registration, Broadcast()).verdict, ResponderVerdict::kNotAQuery);

  // Arrived on an interface outside the configured ones.
  QueryArrival foreign{{Ip("192.0.2.9"), 137}, Ip("192.0.2.1"), Ip("192.0.2.255")};
  EXPECT_EQ(responder_.Handle(Query(5, "ALICEPC", 0, 0x0010), foreign).verdict,
            ResponderVerdict::kNotOurInterface);
  EXPECT_TRUE(responder_.IsUnknownLocalAddress(Ip("192.0.2.1")));
  EXPECT_FALSE(responder_.IsUnknownLocalAddress(Ip("198.18.0.11")));

  // Every strict prefix of a valid query is rejected without an answer.
  auto valid = Query(5, "ALICEPC", 0, 0x0010);
  for (size_t n = 0; n < valid.size(); ++n) {
    std::vector<uint8_t> cut(valid.begin(), valid.begin() + static_cast<long>(n));
    ResponderAction a = responder_.Handle(cut, Broadcast());
    EXPECT_EQ(a.verdict, ResponderVerdict::kMalformed) << n;
    EXPECT_TRUE(a.reply.empty());
  }
  // A source port of 0 cannot be answered.
  QueryArrival noPort = Broadcast();
  noPort.source.port = 0;
  EXPECT_EQ(responder_.Handle(valid, noPort).verdict, ResponderVerdict::kMalformed);
}

TEST(NameResponder, HNodeWithWinsAndNoInterfacesMeansNoAnswer) {
  NameResponder withWins(MakeIdentity("PC", "WG", {}, {"198.18.0.5"}),
                         {Nic("eth0", "198.18.0.11")});
  ResponderAction a = withWins.Handle(
      Query(1, "PC", 3, 0x0010), {{Ip("198.18.0.12"), 137}, Ip("198.18.0.11"), Ipv4Address::Any()});
  ASSERT_EQ(a.verdict, ResponderVerdict::kPositive);
  auto packet = ParseNamePacket(a.reply);
  ASSERT_TRUE(packet);
  auto entries = ParseNbRdata(packet->answers.at(0).rdata);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->at(0).flags, kNbOntH);

  NameResponder none(MakeIdentity("PC", "WG", {}, {}), {});
  EXPECT_EQ(none.Handle(Query(1, "PC", 0, 0x0010),
                        {{Ip("198.18.0.12"), 137}, Ipv4Address::Any(), Ipv4Address::Any()})
                .verdict,
            ResponderVerdict::kNotOurInterface);
}

// A broadcast name registration request (RFC 1002 4.2.2) built by hand: the
// question, then the claimant's NB record as an additional record whose name
// is a pointer to the question's (0xC00C).
std::vector<uint8_t> Registration(uint16_t id, std::string name, uint8_t suffix,
                                  const char* address, uint16_t nbFlags = 0x0000) {
  std::vector<uint8_t> p = Query(id, std::move(name), suffix, 0x2910);
  p[11] = 1;  // ARCOUNT
  const uint32_t ip = Ip(address).value;
  p.insert(p.end(), {0xC0, 0x0C, 0x00, 0x20, 0x00, 0x01, 0x00, 0x04, 0x93, 0xE0, 0x00, 0x06,
                     uint8_t(nbFlags >> 8), uint8_t(nbFlags), uint8_t(ip >> 24), uint8_t(ip >> 16),
                     uint8_t(ip >> 8), uint8_t(ip)});
  return p;
}

TEST_F(ResponderTest, AnotherNodeClaimingOurUniqueNameIsToldItIsOurs) {
  for (uint8_t suffix : {uint8_t{0x00}, uint8_t{0x03}}) {
    ResponderAction a =
        responder_.Handle(Registration(0x1234, "ALICEPC", suffix, "198.18.0.12"), Broadcast());
    ASSERT_EQ(a.verdict, ResponderVerdict::kDefended) << int{suffix};
    EXPECT_EQ(a.to, Broadcast().source);  // straight back to the claimant
    // Header: same id, R + opcode 5 + AA + RD + RA, RCODE 6 (ACT_ERR); no
    // question, one answer.
    ASSERT_GE(a.reply.size(), 12u);
    EXPECT_EQ(a.reply[0], 0x12);
    EXPECT_EQ(a.reply[1], 0x34);
    EXPECT_EQ(Flags(a.reply), 0xAD86);
    EXPECT_EQ(a.reply[5], 0);  // QDCOUNT
    EXPECT_EQ(a.reply[7], 1);  // ANCOUNT
    auto packet = ParseNamePacket(a.reply);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->Rcode(), kNsRcodeActiveError);
    EXPECT_EQ(packet->answers.at(0).name, NetbiosName::FromName("ALICEPC", suffix));
    EXPECT_EQ(packet->answers.at(0).type, kNsTypeNb);
    auto entries = ParseNbRdata(packet->answers.at(0).rdata);
    ASSERT_TRUE(entries && entries->size() == 1u);
    EXPECT_EQ(entries->at(0).address, Ip("198.18.0.12"));  // the claimant's own entry
  }
  // Lower case is our name too.
  EXPECT_EQ(responder_.Handle(Registration(1, "alicepc", 0, "198.18.0.12"), Broadcast()).verdict,
            ResponderVerdict::kDefended);
  // A group name is shared: another member registering it is no conflict.
  EXPECT_EQ(
      responder_.Handle(Registration(2, "LANFOLK", 0, "198.18.0.12", 0x8000), Broadcast()).verdict,
      ResponderVerdict::kNotAQuery);
  // Someone else's name, and our own registration heard back, get nothing.
  EXPECT_EQ(responder_.Handle(Registration(3, "BOBPC", 0, "198.18.0.12"), Broadcast()).verdict,
            ResponderVerdict::kNotAQuery);
  EXPECT_EQ(responder_.Handle(Registration(4, "ALICEPC", 0, "198.18.0.11"), Broadcast()).verdict,
            ResponderVerdict::kNotAQuery);
  EXPECT_EQ(responder_.Counters().defended, 3u);
}

TEST_F(ResponderTest, SourcesOutsideOurSubnetsGetNoAnswer) {
  // A query whose source is spoofed to a far address, arriving on eth0: an
  // answer would go to the victim, bigger than the query.
  QueryArrival spoofed = Broadcast();
  spoofed.source.address = Ip("203.0.113.9");
  for (auto packet : {Query(1, "ALICEPC", 0, 0x0000), Query(2, "*", 0, 0x0000, 0x0021),
                      Query(3, "OTHER", 0, 0x0000), Registration(4, "ALICEPC", 0, "203.0.113.9")}) {
    ResponderAction a = responder_.Handle(packet, spoofed);
    EXPECT_EQ(a.verdict, ResponderVerdict::kOffSubnet);
    EXPECT_TRUE(a.reply.empty());
  }
  EXPECT_EQ(responder_.Counters().offSubnet, 4u);
  // The subnet of the other interface is ours too, and so is this host itself.
  QueryArrival fromEth1 = {{Ip("10.9.0.77"), 137}, Ip("10.9.0.11"), Ip("10.9.0.11")};
  EXPECT_EQ(responder_.Handle(Query(5, "ALICEPC", 0, 0x0000), fromEth1).verdict,
            ResponderVerdict::kPositive);
  QueryArrival fromSelf = {{Ipv4Address::Loopback(), 5000}, Ip("198.18.0.11"), Ip("198.18.0.11")};
  EXPECT_EQ(responder_.Handle(Query(6, "ALICEPC", 0, 0x0000), fromSelf).verdict,
            ResponderVerdict::kPositive);
}

}  // namespace
}  // namespace vantrel
