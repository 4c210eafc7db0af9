#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "receive/ArrivalProcessor.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

// Draws records from a small pool so that batches repeat old and new records,
// hold records equal but for the time, and records of equal length.
class RecordPool {
 public:
  explicit RecordPool(uint32_t seed) : rng_(seed) {}

  MessageRecord Draw() {
    static const char* const kSenders[] = {"ALICE", "BOB", "~PC1", "CAROL"};
    static const char* const kTexts[] = {"hi", "ho", "", "hello\r\nthere"};
    std::string time = "2003-10-20 09:05:0" + std::to_string(Pick(3));
    auto datagram = BuildMessengerDatagram(kSenders[Pick(4)], "BOB", kTexts[Pick(4)]);
    if (Pick(8) == 0)  // the same fields as a captured pop-up: another layout
      return MessageRecord::FromFields(time, kSenders[Pick(4)], "BOB", kTexts[Pick(4)]);
    return MessageRecord::FromDatagram(datagram, time);
  }
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

 private:
  std::mt19937 rng_;
};

std::vector<std::vector<uint8_t>> Contents(const MessageStore& s) {
  std::vector<std::vector<uint8_t>> out;
  for (size_t i = 0; i < s.RecordCount(); ++i)
    out.emplace_back(s.Record(i).bytes().begin(), s.Record(i).bytes().end());
  return out;
}

TEST(DuplicateRemoval, HashedRemovalMatchesTheDirectScanOnRandomBatches) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    RecordPool pool(seed);
    MessageStore fast, scan;
    size_t oldCount = pool.Pick(40);
    size_t newCount = pool.Pick(40);
    // The old part may itself hold repeats (it was never deduplicated as a
    // whole, e.g. saved messages from two runs).
    for (size_t i = 0; i < oldCount + newCount; ++i) {
      MessageRecord r = pool.Draw();
      fast.Append(r);
      scan.Append(std::move(r));
    }
    size_t removedFast = RemoveDuplicateArrivals(fast, oldCount);
    size_t removedScan = RemoveDuplicateArrivalsByScan(scan, oldCount);
    ASSERT_EQ(removedFast, removedScan) << "seed " << seed;
    ASSERT_EQ(Contents(fast), Contents(scan)) << "seed " << seed;
    for (size_t i = 0; i < fast.RecordCount(); ++i)
      ASSERT_EQ(fast.RecordHash(i), fast.Record(i).Hash());
  }
}

TEST(DuplicateRemoval, OldRecordsAreNeverRemovedAndEqualButForTimeStays) {
  for (auto remove : {&RemoveDuplicateArrivals, &RemoveDuplicateArrivalsByScan}) {
    MessageStore s;
    auto msg = [](std::string_view text, std::string_view time) {
      return MessageRecord::FromDatagram(BuildMessengerDatagram("A", "B", text), time);
    };
    s.Append(msg("x", "2003-10-20 09:05:07"));
    s.Append(msg("x", "2003-10-20 09:05:07"));  // an old repeat stays
    s.Append(msg("x", "2003-10-20 09:05:08"));  // new, another second
    s.Append(msg("x", "2003-10-20 09:05:07"));  // new, repeats the first
    s.Append(msg("x", "2003-10-20 09:05:08"));  // new, repeats the third
    s.Append(msg("y", "2003-10-20 09:05:07"));  // new, same length, other text
    EXPECT_EQ(remove(s, 2), 2u);
    ASSERT_EQ(s.RecordCount(), 4u);
    EXPECT_EQ(s.Record(2).Fields().time, "2003-10-20 09:05:08");
    EXPECT_EQ(s.Record(3).Fields().text, "y");
    // A previous total at or beyond the list: nothing is new.
    EXPECT_EQ(remove(s, 4), 0u);
    EXPECT_EQ(remove(s, 9), 0u);
    EXPECT_EQ(s.RecordCount(), 4u);
  }
}

TEST(DuplicateRemoval, LargeBatchAgainstLargeStoreMatchesScanOfTheNewPart) {
  // 2,000 new records against 20,000 stored, every tenth new one repeating a
  // stored record and every seventh repeating an earlier new one. The scan
  // is quadratic, so the expected result is built from its rule directly.
  MessageStore store;
  auto msg = [](int i) {
    return MessageRecord::FromDatagram(
        BuildMessengerDatagram("PC" + std::to_string(i % 50), "BOB", "text " + std::to_string(i)),
        "2003-10-20 09:05:07");
  };
  for (int i = 0; i < 20000; ++i) store.Append(msg(i));
  // Expected: a repeat of a stored record goes; a repeat of the previous new
  // record goes unless that one went itself (then this is its first copy).
  std::vector<std::string> expectedNewTexts;
  std::vector<int> seen;
  for (int i = 0; i < 2000; ++i) {
    int id = 100000 + i;
    if (i % 10 == 0) {
      store.Append(msg(i * 7));
      continue;
    }
    if (i % 7 == 0) id = 100000 + i - 1;
    store.Append(msg(id));
    if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
    seen.push_back(id);
    expectedNewTexts.push_back("text " + std::to_string(id));
  }
  RemoveDuplicateArrivals(store, 20000);
  ASSERT_EQ(store.RecordCount(), 20000 + expectedNewTexts.size());
  for (size_t i = 0; i < expectedNewTexts.size(); ++i)
    ASSERT_EQ(store.Record(20000 + i).Fields().text, expectedNewTexts[i]) << i;
}

TEST(DuplicateRemoval, TenThousandAgainstHundredThousand) {
  // Full-size batch: every tenth new record repeats a stored one. The speed of
  // this case is measured by bench/process_arrivals, not here.
  MessageStore store;
  std::vector<MessageRecord> all;
  for (int i = 0; i < 110000; ++i) {
    int id = i >= 100000 && i % 10 == 0 ? i - 100000 : i;  // every tenth new one repeats
    all.push_back(MessageRecord::FromDatagram(
        BuildMessengerDatagram("PC", "BOB", "text " + std::to_string(id)), "2003-10-20 09:05:07"));
  }
  store.Append(std::move(all));
  EXPECT_EQ(RemoveDuplicateArrivals(store, 100000), 1000u);
  EXPECT_EQ(store.RecordCount(), 109000u);
}

}  // namespace
}  // namespace vantrel
