// The SMBs of a messenger session: the frames smbclient sent on the LAN, the
// single-block SEND_MESSAGE and NEGOTIATE from the test builder, one field
// changed at a time, every strict prefix, and the responses byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "SessionFrames.h"
#include "transport/SmbMessage.h"

namespace vantrel {
namespace {

using namespace testframes;

Bytes SmbOfPacket(const Bytes& sessionPacket) {
  return Bytes(sessionPacket.begin() + 4, sessionPacket.end());
}
std::string Text(std::span<const uint8_t> s) { return std::string(s.begin(), s.end()); }

TEST(SmbMessage, SmbclientMultiBlockFramesDecode) {
  const Bytes start = SmbOfPacket(SmbclientSendStart());
  auto p = ParseSmb(start);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->header.command, kSmbComSendStartMb);
  EXPECT_EQ(p->header.pidLow, 0x3193);
  EXPECT_EQ(p->header.mid, 0);
  auto s = ParseSendStart(*p);
  ASSERT_TRUE(s);
  EXPECT_EQ(Text(s->originator), "BOB");
  EXPECT_EQ(Text(s->destination), "CAROL");
  EXPECT_EQ(start, SendStartSmb("BOB", "CAROL"));  // the builder writes what smbclient wrote

  const Bytes text = SmbOfPacket(SmbclientSendText());
  auto pt = ParseSmb(text);
  ASSERT_TRUE(pt);
  auto t = ParseSendText(*pt);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->groupId, 1);
  EXPECT_EQ(Text(t->text), "hello\r\n");

  const Bytes end = SmbOfPacket(SmbclientSendEnd());
  auto pe = ParseSmb(end);
  ASSERT_TRUE(pe);
  auto e = ParseSendEnd(*pe);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->groupId, 1);
}

TEST(SmbMessage, SendMessageDecodesAndTakesBinaryText) {
  const std::string body("two\r\nlines\0and \xE9", 16);
  const Bytes smb = SendMessageSmb("ALICE", "BOB", body);
  auto p = ParseSmb(smb);
  ASSERT_TRUE(p);
  auto m = ParseSendMessage(*p);
  ASSERT_TRUE(m);
  EXPECT_EQ(Text(m->originator), "ALICE");
  EXPECT_EQ(Text(m->destination), "BOB");
  EXPECT_EQ(Text(m->text), body);
  // The views lie inside the SMB.
  EXPECT_GE(m->text.data(), smb.data());
  EXPECT_LE(m->text.data() + m->text.size(), smb.data() + smb.size());
}

TEST(SmbMessage, EveryStrictPrefixIsRejected) {
  const Bytes frames[] = {SendMessageSmb("ALICE", "BOB", "hi"), SmbOfPacket(SmbclientSendStart()),
                          SmbOfPacket(SmbclientSendText()), SmbOfPacket(SmbclientSendEnd()),
                          NegotiateSmb({"PC NETWORK PROGRAM 1.0", "NT LM 0.12"})};
  for (const Bytes& f : frames) {
    ASSERT_TRUE(ParseSmb(f));
    for (size_t n = 0; n < f.size(); ++n) EXPECT_FALSE(ParseSmb(std::span(f).first(n))) << n;
  }
}

// The message commands against a data block that is wrong in one way.
TEST(SmbMessage, MalformedDataBlocksAreRefused) {
  auto sendMessage = [](Bytes bytes, std::vector<uint16_t> words = {}) {
    SmbRequest r;
    r.command = kSmbComSendMessage;
    r.bytes = std::move(bytes);
    r.words = std::move(words);
    const Bytes smb = SmbOf(r);
    auto p = ParseSmb(smb);
    return p && ParseSendMessage(*p).has_value();
  };
  EXPECT_TRUE(sendMessage(SmbString("A") + SmbString("B") + SmbData("x")));
  EXPECT_TRUE(sendMessage(SmbString("") + SmbString("") + SmbData("")));  // empty fields decode
  EXPECT_FALSE(sendMessage(SmbString("A") + SmbString("B") + SmbData("x"), {7}));  // WC 1
  EXPECT_FALSE(sendMessage(Bytes{0x02} + Str("A") + Bytes{0} + SmbString("B") + SmbData("x")));
  EXPECT_FALSE(sendMessage(SmbString("A") + SmbString("B") + Bytes{0x04, 1, 0, 'x'}));
  EXPECT_FALSE(sendMessage(SmbString("A") + Bytes{0x04, 'B'}));  // no zero byte
  EXPECT_FALSE(sendMessage(SmbString("A") + SmbString("B") + Bytes{0x01, 5, 0, 'x'}));  // short
  // The data block must lie inside ByteCount, even with bytes behind the SMB.
  SmbRequest r;
  r.command = kSmbComSendMessage;
  r.bytes = SmbString("A") + SmbString("B") + SmbData("xyz");
  r.byteCount = static_cast<int>(r.bytes.size()) - 1;
  const Bytes cut = SmbOf(r);
  auto p = ParseSmb(cut);
  ASSERT_TRUE(p);
  EXPECT_FALSE(ParseSendMessage(*p));

  // SEND_TEXT needs its group word; SEND_END too.
  SmbRequest text;
  text.command = kSmbComSendTextMb;
  text.bytes = SmbData("x");
  const Bytes textSmb = SmbOf(text);
  auto pt = ParseSmb(textSmb);
  ASSERT_TRUE(pt);
  EXPECT_FALSE(ParseSendText(*pt));
  SmbRequest end;
  end.command = kSmbComSendEndMb;
  const Bytes endSmb = SmbOf(end);
  auto pe = ParseSmb(endSmb);
  ASSERT_TRUE(pe);
  EXPECT_FALSE(ParseSendEnd(*pe));
  // A command decodes only as itself.
  const Bytes startSmb = SmbOfPacket(SmbclientSendStart());
  auto ps = ParseSmb(startSmb);
  EXPECT_FALSE(ParseSendMessage(*ps));
  EXPECT_FALSE(ParseNegotiateRequest(*ps));
}

