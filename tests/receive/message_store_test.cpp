#include <gtest/gtest.h>

#include <cstdint>

#include <string>
#include <vector>

#include "receive/MessageStore.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

MessageRecord Msg(std::string_view sender, std::string_view receiver, std::string_view text,
                  std::string_view time = "2003-10-20 09:05:07") {
  return MessageRecord::FromDatagram(BuildMessengerDatagram(sender, receiver, text), time);
}

MessageRecord Raw(std::vector<uint8_t> bytes) {
  auto r = MessageRecord::FromBytes(std::move(bytes));
  EXPECT_TRUE(r.has_value());
  return std::move(*r);
}

// A store holding messages with texts "m1".."mN", oldest first, newest shown.
MessageStore StoreOf(int n) {
  MessageStore store;
  for (int i = 1; i <= n; ++i) store.Append(Msg("ALICE", "BOB", "m" + std::to_string(i)));
  store.ShowNewest();
  return store;
}

std::string CurrentText(const MessageStore& s) { return s.RefreshMessageView().text; }

TEST(MessageStore, EmptyStoreShowsNoMessageAndZeroCounters) {
  MessageStore store;
  store.ShowNewest();
  MessageViewTexts view = store.RefreshMessageView();
  EXPECT_EQ(view.firstHeaderLine, "No message");
  EXPECT_EQ(view.secondHeaderLine, "");
  EXPECT_EQ(view.text, "");
  CounterTexts counters = store.RefreshCounters();
  EXPECT_EQ(counters.current, "Current: 0");
  EXPECT_EQ(counters.total, "Total: 0");
  EXPECT_FALSE(store.CanDelete());
  EXPECT_FALSE(store.CanPrevious());
  EXPECT_FALSE(store.CanNext());
  EXPECT_FALSE(store.Delete());
  store.Next();
  store.Previous();
  EXPECT_EQ(store.current(), 0u);
}

TEST(MessageStore, ViewShowsHeaderLinesOfCurrentRecord) {
  MessageStore store;
  store.Append(Msg("ALICE", "BOB", "first"));
  store.Append(Msg("~PC1", "BOB", "line1\r\nline2", "2003-10-20 10:00:00"));
  store.ShowNewest();
  MessageViewTexts view = store.RefreshMessageView();
  // The automatic mark is not shown.
  EXPECT_EQ(view.firstHeaderLine, "From PC1 to BOB");
  EXPECT_EQ(view.secondHeaderLine, "On 2003-10-20 10:00:00");
  EXPECT_EQ(view.text, "line1\r\nline2");
  EXPECT_EQ(store.RefreshCounters().current, "Current: 2");
  EXPECT_EQ(store.RefreshCounters().total, "Total: 2");

  store.Previous();
  view = store.RefreshMessageView();
  EXPECT_EQ(view.firstHeaderLine, "From ALICE to BOB");
  EXPECT_EQ(view.text, "first");

  // Only one mark is dropped.
  EXPECT_EQ(SenderWithoutMark("~~X"), "~X");
  EXPECT_EQ(SenderWithoutMark("X~"), "X~");
}

TEST(MessageStore, NavigationStaysWithinOneAndTotal) {
  MessageStore store = StoreOf(3);
  EXPECT_EQ(store.current(), 3u);
  EXPECT_TRUE(store.CanPrevious());
  EXPECT_FALSE(store.CanNext());
  store.Next();
  EXPECT_EQ(store.current(), 3u);
  store.Previous();
  store.Previous();
  EXPECT_EQ(store.current(), 1u);
  EXPECT_FALSE(store.CanPrevious());
  EXPECT_TRUE(store.CanNext());
  store.Previous();
  EXPECT_EQ(store.current(), 1u);
  EXPECT_EQ(CurrentText(store), "m1");
  store.Next();
  EXPECT_EQ(CurrentText(store), "m2");
}

TEST(MessageStore, DeleteShowsFollowingMessageOrNewNewest) {
  // At position 2 of 3: position stays 2, now the former third message.
  MessageStore store = StoreOf(3);
  store.Previous();
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(store.total(), 2u);
  EXPECT_EQ(store.current(), 2u);
  EXPECT_EQ(CurrentText(store), "m3");

  // At position 3 of 3: the new newest, position 2.
  store = StoreOf(3);
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(store.current(), 2u);
  EXPECT_EQ(CurrentText(store), "m2");

  // At position 1: the next one moves up.
  store.Previous();
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(store.current(), 1u);
  EXPECT_EQ(CurrentText(store), "m2");

  // The last remaining message: both counters 0, "No message".
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(store.total(), 0u);
  EXPECT_EQ(store.current(), 0u);
  EXPECT_EQ(store.RecordCount(), 0u);
  EXPECT_EQ(store.RefreshMessageView().firstHeaderLine, "No message");
  EXPECT_FALSE(store.Delete());
}

