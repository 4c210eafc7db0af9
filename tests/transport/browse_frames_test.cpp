// The browser-frame codec: byte fixtures, one field changed at a time, every
// strict prefix refused, and the encoder checked against the test builder.
#include <gtest/gtest.h>

#include <string>

#include "TestFrames.h"
#include "transport/BrowseFrames.h"

namespace vantrel {
namespace {

using namespace testframes;

// ALICEPC announces itself every 12 minutes as an NT workstation and server.
const Bytes kHost =
    Hex("01 00 80 fc 0a 00"  // 0  opcode 1, UpdateCount, Periodicity 720000
        "41 4c 49 43 45 50 43 00 00 00 00 00 00 00 00 00"  // 6  ServerName "ALICEPC", NUL-filled
        "06 01"                                            // 22 OS 6.1
        "03 10 00 00"                                      // 24 ServerType 0x1003
        "0f 01 55 aa"                                      // 28 browser 15.1, signature 0xAA55
        "46 72 6f 6e 74 20 64 65 73 6b 00");               // 32 "Front desk" NUL

TEST(BrowseFrames, HostAnnouncementFixture) {
  EXPECT_EQ(kHost, Announce({}));  // the builder lays the fixture out the same way
  auto r = ParseBrowseFrame(kHost);
  ASSERT_TRUE(r.ok()) << BrowseParseStatusText(r.status);
  EXPECT_EQ(r.frame.kind, BrowseFrameKind::kHostAnnouncement);
  const BrowseAnnouncement& a = r.frame.announcement;
  EXPECT_EQ(a.periodicityMs, 720000u);
  EXPECT_EQ(a.name, "ALICEPC");
  EXPECT_EQ(a.versionMajor, 6);
  EXPECT_EQ(a.versionMinor, 1);
  EXPECT_EQ(a.serverType, 0x1003u);
  EXPECT_EQ(a.browserVersionMajor, 0x0F);
  EXPECT_EQ(a.browserVersionMinor, 0x01);
  EXPECT_EQ(a.signature, 0xAA55);
  EXPECT_EQ(a.comment, "Front desk");
  EXPECT_FALSE(a.commentCut);
}

TEST(BrowseFrames, OneFieldAtATime) {
  auto parse = [](const AnnounceFrame& f) { return ParseBrowseFrame(Announce(f)); };
  AnnounceFrame f;
  f.opcode = 0x0F;
  EXPECT_EQ(parse(f).frame.kind, BrowseFrameKind::kLocalMasterAnnouncement);
  f = {};
  f.periodicity = 0xFFFFFFFF;
  EXPECT_EQ(parse(f).frame.announcement.periodicityMs, 0xFFFFFFFFu);
  f = {};
  f.serverType = 0;
  EXPECT_EQ(parse(f).frame.announcement.serverType, 0u);
  // Fields a receiver must not check: UpdateCount, versions, signature.
  f = {};
  f.updateCount = 7;
  f.browserMajor = 1;
  f.browserMinor = 0x0F;
  f.signature = 0x1234;
  EXPECT_TRUE(parse(f).ok());
  EXPECT_EQ(parse(f).frame.announcement.signature, 0x1234);
  // A name field filled with blanks behind its NUL, or blank-padded before it.
  f = {};
  f.name = Field16("BOB", ' ');
  EXPECT_EQ(parse(f).frame.announcement.name, "BOB");
  f.name = Field16("BOB            ");
  EXPECT_EQ(parse(f).frame.announcement.name, "BOB");
  // Fifteen bytes and the NUL fit; sixteen without a NUL do not; nor does an empty name.
  f.name = Field16("ABCDEFGHIJKLMNO");
  EXPECT_EQ(parse(f).frame.announcement.name, "ABCDEFGHIJKLMNO");
  f.name = Field16("ABCDEFGHIJKLMNOP");
  EXPECT_EQ(parse(f).status, BrowseParseStatus::kBadName);
  f.name = Field16("");
  EXPECT_EQ(parse(f).status, BrowseParseStatus::kBadName);
  f.name = Field16("   ");
  EXPECT_EQ(parse(f).status, BrowseParseStatus::kBadName);
  // The comment: as Windows sends it (just the NUL), 42 bytes whole, longer
  // ones cut, bytes behind the NUL ignored, a missing NUL refused.
  f = {};
  f.tail = Bytes{0};
  EXPECT_EQ(parse(f).frame.announcement.comment, "");
  f.tail = Str(std::string(42, 'c')) + Bytes{0};
  EXPECT_EQ(parse(f).frame.announcement.comment, std::string(42, 'c'));
  EXPECT_FALSE(parse(f).frame.announcement.commentCut);
  f.tail = Str(std::string(300, 'c')) + Bytes{0};
  EXPECT_EQ(parse(f).frame.announcement.comment, std::string(42, 'c'));
  EXPECT_TRUE(parse(f).frame.announcement.commentCut);
  f.tail = Str("hi") + Bytes{0} + Str("junk");
  EXPECT_EQ(parse(f).frame.announcement.comment, "hi");
  f.tail = Str("no end");
  EXPECT_EQ(parse(f).status, BrowseParseStatus::kTruncated);
  // Bytes of any code page pass as they are.
  f.tail = Hex("c4 e9 fc 00");
  EXPECT_EQ(parse(f).frame.announcement.comment, "\xc4\xe9\xfc");
}

TEST(BrowseFrames, DomainAnnouncementCarriesTheMasterName) {
  AnnounceFrame f;
  f.opcode = 0x0C;
  f.name = Field16("LAB");
  f.versionMajor = 3;
  f.versionMinor = 10;
  f.serverType = 0x80001000;
  f.tail = Str("SAMBA") + Bytes{0};
  auto r = ParseBrowseFrame(Announce(f));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.kind, BrowseFrameKind::kDomainAnnouncement);
  EXPECT_EQ(r.frame.announcement.name, "LAB");
  EXPECT_EQ(r.frame.announcement.comment, "SAMBA");
  // Windows leaves the version and signature bytes uninitialised: no check.
  f.browserMajor = 0xCC;
  f.signature = 0xCCCC;
  EXPECT_TRUE(ParseBrowseFrame(Announce(f)).ok());
  // A master name over 15 bytes is cut to a NetBIOS name.
  f.tail = Str("ABCDEFGHIJKLMNOPQRS") + Bytes{0};
  r = ParseBrowseFrame(Announce(f));
  EXPECT_EQ(r.frame.announcement.comment, "ABCDEFGHIJKLMNO");
  EXPECT_TRUE(r.frame.announcement.commentCut);
}

TEST(BrowseFrames, AnnouncementRequest) {
  auto r = ParseBrowseFrame(Hex("02 00 53 41 4d 42 41 00"));  // 02, reserved, "SAMBA" NUL
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.kind, BrowseFrameKind::kAnnouncementRequest);
  EXPECT_EQ(r.frame.responseName, "SAMBA");
  EXPECT_TRUE(ParseBrowseFrame(AnnounceRequest("X", 0x55)).ok());  // reserved not checked
  EXPECT_TRUE(ParseBrowseFrame(AnnounceRequest("")).ok());         // the name is ignored anyway
  EXPECT_EQ(ParseBrowseFrame(Hex("02 00 41 42")).status, BrowseParseStatus::kTruncated);
}

