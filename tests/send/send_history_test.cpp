#include "send/SendHistory.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

std::string Receivers(const SendHistory& h) {
  std::string out;
  for (const HistoryPair& p : h.pairs()) out += p.receiverLine + ";";
  return out;
}

void ExpectInvariants(const SendHistory& h) {
  EXPECT_LE(h.size(), SendHistory::kMaxPairs);
  EXPECT_LE(h.position(), h.size());
  EXPECT_EQ(h.position() == 0, h.empty());
  EXPECT_EQ(h.Shown() == nullptr, h.empty());
}

TEST(SendHistory, RecordDedupesByExactReceiverAndCaselessMessage) {
  SendHistory h;
  EXPECT_TRUE(h.Record("BOB", "Hello"));
  EXPECT_TRUE(h.Record("ALICE", "x"));
  EXPECT_EQ(h.position(), 2u);

  EXPECT_FALSE(h.Record("BOB", "HELLO"));  // message compared without case
  EXPECT_EQ(h.size(), 2u);
  EXPECT_EQ(h.pairs()[0].message, "Hello");  // the first spelling stays
  EXPECT_EQ(h.position(), 2u);               // the position stays

  EXPECT_TRUE(h.Record("bob", "Hello"));  // receiver compared with case
  EXPECT_TRUE(h.Record("BOB ", "Hello"));
  EXPECT_EQ(h.size(), 4u);
  ExpectInvariants(h);
}

TEST(SendHistory, EleventhPairDropsTheOldestAndPreviousStopsAtTheOldest) {
  SendHistory h;
  for (int i = 1; i <= 11; ++i) ASSERT_TRUE(h.Record("R" + std::to_string(i), "m"));
  EXPECT_EQ(h.size(), 10u);
  EXPECT_EQ(h.pairs().front().receiverLine, "R2");
  EXPECT_EQ(h.position(), 10u);

  int moved = 0;
  for (int i = 0; i < 10; ++i) moved += h.Previous() ? 1 : 0;
  EXPECT_EQ(moved, 9);
  EXPECT_EQ(h.position(), 1u);
  EXPECT_EQ(h.Shown()->receiverLine, "R2");

  for (int i = 0; i < 9; ++i) EXPECT_TRUE(h.Next());
  EXPECT_FALSE(h.Next());
  EXPECT_EQ(h.Shown()->receiverLine, "R11");
  ExpectInvariants(h);
}

TEST(SendHistory, DeleteShowsTheFollowingPairOrTheNewNewest) {
  SendHistory h;
  h.Record("A", "1");
  h.Record("B", "2");
  h.Record("C", "3");

  ASSERT_TRUE(h.Previous());
  ASSERT_TRUE(h.Previous());  // at A
  EXPECT_TRUE(h.Delete());
  EXPECT_EQ(Receivers(h), "B;C;");
  EXPECT_EQ(h.Shown()->receiverLine, "B");  // the pair that followed

  ASSERT_TRUE(h.Next());  // at C, the newest
  EXPECT_TRUE(h.Delete());
  EXPECT_EQ(h.Shown()->receiverLine, "B");  // the one before it
  ExpectInvariants(h);

  EXPECT_TRUE(h.Delete());  // the only pair
  EXPECT_TRUE(h.empty());
  EXPECT_EQ(h.position(), 0u);
  EXPECT_FALSE(h.Delete());
  EXPECT_FALSE(h.Previous());
  EXPECT_FALSE(h.Next());
  ExpectInvariants(h);
}

TEST(SendHistory, ADeletedPairCanBeRecordedAgain) {
  SendHistory h;
  h.Record("A", "1");
  h.Record("B", "2");
  h.Delete();  // B
  EXPECT_TRUE(h.Record("B", "2"));
  EXPECT_EQ(Receivers(h), "A;B;");
}

TEST(SendHistory, MessageComparisonCanBeReplaced) {
  int asked = 0;
  SendHistory h([&asked](std::string_view a, std::string_view b) {
    ++asked;
    return a.size() == b.size();  // any comparison the caller chooses
  });
  h.Record("A", "abc");
  EXPECT_FALSE(h.Record("A", "xyz"));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(EqualsAsciiNoCase("MiXeD 1", "mixed 1"));
  EXPECT_FALSE(EqualsAsciiNoCase("abc", "abcd"));
  EXPECT_FALSE(EqualsAsciiNoCase("\xC4", "\xE4"));  // ASCII letters only
}

}  // namespace
}  // namespace vantrel