TEST(MessageStore, DeleteAllEmptiesEverything) {
  MessageStore store = StoreOf(5);
  store.Previous();
  store.DeleteAll();
  EXPECT_EQ(store.RecordCount(), 0u);
  EXPECT_EQ(store.total(), 0u);
  EXPECT_EQ(store.current(), 0u);
  EXPECT_EQ(store.RefreshCounters().current, "Current: 0");
  EXPECT_EQ(store.RefreshMessageView().firstHeaderLine, "No message");
}

TEST(MessageStore, PendingAppendBeforeArrivalsNeverReadsOutsideTheList) {
  // Records appended, but total and Current position not yet brought up to
  // date: the view and Delete must not touch position 0 - 1.
  MessageStore store;
  store.Append(Msg("ALICE", "BOB", "x"));
  EXPECT_EQ(store.current(), 0u);
  EXPECT_EQ(store.RefreshMessageView().firstHeaderLine, "No message");
  EXPECT_FALSE(store.Delete());
  EXPECT_EQ(store.RecordCount(), 1u);
}

TEST(MessageStore, GetRecordFieldsClearsOutputsAndReadsInsideTheBlock) {
  MessageStore store;
  store.Append(Msg("ALICE", "BOB", "hi"));
  store.Append(MessageRecord::FromFields("2003-10-20 09:05:07", "CAROL", "DAVE", "popup"));
  store.Append(Raw({4, 0, 0, 0}));  // size 4: four empty strings
  // Text without its zero byte: ends at the block's end.
  store.Append(Raw({13, 0, 0, 0, 'T', 0, 'S', 0, 'R', 0, 'a', 'b', 'c'}));
  // Only time and sender fit.
  store.Append(Raw({9, 0, 0, 0, 'T', 0, 'S', 'S', 0}));

  std::string time = "old", sender = "old", receiver = "old", text = "old";
  store.GetRecordFields(0, &time, &sender, &receiver, &text);
  EXPECT_EQ(time, "2003-10-20 09:05:07");
  EXPECT_EQ(sender, "ALICE");
  EXPECT_EQ(receiver, "BOB");
  EXPECT_EQ(text, "hi");

  // Outputs are optional; the ones given are filled.
  sender = "old";
  store.GetRecordFields(1, nullptr, &sender, nullptr, nullptr);
  EXPECT_EQ(sender, "CAROL");
  RecordFields f = store.GetRecordFields(1);
  EXPECT_EQ(f.receiver, "DAVE");
  EXPECT_EQ(f.text, "popup");

  store.GetRecordFields(2, &time, &sender, &receiver, &text);
  EXPECT_EQ(time + sender + receiver + text, "");

  f = store.GetRecordFields(3);
  EXPECT_EQ(f.time, "T");
  EXPECT_EQ(f.sender, "S");
  EXPECT_EQ(f.receiver, "R");
  EXPECT_EQ(f.text, "abc");

  f = store.GetRecordFields(4);
  EXPECT_EQ(f.sender, "SS");
  EXPECT_EQ(f.receiver, "");
  EXPECT_EQ(f.text, "");

  // An index beyond the list gives empty outputs, not a crash.
  time = "old";
  store.GetRecordFields(99, &time, nullptr, nullptr, nullptr);
  EXPECT_EQ(time, "");
}

