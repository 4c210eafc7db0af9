// Name service packets: byte fixtures, round trips and truncation.
#include <gtest/gtest.h>

#include "TestFrames.h"
#include "transport/NameService.h"

namespace vantrel {
namespace {

using testframes::Bytes;
using testframes::Cat;
using testframes::Hex;
using testframes::Name34;

TEST(NameService, BroadcastQueryRequestBytes) {
  auto bytes = BuildNameQueryRequest(0x1234, NetbiosName::FromName("bobpc", 0x00), true);
  Bytes expected = Cat({Hex("12 34"             // 0  NAME_TRN_ID
                            "01 10"             // 2  RD, B
                            "00 01 00 00"       // 4  QDCOUNT 1, ANCOUNT 0
                            "00 00 00 00"),     // 8  NSCOUNT, ARCOUNT
                        Name34("BOBPC", 0x00),  // 12 QUESTION_NAME
                        Hex("00 20 00 01")});   // 46 NB, IN
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(BuildNameQueryRequest(1, NetbiosName::FromName("X", 0), false)[3], 0x00);
  EXPECT_EQ(BuildNameQueryRequest(1, NetbiosName::FromName("X", 0), true, false)[2], 0x00);
  EXPECT_EQ(BuildNameQueryRequest(1, NetbiosName::FromName("X", 0), true, false)[3], 0x10);

  auto p = ParseNamePacket(bytes);
  ASSERT_TRUE(p);
  EXPECT_EQ(ClassifyNamePacket(*p), NamePacketKind::NameQueryRequest);
  EXPECT_EQ(p->transactionId, 0x1234);
  EXPECT_TRUE(p->IsBroadcast());
  EXPECT_EQ(p->questions[0].name, NetbiosName::FromName("BOBPC", 0x00));
}

TEST(NameService, PositiveResponseBytesAndEntries) {
  std::vector<NbAddressEntry> entries = {
      {0x0000, Ipv4Address::FromOctets(198, 18, 0, 2)},
      {kNbFlagGroup | kNbOntH, Ipv4Address::FromOctets(198, 18, 0, 3)}};
  auto bytes = BuildPositiveNameQueryResponse(0xBEEF, NetbiosName::FromName("WG", 0), entries, 300);
  Bytes expected = Cat({Hex("be ef 85 00 00 00 00 01 00 00 00 00"), Name34("WG", 0),
                        Hex("00 20 00 01"  // NB, IN
                            "00 00 01 2c"  // TTL 300
                            "00 0c"        // RDLENGTH 12
                            "00 00 c6 12 00 02"
                            "e0 00 c6 12 00 03")});
  EXPECT_EQ(bytes, expected);
  auto p = ParseNamePacket(bytes);
  ASSERT_TRUE(p);
  EXPECT_EQ(ClassifyNamePacket(*p), NamePacketKind::PositiveNameQueryResponse);
  auto parsed = ParseNbRdata(p->answers[0].rdata);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, entries);
  EXPECT_TRUE((*parsed)[1].IsGroup());
  EXPECT_FALSE(ParseNbRdata(Hex("00 00 c6 12 00")));  // not a whole entry
}

TEST(NameService, NegativeResponse) {
  auto bytes = BuildNegativeNameQueryResponse(7, NetbiosName::FromName("NOBODY", 0));
  EXPECT_EQ(bytes[2], 0x85);
  EXPECT_EQ(bytes[3], 0x03);
  auto p = ParseNamePacket(bytes);
  ASSERT_TRUE(p);
  EXPECT_EQ(ClassifyNamePacket(*p), NamePacketKind::NegativeNameQueryResponse);
  EXPECT_EQ(p->Rcode(), kNsRcodeNameError);
  EXPECT_EQ(p->answers[0].type, kNsTypeNull);
  EXPECT_TRUE(p->answers[0].rdata.empty());
}

TEST(NameService, NodeStatusRequestAndResponse) {
  auto req = BuildNodeStatusRequest(0x0102);
  EXPECT_EQ(req, Cat({Hex("01 02 00 00 00 01 00 00 00 00 00 00 20"), Bytes{'C', 'K'},
                      Bytes(30, 'A'), Hex("00 00 21 00 01")}));
  auto preq = ParseNamePacket(req);
  ASSERT_TRUE(preq);
  EXPECT_EQ(ClassifyNamePacket(*preq), NamePacketKind::NodeStatusRequest);
  EXPECT_TRUE(preq->questions[0].name.IsWildcard());

  std::vector<NodeStatusName> names = {
      {NetbiosName::FromName("PC1", 0x00).Bytes(), kNameFlagActive},
      {NetbiosName::FromName("PC1", 0x03).Bytes(), kNameFlagActive},
      {NetbiosName::FromName("WORKGROUP", 0x00).Bytes(), kNbFlagGroup | kNameFlagActive}};
  std::array<uint8_t, 6> mac = {0x02, 0, 0, 0, 0, 0x01};
  auto resp = BuildNodeStatusResponse(0x0102, NetbiosName::Wildcard(), names, mac);
  // 12 header + 34 name + 10 (type, class, ttl, rdlength) + 1 + 3*18 + 46
  EXPECT_EQ(resp.size(), 12u + 34 + 10 + 1 + 54 + 46);
  EXPECT_EQ(resp[56], 3);  // NUM_NAMES
  auto p = ParseNamePacket(resp);
  ASSERT_TRUE(p);
  EXPECT_EQ(ClassifyNamePacket(*p), NamePacketKind::NodeStatusResponse);
  auto status = ParseNodeStatusRdata(p->answers[0].rdata);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->names, names);
  EXPECT_EQ(status->unitId, mac);
  // Short statistics are tolerated; too few names are not.
  EXPECT_TRUE(ParseNodeStatusRdata(std::span(p->answers[0].rdata).first(1 + 54)));
  EXPECT_FALSE(ParseNodeStatusRdata(std::span(p->answers[0].rdata).first(1 + 53)));
}

