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
  // The name is ignored, so it need not end: Samba sends none of its NUL.
  r = ParseBrowseFrame(Hex("02 00 41 42"));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.responseName, "AB");
  r = ParseBrowseFrame(Hex("02 00") + Str(std::string(40, 'N')));
  EXPECT_EQ(r.frame.responseName, std::string(15, 'N'));
  EXPECT_EQ(ParseBrowseFrame(Hex("02")).status, BrowseParseStatus::kTruncated);
}

// Frames Samba 4.17's nmbd sent on the test LAN as local master browser of
// LAB (netbios name SAMBA, server string "Samba on the lab LAN").
TEST(BrowseFrames, CapturedFromSambasNmbd) {
  // To LAB<1d>: every 60 s, server type 0x00819a03.
  auto host = ParseBrowseFrame(
      Hex("01 00 60 ea 00 00"                                // 0  opcode, UpdateCount, 60000 ms
          "53 41 4d 42 41 00 00 00 00 00 00 00 00 00 00 00"  // 6  "SAMBA"
          "06 01 03 9a 81 00"                                // 22 OS 6.1, type 0x00819a03
          "0f 01 55 aa"                                      // 28 version, signature
          "53 61 6d 62 61 20 6f 6e 20 74 68 65 20 6c 61 62 20 4c 41 4e 00"));  // 32 comment
  ASSERT_TRUE(host.ok());
  EXPECT_EQ(host.frame.announcement.name, "SAMBA");
  EXPECT_EQ(host.frame.announcement.periodicityMs, 60000u);
  EXPECT_EQ(host.frame.announcement.serverType, 0x00819a03u);
  EXPECT_EQ(host.frame.announcement.comment, "Samba on the lab LAN");
  // To LAB<1e>: a local master announcement with UpdateCount 3.
  auto lmb =
      ParseBrowseFrame(Hex("0f 03 c0 d4 01 00 53 41 4d 42 41 00 00 00 00 00 00 00 00 00 00 00"
                           "06 01 03 9a 8c 00 0f 01 55 aa"
                           "53 61 6d 62 61 20 6f 6e 20 74 68 65 20 6c 61 62 20 4c 41 4e 00"));
  ASSERT_TRUE(lmb.ok());
  EXPECT_EQ(lmb.frame.kind, BrowseFrameKind::kLocalMasterAnnouncement);
  EXPECT_EQ(lmb.frame.announcement.periodicityMs, 120000u);
  EXPECT_EQ(lmb.frame.announcement.serverType & kSvTypeMasterBrowser, kSvTypeMasterBrowser);
  // To __MSBROWSE__<01>: the workgroup LAB and its master SAMBA.
  auto domain =
      ParseBrowseFrame(Hex("0c 03 c0 d4 01 00 4c 41 42 00 00 00 00 00 00 00 00 00 00 00 00 00"
                           "06 01 00 10 00 80 0f 01 55 aa 53 41 4d 42 41 00"));
  ASSERT_TRUE(domain.ok());
  EXPECT_EQ(domain.frame.kind, BrowseFrameKind::kDomainAnnouncement);
  EXPECT_EQ(domain.frame.announcement.name, "LAB");
  EXPECT_EQ(domain.frame.announcement.serverType, kSvTypeDomainEnum | 0x1000u);
  EXPECT_EQ(domain.frame.announcement.comment, "SAMBA");
  // To LAB<1e>: the request of a new master; its token (1) in the reserved
  // byte, then a zero byte and the name without its NUL.
  auto request = ParseBrowseFrame(Hex("02 01 00 53 41 4d 42 41"));
  ASSERT_TRUE(request.ok());
  EXPECT_EQ(request.frame.kind, BrowseFrameKind::kAnnouncementRequest);
  // An election request is not decoded.
  EXPECT_EQ(
      ParseBrowseFrame(Hex("08 01 8a 0f 01 41 70 17 00 00 00 00 00 00 53 41 4d 42 41 00")).status,
      BrowseParseStatus::kNotAnnouncement);
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
  for (const Bytes& whole : {kHost, Announce(domain), Announce(windows)}) {
    ASSERT_TRUE(ParseBrowseFrame(whole).ok());
    for (size_t n = 0; n < whole.size(); ++n) {
      EXPECT_FALSE(ParseBrowseFrame(std::span(whole).first(n)).ok()) << n << " of " << whole.size();
    }
  }
  // A request needs its opcode and reserved byte only (the name is ignored).
  EXPECT_FALSE(ParseBrowseFrame(Hex("02")).ok());
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
