// The pop-up text the capture helper builds, read back with ParsePopupText,
// and the byte formats of the spool and the window protocol.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "hook/linux/CaptureFormat.h"
#include "transport/PopupText.h"

namespace vantrel::capture {
namespace {

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

CapturedMessage Message(std::string sender, std::string receiver, std::string body) {
  CapturedMessage m;
  m.arrivalNs = 1066640400ull * 1000000000ull;  // 2003-10-20 09:00:00 UTC
  m.sender = std::move(sender);
  m.receiver = std::move(receiver);
  m.body = std::move(body);
  return m;
}

class PopupTextLayout : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_P(PopupTextLayout, ParsePopupTextReadsSenderReceiverAndBody) {
  const int cls = GetParam();
  const std::string text =
      BuildPopupText(Message("bob", "ALICE", "hello there\nsecond line\n\n"), cls, 1252);
  const PopupFields f = ParsePopupText(text, cls, "2003-10-20 09:00:01");
  EXPECT_EQ(f.sender, "bob");
  EXPECT_EQ(f.receiver, "ALICE");
  EXPECT_EQ(f.text, "hello there\r\nsecond line");  // CR LF inside, no break at the end
  EXPECT_NE(text.find("20.10.2003 09:00:00"), std::string::npos) << text;
}

TEST_P(PopupTextLayout, NamesThatWouldMoveTheWordsAreMadeSafe) {
  const int cls = GetParam();
  // A blank, a colon (which makes ParsePopupText take another word), a line
  // break and a name longer than a NetBIOS name.
  const std::string text =
      BuildPopupText(Message("x y:z\r\nw", "A-VERY-LONG-COMPUTER-NAME", "body"), cls, 1252);
  const PopupFields f = ParsePopupText(text, cls, "t");
  EXPECT_EQ(f.sender, "x_y_z__w");
  EXPECT_EQ(f.receiver, "A-VERY-LONG-COM");
  EXPECT_EQ(f.text, "body");
  // Empty names still keep every word in its place.
  const PopupFields empty =
      ParsePopupText(BuildPopupText(Message("", "", "b"), cls, 1252), cls, "t");
  EXPECT_EQ(empty.sender, "_");
  EXPECT_EQ(empty.receiver, "_");
  EXPECT_EQ(empty.text, "b");
}

TEST_P(PopupTextLayout, CutAt1023BytesNeverMore) {
  const int cls = GetParam();
  const std::string body(kBodyMax, 'x');
  const std::string text = BuildPopupText(Message("bob", "ALICE", body), cls, 1252);
  EXPECT_EQ(text.size(), kPopupTextMax);
  const PopupFields f = ParsePopupText(text, cls, "t");
  EXPECT_EQ(f.sender, "bob");
  EXPECT_EQ(f.text, std::string(text.size() - text.find("\r\n") - 2, 'x'));
  // A message without a body is still a text of its first line.
  const std::string bare = BuildPopupText(Message("bob", "ALICE", ""), cls, 1252);
  EXPECT_FALSE(bare.empty());
  EXPECT_EQ(ParsePopupText(bare, cls, "t").text, "");
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, PopupTextLayout,
                         ::testing::Values(kLanguageChinese, kLanguageEnglish));

TEST(PopupText, BodyInTheWindowsCodePage) {
  // smbd writes UTF-8; the window reads its ANSI code page.
  const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xE4\xBD\xA0";  // café € 你
  EXPECT_EQ(ParsePopupText(BuildPopupText(Message("b", "A", utf8), 2, 1252), 2, "t").text,
            "caf\xE9 \x80 ?");
  EXPECT_EQ(ParsePopupText(BuildPopupText(Message("b", "A", utf8), 1, 936), 1, "t").text,
            "caf\xA8\xA6 \x80 \xC4\xE3");
  // Bytes that are not UTF-8 (smbd could not convert them) stay as they are.
  const std::string raw = "caf\xE9\xFF";
  EXPECT_EQ(ParsePopupText(BuildPopupText(Message("b", "A", raw), 2, 1252), 2, "t").text, raw);
  EXPECT_FALSE(Utf8ToCodePage("\xC0\xAF", 1252));      // overlong
  EXPECT_FALSE(Utf8ToCodePage("\xED\xA0\x80", 1252));  // surrogate
  EXPECT_FALSE(Utf8ToCodePage("ok", 99999));           // no such code page
}

TEST(SpoolRecord, RoundTripAndEveryStrictPrefixRejected) {
  CapturedMessage m = Message("bob", "ALICE", std::string("a\0b\xFF", 4));
  m.arrivalNs = 0x0102030405060708ull;
  const std::vector<uint8_t> bytes = EncodeSpoolRecord(m);
  ASSERT_EQ(bytes.size(), 16u + 3 + 5 + 4);
  // "VTS1", arrival little-endian, then the lengths in front of their fields.
  EXPECT_EQ(bytes[0], 'V');
  EXPECT_EQ(bytes[4], 0x08);
  EXPECT_EQ(bytes[11], 0x01);
  EXPECT_EQ(bytes[12], 3);
  std::optional<CapturedMessage> back = DecodeSpoolRecord(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->arrivalNs, m.arrivalNs);
  EXPECT_EQ(back->sender, "bob");
  EXPECT_EQ(back->receiver, "ALICE");
  EXPECT_EQ(back->body, m.body);
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(DecodeSpoolRecord(std::span(bytes).first(n))) << n;
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeSpoolRecord(longer));
}

TEST(SpoolRecord, LengthsBeyondTheLimitsAreRejected) {
  std::vector<uint8_t> bytes = EncodeSpoolRecord(Message("bob", "ALICE", "x"));
  std::vector<uint8_t> bad = bytes;
  bad[12] = 16;  // sender longer than a NetBIOS name
  EXPECT_FALSE(DecodeSpoolRecord(bad));
  bad = bytes;
  bad[0] = 'X';
  EXPECT_FALSE(DecodeSpoolRecord(bad));
  // A body over 4000 bytes, even when all of it is there.
  CapturedMessage big = Message("b", "A", "");
  std::vector<uint8_t> huge = EncodeSpoolRecord(big);
  huge[huge.size() - 2] = 0xA1;  // 4001
  huge[huge.size() - 1] = 0x0F;
  huge.resize(huge.size() + 4001, 'x');
  EXPECT_FALSE(DecodeSpoolRecord(huge));
  // What the encoder is given beyond the limits is cut, never written.
  const std::vector<uint8_t> cut =
      EncodeSpoolRecord(Message(std::string(40, 's'), "A", std::string(5000, 'b')));
  std::optional<CapturedMessage> back = DecodeSpoolRecord(cut);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->sender.size(), kNameMax);
  EXPECT_EQ(back->body.size(), kBodyMax);
}

