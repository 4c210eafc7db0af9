// NetBIOS datagram and SMB mailslot write codecs against the wire reference's
// example frame, the independent test builder, and one-field-at-a-time
// variations.
#include <gtest/gtest.h>

#include <string>

#include "TestFrames.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

using namespace testframes;

const Bytes kBody = Str(std::string("ALICE\0BOB\0Hello", 15));

NetbiosDatagram ExampleHeader() {
  NetbiosDatagram h;
  h.type = kDgmDirectUnique;
  h.flags = kDgmFlagFirst | kDgmNodeB;
  h.id = 0x1234;
  h.sourceIp = Ipv4Address::FromOctets(192, 168, 1, 10);
  h.sourcePort = 138;
  h.source = NetbiosName::FromName("alicepc", 0x00);
  h.destination = NetbiosName::FromName("bobpc", 0x03);
  return h;
}

template <typename F>
SmbFrame SmbWith(F change) {
  SmbFrame s;
  change(s);
  return s;
}

// Decodes a whole frame down to the mailslot data; empty optional on any failure.
std::optional<Bytes> Decode(std::span<const uint8_t> frame) {
  auto d = ParseNetbiosDatagram(frame);
  if (!d.ok()) return std::nullopt;
  auto s = ParseMailslotWrite(d.datagram.userData);
  if (!s.ok()) return std::nullopt;
  return Bytes(s.write.data.begin(), s.write.data.end());
}

TEST(DatagramCodec, EncodersProduceTheReferenceFrame) {
  Bytes smb = BuildMailslotWrite(kMessengerMailslot, kBody);
  EXPECT_EQ(smb.size(), 103u);
  Bytes frame = BuildNetbiosDatagram(ExampleHeader(), smb);
  EXPECT_EQ(frame, ReferenceExampleFrame());
  // The test builder, written from the tables, agrees.
  DgmFrame layout;
  layout.userData = Smb(SmbWith([&](SmbFrame& s) { s.data = kBody; }));
  EXPECT_EQ(Dgm(layout), ReferenceExampleFrame());
}

TEST(DatagramCodec, ReferenceFrameDecodes) {
  Bytes frame = ReferenceExampleFrame();
  auto d = ParseNetbiosDatagram(frame);
  ASSERT_TRUE(d.ok());
  EXPECT_FALSE(d.lengthMismatch);
  EXPECT_EQ(d.datagram.type, kDgmDirectUnique);
  EXPECT_EQ(d.datagram.flags, 0x02);
  EXPECT_EQ(d.datagram.id, 0x1234);
  EXPECT_EQ(d.datagram.sourceIp, Ipv4Address::FromOctets(192, 168, 1, 10));
  EXPECT_EQ(d.datagram.sourcePort, 138);
  EXPECT_EQ(d.datagram.declaredLength, 171);
  EXPECT_EQ(d.datagram.source, NetbiosName::FromName("ALICEPC", 0x00));
  EXPECT_EQ(d.datagram.destination, NetbiosName::FromName("BOBPC", 0x03));
  EXPECT_EQ(d.datagram.userData.size(), 103u);
  auto s = ParseMailslotWrite(d.datagram.userData);
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s.write.name, "\\MAILSLOT\\MESSNGR");
  EXPECT_EQ(s.write.priority, 0);
  EXPECT_EQ(s.write.mailslotClass, 2);
  EXPECT_EQ(Bytes(s.write.data.begin(), s.write.data.end()), kBody);
}

TEST(DatagramCodec, EveryStrictPrefixIsRejected) {
  Bytes frame = ReferenceExampleFrame();
  ASSERT_TRUE(Decode(frame));
  for (size_t n = 0; n < frame.size(); ++n) {
    EXPECT_FALSE(Decode(std::span(frame).first(n))) << "prefix of " << n << " bytes";
  }
  Bytes smb = BuildMailslotWrite(kMessengerMailslot, kBody);
  for (size_t n = 0; n < smb.size(); ++n) {
    EXPECT_FALSE(ParseMailslotWrite(std::span(smb).first(n)).ok()) << n;
  }
}