TEST(BrowseFrames, OtherOpcodesAreNotDecoded) {
  // RequestElection, GetBackupListRequest, BecomeBackup, ResetState, an unknown one.
  for (const Bytes& b :
       {Hex("08 01 00 0f 01 20 00 00 00 00 00 00 00 00 53 00"), Hex("09 04 01 00 00 00"),
        Hex("0b 42 4f 42 00"), Hex("0e 02"), Hex("ff")}) {
    EXPECT_EQ(ParseBrowseFrame(b).status, BrowseParseStatus::kNotAnnouncement);
  }
  EXPECT_EQ(ParseBrowseFrame({}).status, BrowseParseStatus::kEmpty);
}

TEST(BrowseFrames, EveryStrictPrefixIsRefused) {
  AnnounceFrame domain;
  domain.opcode = 0x0C;
  domain.tail = Str("SAMBA") + Bytes{0};
  AnnounceFrame windows;  // as Windows sends it: an empty comment
  windows.tail = Bytes{0};
  for (const Bytes& whole :
       {kHost, Announce(domain), Announce(windows), AnnounceRequest("SAMBA")}) {
    ASSERT_TRUE(ParseBrowseFrame(whole).ok());
    for (size_t n = 0; n < whole.size(); ++n) {
      EXPECT_FALSE(ParseBrowseFrame(std::span(whole).first(n)).ok()) << n << " of " << whole.size();
    }
  }
  Bytes lm = LanmanAnnounce(0x3, 720, "OS2BOX", "warp");
  ASSERT_TRUE(ParseLanmanFrame(lm).ok());
  for (size_t n = 0; n < lm.size(); ++n)
    EXPECT_FALSE(ParseLanmanFrame(std::span(lm).first(n)).ok());
}