TEST(WindowProtocol, GreetingAndCopyDataHeader) {
  const std::vector<uint8_t> g = EncodeGreeting({1, 936});
  ASSERT_EQ(g.size(), kGreetingSize);
  std::optional<WindowGreeting> back = DecodeGreeting(g);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->languageClass, 1);
  EXPECT_EQ(back->codePage, 936u);
  for (size_t n = 0; n < g.size(); ++n) EXPECT_FALSE(DecodeGreeting(std::span(g).first(n)));
  std::vector<uint8_t> bad = g;
  bad[4] = 3;  // no such language class
  EXPECT_FALSE(DecodeGreeting(bad));

  const std::vector<uint8_t> record = EncodeCopyData("hi");
  ASSERT_EQ(record.size(), kCopyDataHeaderSize + 2);
  std::optional<CopyDataHeader> h = DecodeCopyDataHeader(std::span(record).first(8));
  ASSERT_TRUE(h);
  EXPECT_EQ(h->cbData, 2u);
  const auto header = [](uint32_t dwData, uint32_t cbData) {
    std::vector<uint8_t> b(8);
    for (int i = 0; i < 4; ++i) {
      b[static_cast<size_t>(i)] = static_cast<uint8_t>(dwData >> (8 * i));
      b[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(cbData >> (8 * i));
    }
    return b;
  };
  EXPECT_TRUE(DecodeCopyDataHeader(header(0, 1023)));
  EXPECT_FALSE(DecodeCopyDataHeader(header(0, 1024)));
  EXPECT_FALSE(DecodeCopyDataHeader(header(0, 0)));
  EXPECT_FALSE(DecodeCopyDataHeader(header(1, 5)));
  EXPECT_FALSE(DecodeCopyDataHeader(header(0, 0xFFFFFFFFu)));
}

TEST(CaptureNames, EndpointsSlotsAndTheRegistration) {
  EXPECT_EQ(WindowEndpointName(0xABCull), "window-0000000000000abc");
  EXPECT_EQ(ParseWindowEndpointName("window-0000000000000abc"), 0xABCull);
  EXPECT_FALSE(ParseWindowEndpointName("window-0000000000000000"));
  EXPECT_FALSE(ParseWindowEndpointName("window-0000000000000ABC"));
  EXPECT_FALSE(ParseWindowEndpointName("window-abc"));
  EXPECT_EQ(SpoolSlotName(7), "spool-007");
  EXPECT_EQ(ParseSpoolSlotName("spool-255"), 255u);
  EXPECT_FALSE(ParseSpoolSlotName("spool-256"));
  EXPECT_FALSE(ParseSpoolSlotName("spool-07"));
  EXPECT_FALSE(ParseSpoolSlotName("spool-0x1"));
  const std::string target = EncodeTarget(42);
  EXPECT_EQ(DecodeTarget(Span(target)), 42u);
  EXPECT_FALSE(DecodeTarget(Span(target.substr(0, target.size() - 1))));
  EXPECT_FALSE(DecodeTarget(Span(target + "x")));
}

}  // namespace
}  // namespace vantrel::capture