TEST(DatagramCodec, DatagramHeaderFieldsOneAtATime) {
  Bytes smb = Smb(SmbWith([&](SmbFrame& s) { s.data = kBody; }));
  Bytes frame;  // what the last parse read; the result points into it
  auto parse = [&](auto change) {
    DgmFrame s;
    s.userData = smb;
    change(s);
    frame = Dgm(s);
    return ParseNetbiosDatagram(frame);
  };
  EXPECT_EQ(parse([&](DgmFrame& s) { s.type = 0x11; }).status, DatagramParseStatus::kOk);
  EXPECT_EQ(parse([&](DgmFrame& s) {
              s.type = 0x12;
              s.destination = Hex("20 43 4b") + Bytes(30, 'A') + Hex("00");
            }).status,
            DatagramParseStatus::kOk);
  for (uint8_t type : {uint8_t{0x00}, uint8_t{0x13}, uint8_t{0x14}, uint8_t{0x16}, uint8_t{0xff}}) {
    EXPECT_EQ(parse([&](DgmFrame& s) { s.type = type; }).status,
              DatagramParseStatus::kUnsupportedType)
        << int{type};
  }
  // Fragments: M set, a non-zero offset (a later fragment), or F clear (not
  // the first fragment: RFC 1002 4.4.1 says to discard it).
  EXPECT_EQ(parse([&](DgmFrame& s) { s.flags = 0x03; }).status, DatagramParseStatus::kFragment);
  EXPECT_EQ(parse([&](DgmFrame& s) {
              s.flags = 0x02;
              s.offset = 100;
            }).status,
            DatagramParseStatus::kFragment);
  for (uint8_t flags : {uint8_t{0x00}, uint8_t{0x04}, uint8_t{0x08}, uint8_t{0x0C}})
    EXPECT_EQ(parse([&](DgmFrame& s) { s.flags = flags; }).status, DatagramParseStatus::kFragment)
        << int{flags};
  // Every node type with F set is accepted.
  for (uint8_t flags : {uint8_t{0x02}, uint8_t{0x06}, uint8_t{0x0A}, uint8_t{0x0E}})
    EXPECT_TRUE(parse([&](DgmFrame& s) { s.flags = flags; }).ok());
  // DGM_LENGTH is not trusted: too small, too large, zero.
  for (int len : {0, 10, 171 + 50, 0xFFFF}) {
    auto r = parse([&](DgmFrame& s) { s.length = len; });
    ASSERT_TRUE(r.ok()) << len;
    EXPECT_TRUE(r.lengthMismatch);
    EXPECT_EQ(r.datagram.userData.size(), smb.size());
  }
  EXPECT_EQ(parse([&](DgmFrame& s) { s.source = Hex("1f") + Bytes(32, 'A') + Hex("00"); }).status,
            DatagramParseStatus::kBadSourceName);
  EXPECT_EQ(parse([&](DgmFrame& s) { s.destination = Hex("c0 0e"); }).status,
            DatagramParseStatus::kBadDestinationName);
  EXPECT_EQ(ParseNetbiosDatagram(Hex("10 02 00 00")).status, DatagramParseStatus::kTruncated);
}

TEST(DatagramCodec, ScopedNamesRoundTrip) {
  NetbiosDatagram h = ExampleHeader();
  ASSERT_TRUE(h.source.SetScope("lab"));
  ASSERT_TRUE(h.destination.SetScope("lab"));
  Bytes frame = BuildNetbiosDatagram(h, kBody);
  auto d = ParseNetbiosDatagram(frame);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d.datagram.destination.Scope(), "lab");
  EXPECT_EQ(d.datagram.declaredLength, frame.size() - 14);
  EXPECT_EQ(Bytes(d.datagram.userData.begin(), d.datagram.userData.end()), kBody);
}