TEST(SmbMessage, NotSmbIsRefused) {
  Bytes smb2 = SendMessageSmb("A", "B", "x");
  smb2[0] = 0xFE;
  EXPECT_FALSE(ParseSmb(smb2));
  Bytes other = SendMessageSmb("A", "B", "x");
  other[3] = 'C';
  EXPECT_FALSE(ParseSmb(other));
}

TEST(SmbMessage, NegotiateChoosesTheCoreDialectOrNone) {
  // Kept alive here: the dialects are views into them.
  std::vector<Bytes> frames;
  auto dialects = [&frames](Bytes smb) {
    frames.push_back(std::move(smb));
    auto p = ParseSmb(frames.back());
    return p ? ParseNegotiateRequest(*p) : std::nullopt;
  };
  frames.reserve(16);
  auto d = dialects(NegotiateSmb({"NT LM 0.12", "PC NETWORK PROGRAM 1.0", "LANMAN1.0"}));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->size(), 3u);
  EXPECT_EQ((*d)[0], "NT LM 0.12");
  EXPECT_EQ(ChooseDialect(*d), 1);
  auto nt = dialects(NegotiateSmb({"NT LM 0.12", "SMB 2.002"}));
  ASSERT_TRUE(nt);
  EXPECT_EQ(ChooseDialect(*nt), kNoDialect);
  auto none = dialects(NegotiateSmb({}));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  EXPECT_EQ(ChooseDialect(*none), kNoDialect);
  // Case matters: dialect strings compare exactly.
  EXPECT_EQ(ChooseDialect(*dialects(NegotiateSmb({"pc network program 1.0"}))), kNoDialect);

  SmbRequest wrongFormat;
  wrongFormat.command = kSmbComNegotiate;
  wrongFormat.bytes = Bytes{0x04} + Str("PC NETWORK PROGRAM 1.0") + Bytes{0};
  EXPECT_FALSE(dialects(SmbOf(wrongFormat)));
  SmbRequest unterminated;
  unterminated.command = kSmbComNegotiate;
  unterminated.bytes = Bytes{0x02} + Str("PC NETWORK");
  EXPECT_FALSE(dialects(SmbOf(unterminated)));
}

TEST(SmbMessage, ResponsesEchoTheRequestAndCarryTheStatusItAsksFor) {
  SmbHeader h;
  h.command = kSmbComSendStartMb;
  h.flags = 0x08;
  h.flags2 = 0x0001;
  h.pidHigh = 0x0102;
  h.tid = 0x0304;
  h.pidLow = 0x3193;
  h.uid = 0x0506;
  h.mid = 0x0708;
  EXPECT_EQ(BuildSendStartResponse(h, 1),
            Hex("ff 53 4d 42 d5"                 // 0  protocol, command
                "00 00 00 00"                    // 5  status: success (DOS form)
                "88 01 00 02 01"                 // 9  flags | reply, flags2, PIDHigh
                "00 00 00 00 00 00 00 00 00 00"  // 14 signature, reserved
                "04 03 93 31 06 05 08 07"        // 24 TID, PIDLow, UID, MID
                "01 01 00"                       // 32 WC 1, group 1
                "00 00"));                       // 35 BC 0
  EXPECT_EQ(BuildEmptyResponse(h, kSmbUnsuccessful),
            Hex("ff 53 4d 42 d5 02 00 01 00 88 01 00 02 01 00 00 00 00 00 00 00 00 00 00"
                "04 03 93 31 06 05 08 07 00 00 00"));  // ERRSRV, code 1
  h.flags2 = kSmbFlags2NtStatus;
  h.command = kSmbComSendMessage;
  EXPECT_EQ(BuildEmptyResponse(h, kSmbNotImplemented),
            Hex("ff 53 4d 42 d0 02 00 00 c0 88 00 40 02 01 00 00 00 00 00 00 00 00 00 00"
                "04 03 93 31 06 05 08 07 00 00 00"));  // NT status 0xC0000002
  h.command = kSmbComNegotiate;
  const Bytes negotiate = BuildNegotiateResponse(h, kNoDialect);
  auto p = ParseSmb(negotiate);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->WordCount(), 1u);
  EXPECT_EQ(p->Word(0), kNoDialect);
  EXPECT_TRUE(p->bytes.empty());
  EXPECT_NE(p->header.flags & kSmbFlagsReply, 0);
}

}  // namespace
}  // namespace vantrel