TEST(NameService, CompressedRecordNameAsInRegistrations) {
  // A registration request whose additional record names the question by pointer (C0 0C).
  Bytes reg = Cat({Hex("00 05 29 10 00 01 00 00 00 00 00 01"), Name34("PC2", 0x00),
                   Hex("00 20 00 01"
                       "c0 0c 00 20 00 01 00 04 93 e0 00 06 00 00 c6 12 00 05")});
  auto p = ParseNamePacket(reg);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Opcode(), kNsOpcodeRegistration);
  EXPECT_EQ(ClassifyNamePacket(*p), NamePacketKind::Other);
  ASSERT_EQ(p->additional.size(), 1u);
  EXPECT_EQ(p->additional[0].name, NetbiosName::FromName("PC2", 0x00));
  EXPECT_EQ(p->additional[0].ttl, 300000u);
}

TEST(NameService, EveryStrictPrefixIsRejected) {
  std::vector<NbAddressEntry> one = {{0, Ipv4Address::FromOctets(198, 18, 0, 2)}};
  std::vector<NodeStatusName> names = {{NetbiosName::FromName("PC1", 0).Bytes(), 0}};
  for (const Bytes& frame :
       {BuildNameQueryRequest(1, NetbiosName::FromName("A", 0), true),
        BuildPositiveNameQueryResponse(1, NetbiosName::FromName("A", 0), one, 0),
        BuildNegativeNameQueryResponse(1, NetbiosName::FromName("A", 0)),
        BuildNodeStatusResponse(1, NetbiosName::Wildcard(), names, {})}) {
    ASSERT_TRUE(ParseNamePacket(frame));
    for (size_t n = 0; n < frame.size(); ++n) {
      EXPECT_FALSE(ParseNamePacket(std::span(frame).first(n))) << "prefix " << n;
    }
  }
}

TEST(NameService, CountsAboveTheCapsAreRejected) {
  Bytes header = Hex("00 01 00 00 00 05 00 00 00 00 00 00");  // QDCOUNT 5
  EXPECT_FALSE(ParseNamePacket(header));
  Bytes manyAnswers = Hex("00 01 80 00 00 00 ff ff 00 00 00 00");
  EXPECT_FALSE(ParseNamePacket(manyAnswers));
  // Trailing bytes after the last record are ignored.
  auto req = BuildNameQueryRequest(1, NetbiosName::FromName("A", 0), true);
  req.push_back(0xAA);
  EXPECT_TRUE(ParseNamePacket(req));
}

}  // namespace
}  // namespace vantrel