TEST(SmbMailslotCodec, FieldsTheReceiverMustIgnore) {
  // Windows-client header values, a wrong ByteCount, no padding, three pad bytes.
  for (const SmbFrame& layout : {SmbWith([&](SmbFrame& s) {
                                   s.data = kBody;
                                   s.flags = 0x18;
                                   s.pidLow = 0xFEFF;
                                   s.tid = 0xFFFF;
                                 }),
                                 SmbWith([&](SmbFrame& s) {
                                   s.data = kBody;
                                   s.byteCount = 0;
                                 }),
                                 SmbWith([&](SmbFrame& s) {
                                   s.data = kBody;
                                   s.byteCount = 0xFFFF;
                                 }),
                                 SmbWith([&](SmbFrame& s) {
                                   s.data = kBody;
                                   s.pad = 0;
                                 }),
                                 SmbWith([&](SmbFrame& s) {
                                   s.data = kBody;
                                   s.pad = 3;
                                 }),
                                 SmbWith([&](SmbFrame& s) {
                                   s.mailslot = "\\mailslot\\messngr";
                                   s.data = kBody;
                                 })}) {
    Bytes smb = Smb(layout);
    auto r = ParseMailslotWrite(smb);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(Bytes(r.write.data.begin(), r.write.data.end()), kBody);
    EXPECT_TRUE(MailslotNamesEqual(r.write.name, kMessengerMailslot));
  }
  // Trailing bytes behind the data are ignored too.
  Bytes extra = Smb(SmbWith([&](SmbFrame& s) { s.data = kBody; }));
  extra.push_back(0);
  EXPECT_TRUE(ParseMailslotWrite(extra).ok());
}

TEST(SmbMailslotCodec, RejectsWhatIsNotAMailslotWrite) {
  auto Status = [](auto change) {
    SmbFrame s;
    s.data = kBody;
    change(s);
    return ParseMailslotWrite(Smb(s)).status;
  };
  EXPECT_EQ(Status([&](SmbFrame& s) { s.command = 0x32; }), SmbParseStatus::kNotTransaction);
  EXPECT_EQ(Status([&](SmbFrame& s) { s.wordCount = 16; }), SmbParseStatus::kNotMailslotWrite);
  EXPECT_EQ(Status([&](SmbFrame& s) { s.setupCount = 2; }), SmbParseStatus::kNotMailslotWrite);
  EXPECT_EQ(Status([&](SmbFrame& s) { s.opcode = 2; }), SmbParseStatus::kNotMailslotWrite);
  // Data that would overlap the name, or run past the end.
  EXPECT_EQ(Status([&](SmbFrame& s) { s.dataOffset = 80; }), SmbParseStatus::kBadDataRange);
  EXPECT_EQ(Status([&](SmbFrame& s) { s.dataOffset = 0; }), SmbParseStatus::kBadDataRange);
  EXPECT_EQ(Status([&](SmbFrame& s) { s.dataCount = 16; }), SmbParseStatus::kBadDataRange);
  EXPECT_EQ(Status([&](SmbFrame& s) {
              s.dataOffset = 0xFFFF;
              s.dataCount = 0xFFFF;
            }),
            SmbParseStatus::kBadDataRange);
  Bytes notSmb = Smb(SmbWith([&](SmbFrame& s) { s.data = kBody; }));
  notSmb[1] = 'X';
  EXPECT_EQ(ParseMailslotWrite(notSmb).status, SmbParseStatus::kNotSmb);
  // A name without its NUL.
  Bytes noNul = Smb({.mailslot = std::string(300, 'A'), .data = {}});
  EXPECT_EQ(ParseMailslotWrite(std::span(noNul).first(69 + 256)).status, SmbParseStatus::kBadName);
  // Zero-length data right behind the name is a valid (empty) write.
  SmbFrame emptySpec;
  emptySpec.pad = 0;
  Bytes emptySmb = Smb(emptySpec);
  auto empty = ParseMailslotWrite(emptySmb);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.write.data.empty());
}

TEST(SmbMailslotCodec, BuilderAlignsDataOffset) {
  // 31-character name as in the mailslot protocol's own example: DataOffset 0x68, ByteCount 0x47.
  Bytes smb = BuildMailslotWrite("\\MAILSLOT\\test1\\sample_mailslot", Bytes(0x47 - 35, 'x'));
  EXPECT_EQ(smb[57] | (smb[58] << 8), 0x68);
  EXPECT_EQ(smb[67] | (smb[68] << 8), 0x47);
  Bytes unaligned = BuildMailslotWrite(kMessengerMailslot, kBody, {.alignData = false});
  EXPECT_EQ(unaligned[57], 87);
  auto r = ParseMailslotWrite(unaligned);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Bytes(r.write.data.begin(), r.write.data.end()), kBody);
}

}  // namespace
}  // namespace vantrel
