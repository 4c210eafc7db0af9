// NetBIOS names: 16-byte form, first- and second-level encodings, decoding
// with and without compression pointers.
#include <gtest/gtest.h>

#include "TestFrames.h"
#include "transport/NetbiosName.h"

namespace vantrel {
namespace {

using testframes::Bytes;
using testframes::Hex;
using testframes::Name34;
using testframes::Str;

std::string Letters(const NetbiosName& n) {
  auto l = FirstLevelEncode(n.Bytes());
  return std::string(l.begin(), l.end());
}

TEST(NetbiosName, SixteenByteFormUpperCasesCutsAndPads) {
  EXPECT_EQ(NetbiosName::FromName("bob", 0x00), NetbiosName::FromName("BOB", 0x00));
  auto n = NetbiosName::FromName("bobpc", 0x03);
  EXPECT_EQ(Bytes(n.Bytes().begin(), n.Bytes().end()), Str("BOBPC          \x03"));
  // 20 letters: only the first 15 take part.
  auto longName = NetbiosName::FromName("abcdefghijklmnopqrst", 0x00);
  EXPECT_EQ(longName.Name(), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(longName, NetbiosName::FromName("ABCDEFGHIJKLMNOxyz", 0x00));
  // Only a-z change; other bytes (code page letters, digits, '~') stay.
  EXPECT_EQ(NetbiosName::FromName("~x\xe9", 0).Name(), "~X\xe9");
  EXPECT_EQ(NetbiosName::FromName("BOB", 0x00).ToString(), "BOB<00>");
  EXPECT_NE(NetbiosName::FromName("BOB", 0x00), NetbiosName::FromName("BOB", 0x03));
}

TEST(NetbiosName, WildcardIsStarAndFifteenZeros) {
  auto w = NetbiosName::Wildcard();
  EXPECT_TRUE(w.IsWildcard());
  Bytes expected(16, 0);
  expected[0] = '*';
  EXPECT_EQ(Bytes(w.Bytes().begin(), w.Bytes().end()), expected);
  EXPECT_EQ(Letters(w), "CKAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
  // "*" typed as a name is blank-padded and therefore not the wildcard.
  EXPECT_FALSE(NetbiosName::FromName("*", 0).IsWildcard());
  EXPECT_EQ(w.Name(), "*");
}

TEST(NetbiosName, FirstLevelEncodingMatchesKnownValues) {
  EXPECT_EQ(Letters(NetbiosName::FromName("BOBPC", 0x03)), "ECEPECFAEDCACACACACACACACACACAAD");
  EXPECT_EQ(Letters(NetbiosName::FromName("WORKGROUP", 0x1d)), "FHEPFCELEHFCEPFFFACACACACACACABN");
  EXPECT_EQ(Letters(NetbiosName::FromName("ALICEPC", 0x00)), "EBEMEJEDEFFAEDCACACACACACACACAAA");
  auto back = FirstLevelDecode(Str("ECEPECFAEDCACACACACACACACACACAAD"));
  ASSERT_TRUE(back);
  EXPECT_EQ(NetbiosName(*back), NetbiosName::FromName("BOBPC", 0x03));
  EXPECT_FALSE(FirstLevelDecode(Str("ECEPECFAEDCACACACACACACACACACAAQ")));  // 'Q' > 'P'
  EXPECT_FALSE(FirstLevelDecode(Str("ecepecfaedcacacacacacacacacacaad")));  // lower case
  EXPECT_FALSE(FirstLevelDecode(Str("ECEP")));
}

TEST(NetbiosName, SecondLevelEncodingWithAndWithoutScope) {
  auto n = NetbiosName::FromName("ALICEPC", 0x00);
  EXPECT_EQ(EncodeNetbiosName(n), Name34("ALICEPC", 0x00));
  ASSERT_TRUE(n.SetScope("lab.example"));
  Bytes expected = Name34("ALICEPC", 0x00);
  expected.pop_back();
  for (uint8_t b : Hex("03 6c 61 62 07 65 78 61 6d 70 6c 65 00")) expected.push_back(b);
  EXPECT_EQ(EncodeNetbiosName(n), expected);

  ByteReader r(expected);
  auto back = ReadNetbiosName(r);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, n);
  EXPECT_EQ(back->Scope(), "lab.example");
  EXPECT_TRUE(r.AtEnd());
}

TEST(NetbiosName, UnencodableScopesAreRefused) {
  auto n = NetbiosName::FromName("A", 0);
  EXPECT_FALSE(n.SetScope("a..b"));
  EXPECT_FALSE(n.SetScope(".a"));
  EXPECT_FALSE(n.SetScope(std::string(64, 'x')));
  // 34 + 4 labels of 1+63 = 290 > 255
  std::string big = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') +
                    "." + std::string(63, 'd');
  EXPECT_FALSE(n.SetScope(big));
  EXPECT_EQ(n.Scope(), "");
  EXPECT_TRUE(n.SetScope(std::string(63, 'x')));
}

TEST(NetbiosName, PlainDecoderRejectsBadNames) {
  auto good = Name34("BOB", 0x20);
  {
    ByteReader r(good);
    ASSERT_TRUE(ReadNetbiosName(r));
    EXPECT_TRUE(r.AtEnd());
  }
  // Every strict prefix fails and leaves the reader failed.
  for (size_t n = 0; n < good.size(); ++n) {
    ByteReader r{std::span(good).first(n)};
    EXPECT_FALSE(ReadNetbiosName(r)) << n;
    EXPECT_FALSE(r.Ok());
  }
  Bytes wrongLen = good;
  wrongLen[0] = 0x1F;  // first label must be 32 letters
  Bytes badLetter = good;
  badLetter[5] = 'Z';
  Bytes reserved = good;
  reserved[33] = 0x40;  // reserved label type where the terminator should be
  Bytes pointer = Hex("c0 0c");
  for (const Bytes& b : {wrongLen, badLetter, reserved, pointer}) {
    ByteReader r(b);
    EXPECT_FALSE(ReadNetbiosName(r));
  }
}

TEST(NetbiosName, CompressionPointersAreFollowedOnlyBackwards) {
  // offset 0: a full name; offset 34: a pointer to it; offset 36: a pointer to itself.
  Bytes packet = Name34("BOB", 0x00);
  for (uint8_t b : Hex("c0 00 c0 24")) packet.push_back(b);
  {
    ByteReader r(packet);
    r.Skip(34);
    auto n = ReadCompressedNetbiosName(r, packet);
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, NetbiosName::FromName("BOB", 0x00));
    EXPECT_EQ(r.Offset(), 36u);  // moved past the pointer only
  }
  {
    ByteReader r(packet);
    r.Skip(36);
    EXPECT_FALSE(ReadCompressedNetbiosName(r, packet));  // a pointer to itself
  }
  {
    // A forward pointer: c0 04 at offset 0 pointing at a name at offset 4.
    Bytes forward = Hex("c0 04 00 00");
    auto name = Name34("BOB", 0);
    forward.insert(forward.end(), name.begin(), name.end());
    ByteReader r(forward);
    EXPECT_FALSE(ReadCompressedNetbiosName(r, forward));
  }
  {
    // Scope label behind a pointer: 34-byte name whose terminator is replaced
    // by a pointer to the scope "lab" at offset 0.
    Bytes p = Hex("03 6c 61 62 00");
    auto name = Name34("BOB", 0);
    name.pop_back();
    p.insert(p.end(), name.begin(), name.end());
    p.push_back(0xC0);
    p.push_back(0x00);
    ByteReader r(p);
    r.Skip(5);
    auto n = ReadCompressedNetbiosName(r, p);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->Scope(), "lab");
    EXPECT_TRUE(r.AtEnd());
  }
}

}  // namespace
}  // namespace vantrel