TEST(BrowseFrames, LanmanMailslot) {
  auto r = ParseLanmanFrame(LanmanAnnounce(0x00000003, 720, "OS2BOX  ", "warp server"));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.kind, BrowseFrameKind::kHostAnnouncement);
  EXPECT_EQ(r.frame.announcement.name, "OS2BOX");
  EXPECT_EQ(r.frame.announcement.comment, "warp server");
  EXPECT_EQ(r.frame.announcement.periodicityMs, 720000u);
  EXPECT_EQ(r.frame.announcement.serverType, 3u);
  EXPECT_EQ(ParseLanmanFrame(LanmanAnnounce(3, 720, "SIXTEENCHARSLONG", "")).status,
            BrowseParseStatus::kBadName);
  EXPECT_EQ(ParseLanmanFrame(LanmanAnnounce(3, 720, "", "")).status, BrowseParseStatus::kBadName);
  // A browser frame sent there (it has the signature) reads as one.
  r = ParseLanmanFrame(kHost);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.announcement.name, "ALICEPC");
  EXPECT_EQ(r.frame.announcement.periodicityMs, 720000u);
  EXPECT_EQ(ParseLanmanFrame(Hex("02 00 41 00")).status, BrowseParseStatus::kNotAnnouncement);
}

TEST(BrowseFrames, EncoderMatchesTheBuilder) {
  BrowseAnnouncement a;
  a.periodicityMs = 720000;
  a.name = "alicepc";  // upper-cased on the wire
  a.versionMajor = 6;
  a.versionMinor = 1;
  a.serverType = 0x1003;
  a.comment = "Front desk";
  a.signature = 0;  // the encoder always writes the constants
  a.browserVersionMajor = 0;
  EXPECT_EQ(EncodeHostAnnouncement(a), kHost);
  AnnounceFrame lmb;
  lmb.opcode = 0x0F;
  EXPECT_EQ(EncodeHostAnnouncement(a, true), Announce(lmb));

  // Limits: the name cut to 15 bytes, the comment to 42; a zero byte ends either.
  a.name = "ABCDEFGHIJKLMNOPQRST";
  a.comment = std::string(100, 'x');
  AnnounceFrame cut;
  cut.name = Field16("ABCDEFGHIJKLMNO");
  cut.tail = Str(std::string(42, 'x')) + Bytes{0};
  Bytes encoded = EncodeHostAnnouncement(a);
  EXPECT_EQ(encoded, Announce(cut));
  EXPECT_EQ(encoded.size(), 32u + 43u);
  a.name = std::string("AB\0CD", 5);
  a.comment = std::string("one\0two", 7);
  cut.name = Field16("AB");
  cut.tail = Str("one") + Bytes{0};
  EXPECT_EQ(EncodeHostAnnouncement(a), Announce(cut));

  EXPECT_EQ(EncodeAnnouncementRequest("pc1"), AnnounceRequest("PC1"));
  EXPECT_EQ(EncodeAnnouncementRequest("ABCDEFGHIJKLMNOPQ"), AnnounceRequest("ABCDEFGHIJKLMNO"));
}

TEST(BrowseFrames, RoundTrip) {
  BrowseAnnouncement a;
  a.periodicityMs = 60000;
  a.name = "PC1";
  a.serverType = 1;
  a.comment = "Reception \xe9";
  auto r = ParseBrowseFrame(EncodeHostAnnouncement(a));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.announcement.name, "PC1");
  EXPECT_EQ(r.frame.announcement.comment, "Reception \xe9");
  EXPECT_EQ(r.frame.announcement.periodicityMs, 60000u);
  EXPECT_EQ(r.frame.announcement.serverType, 1u);
  auto q = ParseBrowseFrame(EncodeAnnouncementRequest("PC1"));
  ASSERT_TRUE(q.ok());
  EXPECT_EQ(q.frame.responseName, "PC1");
}

}  // namespace
}  // namespace vantrel
