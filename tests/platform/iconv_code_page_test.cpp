#include <gtest/gtest.h>

#include <string>

#include "platform/linux/IconvCodePage.h"

namespace vantrel::linux {
namespace {

using namespace std::string_view_literals;
const std::string kFffd(kReplacementUtf8);

class IconvCodePageTest : public ::testing::Test {
 protected:
  IconvCodePage cp;
};

TEST_F(IconvCodePageTest, KnowsTheWindowsCodePages) {
  for (uint32_t n : {437u, 850u, 874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u,
                     1255u, 1256u, 1257u, 1258u, 65001u})
    EXPECT_TRUE(cp.IsSupported(n)) << n;
  EXPECT_FALSE(cp.IsSupported(12345));
  EXPECT_FALSE(IconvNamesForCodePage(936).empty());
  EXPECT_TRUE(IconvNamesForCodePage(12345).empty());
}

TEST_F(IconvCodePageTest, Cp1252RoundTripAndUndefinedBytes) {
  // "Grüße €" in CP1252.
  const std::string bytes =
      "Gr\xFC\xDF"
      "e \x80";
  DecodedText d = cp.ToUtf8(1252, bytes);
  EXPECT_EQ(d.utf8,
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC");
  EXPECT_EQ(d.replaced, 0u);
  EncodedText e = cp.FromUtf8(1252, d.utf8);
  EXPECT_EQ(e.bytes, bytes);
  EXPECT_EQ(e.unencodable, 0u);

  // 0x81 and 0x8D are not defined in CP1252: replaced, the rest goes on.
  const std::string odd =
      "a\x81"
      "b\x8D\x8D"
      "c";
  const std::string copy = odd;
  d = cp.ToUtf8(1252, odd);
  EXPECT_EQ(d.utf8, "a" + kFffd + "b" + kFffd + kFffd + "c");
  EXPECT_EQ(d.replaced, 3u);
  EXPECT_EQ(odd, copy);  // the source bytes are untouched
}

TEST_F(IconvCodePageTest, GbkSequencesAndBrokenOnes) {
  // "中文" in GBK is D6 D0 CE C4.
  const std::string zh = "\xD6\xD0\xCE\xC4";
  EXPECT_EQ(cp.ToUtf8(936, zh).utf8, "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(cp.FromUtf8(936, "\xE4\xB8\xAD\xE6\x96\x87").bytes, zh);

  // A lead byte followed by a byte that cannot trail it (a blank): the lead
  // is replaced, the blank behind it is kept. "A" could trail it.
  DecodedText d = cp.ToUtf8(936, "\xD6 \xD6\xD0");
  EXPECT_EQ(d.utf8, kFffd + " \xE4\xB8\xAD");
  EXPECT_EQ(d.replaced, 1u);
  EXPECT_EQ(cp.ToUtf8(936, "\xD6\x41").utf8, "\xE8\xAB\xA5");

  // A double-byte character cut off by the end becomes one U+FFFD.
  d = cp.ToUtf8(936, "ok\xD6\xD0\xCE");
  EXPECT_EQ(d.utf8, "ok\xE4\xB8\xAD" + kFffd);
  EXPECT_EQ(d.replaced, 1u);
  d = cp.ToUtf8(932, "\x82");  // Shift-JIS lead byte alone
  EXPECT_EQ(d.utf8, kFffd);
}

TEST_F(IconvCodePageTest, UnencodableCharactersBecomeQuestionMarks) {
  // Chinese in CP1252, an accented letter in CP1252, an emoji in GBK.
  EncodedText e = cp.FromUtf8(1252, "x\xE4\xB8\xAD\xE6\x96\x87y\xC3\xA9");
  EXPECT_EQ(e.bytes, "x??y\xE9");
  EXPECT_EQ(e.unencodable, 2u);
  e = cp.FromUtf8(936, "\xF0\x9F\x98\x80!");
  EXPECT_EQ(e.bytes, "?!");
  EXPECT_EQ(e.unencodable, 1u);
  // Invalid UTF-8: a stray continuation byte and a truncated sequence.
  e = cp.FromUtf8(1252,
                  "a\x80"
                  "b\xE4\xB8");
  EXPECT_EQ(e.bytes, "a?b?");
  EXPECT_EQ(e.unencodable, 2u);
}

TEST_F(IconvCodePageTest, LongTextAndOtherPages) {
  // Growth of the output buffer: every byte expands to three in UTF-8.
  std::string big(100000, '\x80');
  DecodedText d = cp.ToUtf8(1252, big);
  EXPECT_EQ(d.utf8.size(), 300000u);
  EXPECT_EQ(d.replaced, 0u);
  EXPECT_EQ(cp.FromUtf8(1252, d.utf8).bytes, big);

  EXPECT_EQ(cp.ToUtf8(1251, "\xCF\xF0\xE8").utf8, "\xD0\x9F\xD1\x80\xD0\xB8");  // При
  EXPECT_EQ(cp.ToUtf8(950, "\xA4\xA4").utf8, "\xE4\xB8\xAD");                   // 中 in Big5
  EXPECT_EQ(cp.ToUtf8(949, "\xC7\xD1").utf8, "\xED\x95\x9C");                   // 한
  // Unknown code pages convert as CP1252.
  EXPECT_EQ(cp.ToUtf8(12345, "\xE9").utf8, "\xC3\xA9");
  EXPECT_EQ(cp.ToUtf8(1252, "").utf8, "");
  EXPECT_EQ(cp.FromUtf8(1252, "").bytes, "");
  // Zero bytes pass through.
  EXPECT_EQ(cp.ToUtf8(1252, "a\0b"sv).utf8, "a\0b"sv);
}

}  // namespace
}  // namespace vantrel::linux
