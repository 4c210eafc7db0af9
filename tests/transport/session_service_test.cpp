// NetBIOS session service packets: the header with its 17-bit length, the
// SESSION REQUEST smbclient sent on the LAN, the responses, and the framer
// that cuts a TCP byte stream into packets.
#include <gtest/gtest.h>

#include "SessionFrames.h"
#include "transport/SessionService.h"

namespace vantrel {
namespace {

using namespace testframes;

TEST(SessionService, HeaderCarriesSeventeenBitLength) {
  const Bytes small = Hex("00 00 01 02");
  ByteReader r1(small);
  auto h1 = ReadSessionHeader(r1);
  ASSERT_TRUE(h1);
  EXPECT_EQ(h1->type, kSessionMessage);
  EXPECT_EQ(h1->length, 0x0102u);

  const Bytes extended = Hex("00 01 ff ff");  // E bit: 0x1FFFF
  ByteReader r2(extended);
  auto h2 = ReadSessionHeader(r2);
  ASSERT_TRUE(h2);
  EXPECT_EQ(h2->length, kSessionMaxLength);

  for (int reserved : {0x02, 0x80, 0xFE}) {
    const Bytes bad{0x00, static_cast<uint8_t>(reserved), 0x00, 0x00};
    ByteReader r(bad);
    EXPECT_FALSE(ReadSessionHeader(r)) << reserved;
    EXPECT_FALSE(r.Ok());
  }
  for (size_t n = 0; n < 4; ++n) {
    ByteReader r(std::span<const uint8_t>(small).first(n));
    EXPECT_FALSE(ReadSessionHeader(r)) << n;
  }
}

TEST(SessionService, SmbclientSessionRequestDecodes) {
  const Bytes packet = SmbclientSessionRequest();
  ASSERT_EQ(packet, SessionRequestPacket("CAROL", 0x03, "BOB", 0x00));
  auto request = ParseSessionRequest(std::span(packet).subspan(4));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->called.ToString(), "CAROL<03>");
  EXPECT_EQ(request->calling.ToString(), "BOB<00>");
}

TEST(SessionService, SessionRequestRejectsEveryStrictPrefixAndTrailingBytes) {
  const Bytes trailer = Name34("CAROL", 0x03) + Name34("BOB", 0x00);
  ASSERT_TRUE(ParseSessionRequest(trailer));
  for (size_t n = 0; n < trailer.size(); ++n)
    EXPECT_FALSE(ParseSessionRequest(std::span(trailer).first(n))) << n;
  EXPECT_FALSE(ParseSessionRequest(trailer + Bytes{0x00}));
  // A letter outside A..P is no first-level encoding.
  Bytes bad = trailer;
  bad[5] = 'Z';
  EXPECT_FALSE(ParseSessionRequest(bad));
}

TEST(SessionService, ResponsesAndRequestMatchTheTables) {
  EXPECT_EQ(BuildPositiveSessionResponse(), Hex("82 00 00 00"));
  EXPECT_EQ(BuildNegativeSessionResponse(SessionError::kCalledNameNotPresent),
            Hex("83 00 00 01 82"));
  EXPECT_EQ(BuildNegativeSessionResponse(SessionError::kNotListeningOnCalledName),
            Hex("83 00 00 01 80"));
  EXPECT_EQ(BuildSessionRequest(NetbiosName::FromName("carol", 3), NetbiosName::FromName("bob", 0)),
            SmbclientSessionRequest());
  const Bytes smb(0x10203, 0xAB);  // over 16 bits: the E flag carries bit 16
  const Bytes message = BuildSessionMessage(smb);
  ASSERT_EQ(message.size(), smb.size() + 4);
  EXPECT_EQ(Bytes(message.begin(), message.begin() + 4), Hex("00 01 02 03"));
}

std::vector<SessionFramer::Packet> Drain(SessionFramer& f) {
  std::vector<SessionFramer::Packet> out;
  while (auto p = f.Next()) out.push_back(std::move(*p));
  return out;
}

TEST(SessionFramer, CutsAStreamHoweverItArrives) {
  const Bytes stream = SmbclientSessionRequest() + SessionPacket(0x85, {}) + SmbclientSendStart() +
                       SmbclientSendText() + SmbclientSendEnd();
  // All at once, then byte by byte: the same packets.
  SessionFramer whole(4096);
  whole.Append(stream);
  const auto all = Drain(whole);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].header.type, kSessionRequest);
  EXPECT_EQ(all[0].trailer.size(), 68u);
  EXPECT_EQ(all[1].header.type, kSessionKeepAlive);
  EXPECT_TRUE(all[1].trailer.empty());
  const Bytes end = SmbclientSendEnd();
  EXPECT_EQ(all[4].trailer, Bytes(end.begin() + 4, end.end()));
  EXPECT_EQ(whole.Pending(), 0u);

  SessionFramer bytewise(4096);
  std::vector<SessionFramer::Packet> one;
  for (uint8_t b : stream) {
    bytewise.Append(std::span(&b, 1));
    for (auto& p : Drain(bytewise)) one.push_back(std::move(p));
  }
  ASSERT_EQ(one.size(), all.size());
  for (size_t i = 0; i < one.size(); ++i) EXPECT_EQ(one[i].trailer, all[i].trailer) << i;
}

TEST(SessionFramer, RefusesAnOverlongPacketFromItsHeaderAlone) {
  SessionFramer f(100);
  f.Append(SessionPacket(0x00, Bytes(100, 1)));  // exactly the limit: fine
  ASSERT_EQ(Drain(f).size(), 1u);
  f.Append(Hex("00 00 00 65"));  // 101 announced, nothing of it sent yet
  EXPECT_FALSE(f.Next());
  EXPECT_TRUE(f.Broken());
  EXPECT_EQ(f.fault(), SessionFramer::Fault::kTooLong);
  EXPECT_EQ(f.Pending(), 0u);
  f.Append(Bytes(50, 0));  // later bytes are not kept
  EXPECT_EQ(f.Pending(), 0u);
  EXPECT_FALSE(f.Next());

  SessionFramer bad(100);
  bad.Append(Hex("00 02 00 00"));
  EXPECT_FALSE(bad.Next());
  EXPECT_EQ(bad.fault(), SessionFramer::Fault::kBadHeader);
}

}  // namespace
}  // namespace vantrel