TEST(MessageStore, HashesStayWithTheirRecordsThroughEveryChange) {
  MessageStore store;
  for (int i = 0; i < 20; ++i) store.Append(Msg("S" + std::to_string(i), "R", "t"));
  std::vector<MessageRecord> front;
  front.push_back(Msg("OLD1", "R", "t"));
  front.push_back(Msg("OLD2", "R", "t"));
  store.PrependAll(std::move(front));
  store.RemoveRecord(5);
  std::vector<bool> remove(30, false);
  remove[0] = remove[3] = remove[4] = remove[29] = true;  // beyond the list is ignored
  EXPECT_EQ(store.RemoveMarked(10, remove), 3u);
  EXPECT_EQ(store.RemoveMarked(100, remove), 0u);

  ASSERT_EQ(store.RecordCount(), 18u);
  std::vector<std::string> senders;
  for (size_t i = 0; i < store.RecordCount(); ++i) {
    EXPECT_EQ(store.RecordHash(i), store.Record(i).Hash()) << i;
    senders.push_back(std::string(store.Record(i).Fields().sender));
  }
  // OLD1 OLD2 S0..S2 (S3 removed at 5) S4..S8, then from position 10 on:
  // S9 removed, S10 S11 kept, S12 S13 removed, S14..S19 kept.
  std::vector<std::string> expected = {"OLD1", "OLD2", "S0",  "S1",  "S2",  "S4",
                                       "S5",   "S6",   "S7",  "S8",  "S10", "S11",
                                       "S14",  "S15",  "S16", "S17", "S18", "S19"};
  EXPECT_EQ(senders, expected);
}

TEST(MessageStore, HundredThousandRecordsBrowseAndDelete) {
  MessageStore store;
  std::vector<MessageRecord> batch;
  for (int i = 0; i < 100000; ++i) batch.push_back(Msg("PC", "BOB", std::to_string(i)));
  store.Append(std::move(batch));
  store.ShowNewest();
  EXPECT_EQ(store.RefreshCounters().total, "Total: 100000");
  EXPECT_EQ(CurrentText(store), "99999");
  store.MoveTo(50000);
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(CurrentText(store), "50000");
  EXPECT_EQ(store.RefreshCounters().total, "Total: 99999");
  store.DeleteAll();
  EXPECT_TRUE(store.empty());
}

TEST(MessageStore, ControlCharactersInNamesShowVisiblyAndTheRecordKeepsItsBytes) {
  // A datagram can try to draw a header line of its own with a CR LF inside
  // SENDER or RECEIVER; the view shows the characters, the record keeps them.
  MessageStore store;
  store.Append(Msg("EVE\r\nFrom BOSS", "BOB\tX\x01\x7f", "hi"));
  store.ShowNewest();
  const MessageViewTexts view = store.RefreshMessageView();
  EXPECT_EQ(view.firstHeaderLine, "From EVE\\r\\nFrom BOSS to BOB\\tX\\x01\\x7F");
  EXPECT_EQ(view.firstHeaderLine.find('\n'), std::string::npos);
  EXPECT_EQ(store.Record(0).Fields().sender, "EVE\r\nFrom BOSS");
  // Bytes of a double-byte code page pass unchanged, a trailing 0x5C included.
  store.Append(Msg("\x83\x5C\x82\xA0", "BOB", "sjis"));
  store.ShowNewest();
  EXPECT_EQ(store.RefreshMessageView().firstHeaderLine, "From \x83\x5C\x82\xA0 to BOB");
}

TEST(MessageStore, LimitsDropTheOldestAndKeepThePositionOnItsMessage) {
  MessageStore store;
  for (int i = 1; i <= 8; ++i) store.Append(Msg("S", "BOB", "m" + std::to_string(i)));
  store.ShowNewest();
  store.MoveTo(6);  // showing m6
  const size_t one = store.Record(0).size();
  EXPECT_EQ(store.RecordBytes(), 8 * one);
  EXPECT_EQ(store.TrimToLimits(), 0u);  // no limits: nothing goes

  store.SetLimits({5, SIZE_MAX});
  EXPECT_EQ(store.TrimToLimits(), 3u);
  EXPECT_EQ(store.RecordCount(), 5u);
  EXPECT_EQ(store.total(), 5u);
  EXPECT_EQ(store.RefreshMessageView().text, "m6");  // still the same message
  EXPECT_EQ(store.current(), 3u);
  EXPECT_EQ(store.RecordBytes(), 5 * one);

  // The bytes limit too; a message that was dropped leaves the position on
  // the oldest one left.
  store.MoveTo(1);
  store.SetLimits({SIZE_MAX, 2 * one});
  EXPECT_EQ(store.TrimToLimits(), 3u);
  EXPECT_EQ(store.current(), 1u);
  EXPECT_EQ(store.RefreshMessageView().text, "m7");
  EXPECT_EQ(store.DroppedOverLimits(), 6u);
  // Removing and deleting keep the byte count right.
  ASSERT_TRUE(store.Delete());
  EXPECT_EQ(store.RecordBytes(), one);
  store.DeleteAll();
  EXPECT_EQ(store.RecordBytes(), 0u);
}

}  // namespace
}  // namespace vantrel
