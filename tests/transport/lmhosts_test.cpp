#include "transport/Lmhosts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace vantrel {
namespace {

Ipv4Address Ip(const char* text) { return *Ipv4Address::Parse(text); }

TEST(Lmhosts, ParsesEntriesCommentsAndKeywords) {
  LmhostsTable t = ParseLmhosts(
      "# static names\n"
      "198.18.0.12   bobpc\n"
      "\t198.18.0.13\tSAMBA#20   # file server only\r\n"
      "198.18.0.15   DC1   #PRE  #DOM:CORP   #the domain controller\n"
      "#INCLUDE \\\\server\\share\\lmhosts\n"
      "#BEGIN_ALTERNATE\n"
      "   \n"
      "\n");
  EXPECT_EQ(t.skippedLines, 0u);
  ASSERT_EQ(t.entries.size(), 3u);
  EXPECT_EQ(t.entries[0].name, "BOBPC");
  EXPECT_FALSE(t.entries[0].suffix.has_value());
  EXPECT_EQ(t.entries[1].name, "SAMBA");
  EXPECT_EQ(t.entries[1].suffix, 0x20);
  EXPECT_EQ(t.entries[2].address, Ip("198.18.0.15"));

  // Any-suffix entries match every suffix; suffixed ones only their own.
  EXPECT_EQ(t.Find("BobPC", 0x00), Ip("198.18.0.12"));
  EXPECT_EQ(t.Find("bobpc", 0x03), Ip("198.18.0.12"));
  EXPECT_EQ(t.Find("samba", 0x20), Ip("198.18.0.13"));
  EXPECT_FALSE(t.Find("samba", 0x00));
  EXPECT_FALSE(t.Find("CORP", 0x1c));  // #DOM does not add a name of its own
  EXPECT_FALSE(t.Find("", 0x00));
}

TEST(Lmhosts, QuotedNamesWithEscapedSuffix) {
  LmhostsTable t = ParseLmhosts(
      "198.18.0.14 \"APP NAME       \\0x03\"\n"
      "198.18.0.16 \"with blank\"\n"
      "198.18.0.17 \"bad\\0xZZ\"\n"
      "198.18.0.18 \"never closed\n");
  EXPECT_EQ(t.skippedLines, 2u);
  ASSERT_EQ(t.entries.size(), 2u);
  EXPECT_EQ(t.entries[0].name, "APP NAME");
  EXPECT_EQ(t.entries[0].suffix, 0x03);
  EXPECT_EQ(t.Find("app name", 0x03), Ip("198.18.0.14"));
  EXPECT_FALSE(t.Find("app name", 0x00));
  EXPECT_EQ(t.Find("WITH BLANK", 0x00), Ip("198.18.0.16"));
}

TEST(Lmhosts, BadLinesAreSkippedAndCountedNotFatal) {
  LmhostsTable t = ParseLmhosts(
      "198.18.0.300 TOOBIG\n"           // bad address
      "not-an-address NAME\n"           // bad address
      "198.18.0.20\n"                   // no name
      "198.18.0.21 #PRE\n"              // keyword where the name should be
      "198.18.0.22 SIXTEENCHARSNAME\n"  // 16 characters
      "198.18.0.23 NAME#2\n"            // one hex digit
      "198.18.0.24 NAME#XY\n"           // not hex
      "0.0.0.0 ANY\n"                   // unusable address
      "198.18.0.25 FIFTEENCHARNAME\n");  // 15 characters: fine
  EXPECT_EQ(t.skippedLines, 8u);
  ASSERT_EQ(t.entries.size(), 1u);
  EXPECT_EQ(t.entries[0].name, "FIFTEENCHARNAME");
  // A 20-letter query is cut to its first 15, so it finds the 15-letter entry.
  EXPECT_EQ(t.Find("fifteencharnameXXXXX", 0x00), Ip("198.18.0.25"));
}

TEST(Lmhosts, FirstMatchingLineWins) {
  LmhostsTable t = ParseLmhosts("198.18.0.30 TWIN#20\n198.18.0.31 TWIN\n198.18.0.32 TWIN\n");
  EXPECT_EQ(t.Find("TWIN", 0x20), Ip("198.18.0.30"));
  EXPECT_EQ(t.Find("TWIN", 0x00), Ip("198.18.0.31"));
}

TEST(Lmhosts, ReadsFilesAndToleratesMissingOrHugeOnes) {
  EXPECT_TRUE(ReadLmhostsFile("/nonexistent/lmhosts").entries.empty());

  std::string path = ::testing::TempDir() + "lmhosts_test_" + std::to_string(::getpid());
  {
    std::ofstream out(path, std::ios::binary);
    out << "198.18.0.40 FILEHOST\n";
  }
  EXPECT_EQ(ReadLmhostsFile(path).Find("filehost", 0), Ip("198.18.0.40"));
  {
    std::ofstream out(path, std::ios::binary);
    std::string filler(kMaxLmhostsBytes, '#');
    out << "198.18.0.40 FILEHOST\n" << filler;
  }
  EXPECT_TRUE(ReadLmhostsFile(path).entries.empty());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vantrel
