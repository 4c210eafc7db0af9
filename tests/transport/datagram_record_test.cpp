#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "transport/Datagram.h"
#include "transport/MessageRecord.h"

namespace vantrel {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }
std::string_view View(std::span<const uint8_t> b) {
  return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
}

// ---- Datagram ----

TEST(Datagram, BuildLaysOutSenderReceiverTextWithoutTrailingZero) {
  using namespace std::string_view_literals;
  EXPECT_EQ(View(BuildMessengerDatagram("ALICE", "BOB", "hi")), "ALICE\0BOB\0hi"sv);
  EXPECT_EQ(BuildMessengerDatagram("PC1", "BOB", "").size(), 3u + 3u + 2u);
  // Parts are C strings: a zero byte ends them, so the frame keeps two zeros.
  EXPECT_EQ(View(BuildMessengerDatagram("A\0X"sv, "B", "t\0u"sv)), "A\0B\0t"sv);
}

TEST(Datagram, SplitRoundTripsAndToleratesOneTrailingZero) {
  auto d = BuildMessengerDatagram("ALICE", "BOB", "line1\r\nline2");
  DatagramParts p = SplitMessengerDatagram(d);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p.sender, "ALICE");
  EXPECT_EQ(p.receiver, "BOB");
  EXPECT_EQ(p.text, "line1\r\nline2");

  d.push_back(0);
  p = SplitMessengerDatagram(d);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p.text, "line1\r\nline2");

  using namespace std::string_view_literals;
  p = SplitMessengerDatagram(Bytes("\0\0"sv));  // empty everything is well-formed
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(p.sender.empty() && p.receiver.empty() && p.text.empty());
}

TEST(Datagram, SplitReportsMalformedInputAndYieldsNoFields) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view bytes;
    DatagramStatus status;
  } cases[] = {
      {""sv, DatagramStatus::kNoSenderEnd},
      {"ALICE"sv, DatagramStatus::kNoSenderEnd},
      {"ALICE\0BOB"sv, DatagramStatus::kNoReceiverEnd},
      {"ALICE\0BOB\0a\0b"sv, DatagramStatus::kZeroInText},
      {"ALICE\0BOB\0hi\0\0"sv, DatagramStatus::kZeroInText},  // only one trailing zero
  };
  for (const Case& c : cases) {
    DatagramParts p = SplitMessengerDatagram(Bytes(c.bytes));
    EXPECT_EQ(p.status, c.status) << DatagramStatusText(p.status);
    EXPECT_FALSE(p.ok());
    EXPECT_TRUE(p.sender.empty() && p.receiver.empty() && p.text.empty());
    EXPECT_STRNE(DatagramStatusText(p.status), "ok");
  }
}

TEST(Datagram, AutomaticMarkIsALeadingTilde) {
  EXPECT_TRUE(IsAutomaticMessage("~PC1"));
  EXPECT_TRUE(IsAutomaticMessage("~"));
  EXPECT_FALSE(IsAutomaticMessage("PC~1"));
  EXPECT_FALSE(IsAutomaticMessage(""));
}

// ---- Message record ----

TEST(MessageRecord, FromDatagramHasExactLayout) {
  auto d = BuildMessengerDatagram("ALICE", "BOB", "hi");
  ASSERT_EQ(d.size(), 12u);
  MessageRecord r = MessageRecord::FromDatagram(d, "2003-10-20 09:05:07");
  using namespace std::string_view_literals;
  // 25 00 00 00 | 2003-10-20 09:05:07 | 00 | ALICE 00 BOB 00 hi | 00
  EXPECT_EQ(View(r.bytes()),
            "\x25\0\0\0"
            "2003-10-20 09:05:07\0"
            "ALICE\0BOB\0hi\0"sv);
  EXPECT_EQ(r.size(), 37u);
  EXPECT_EQ(r.SizePrefix(), 37u);

  MessageFields f = r.Fields();
  EXPECT_EQ(f.time, "2003-10-20 09:05:07");
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.text, "hi");
  EXPECT_EQ(r.SenderFirstChar(), 'A');
}

TEST(MessageRecord, FromFieldsAddsTwentyEight) {
  MessageRecord r = MessageRecord::FromFields("2003-10-20 09:05:07", "ALICE", "BOB", "hello");
  EXPECT_EQ(r.size(), 5u + 3u + 5u + 28u);
  EXPECT_EQ(r.SizePrefix(), r.size());
  using namespace std::string_view_literals;
  EXPECT_EQ(View(r.bytes()).substr(4), "2003-10-20 09:05:07\0ALICE\0BOB\0hello\0\0"sv);
  MessageFields f = r.Fields();
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.text, "hello");

  // All empty (the unsupported-language pop-up): 28 bytes, still readable.
  MessageRecord e = MessageRecord::FromFields("", "", "", "");
  EXPECT_EQ(e.size(), 28u);
  EXPECT_EQ(e.Fields().sender, "");
  EXPECT_EQ(e.SenderFirstChar(), '\0');
}

TEST(MessageRecord, OddTimeTextsKeepTheSenderAtOffset24) {
  // A short time is padded with blanks, a long one cut, so sequential reading
  // and the fixed layout agree.
  for (std::string_view time : {"", "12:00", "2003-10-20 09:05:07 extra"}) {
    MessageRecord r = MessageRecord::FromFields(time, "ALICE", "BOB", "t");
    EXPECT_EQ(r.size(), 5u + 3u + 1u + 28u);
    EXPECT_EQ(r.bytes()[24], 'A') << time;
    EXPECT_EQ(r.Fields().time.size(), 19u);
    EXPECT_EQ(r.Fields().sender, "ALICE");
    EXPECT_EQ(r.Fields().text, "t");
    MessageRecord d = MessageRecord::FromDatagram(BuildMessengerDatagram("ALICE", "B", ""), time);
    EXPECT_EQ(d.Fields().sender, "ALICE") << time;
  }
}

TEST(MessageRecord, FromBytesValidatesTheSizePrefix) {
  MessageRecord good = MessageRecord::FromDatagram(BuildMessengerDatagram("A", "B", "c"), "t");
  std::vector<uint8_t> stored(good.bytes().begin(), good.bytes().end());

  RecordError why = RecordError::kSizeMismatch;
  auto back = MessageRecord::FromBytes(stored, &why);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(why, RecordError::kNone);
  EXPECT_EQ(*back, good);

  auto longer = stored;
  longer.push_back(0);
  EXPECT_FALSE(MessageRecord::FromBytes(longer, &why));
  EXPECT_EQ(why, RecordError::kSizeMismatch);

  auto shorter = stored;
  shorter.pop_back();
  EXPECT_FALSE(MessageRecord::FromBytes(shorter, &why));
  EXPECT_EQ(why, RecordError::kSizeMismatch);

  EXPECT_FALSE(MessageRecord::FromBytes(std::vector<uint8_t>{3, 0, 0}, &why));
  EXPECT_EQ(why, RecordError::kTooShort);
  EXPECT_FALSE(MessageRecord::FromBytes(std::vector<uint8_t>{}, &why));
  EXPECT_EQ(why, RecordError::kTooShort);

  auto bare = MessageRecord::FromBytes(std::vector<uint8_t>{4, 0, 0, 0});
  ASSERT_TRUE(bare);  // only the prefix: valid, all fields empty
  EXPECT_EQ(bare->Fields().time, "");
  EXPECT_EQ(bare->Fields().text, "");
}

// Stored bytes with a correct prefix and the given body.
MessageRecord Stored(std::string_view body) {
  std::vector<uint8_t> b(4);
  b.insert(b.end(), body.begin(), body.end());
  auto n = static_cast<uint32_t>(b.size());
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
  auto r = MessageRecord::FromBytes(std::move(b));
  EXPECT_TRUE(r);
  return *r;
}

TEST(MessageRecord, FieldReaderStopsAtTheBlockEnd) {
  using namespace std::string_view_literals;
  // Missing terminators: the last string runs to the block's end, the fields
  // behind it are empty.
  MessageRecord r1 = Stored("2003-10-20 09:05:07\0ALICE\0BO"sv);
  MessageFields f = r1.Fields();
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BO");
  EXPECT_EQ(f.text, "");

  MessageRecord r2 = Stored("no zero byte anywhere"sv);
  f = r2.Fields();
  EXPECT_EQ(f.time, "no zero byte anywhere");
  EXPECT_EQ(f.sender, "");

  // Garbage behind the text's terminator is ignored.
  MessageRecord r3 = Stored("T\0S\0R\0text\0junk\0more"sv);
  f = r3.Fields();
  EXPECT_EQ(f.time, "T");
  EXPECT_EQ(f.sender, "S");
  EXPECT_EQ(f.receiver, "R");
  EXPECT_EQ(f.text, "text");

  // The terminator is the last byte: the next field finds no bytes left.
  MessageRecord r4 = Stored("T\0S\0"sv);
  f = r4.Fields();
  EXPECT_EQ(f.sender, "S");
  EXPECT_EQ(f.receiver, "");
  EXPECT_EQ(f.text, "");
}

TEST(MessageRecord, EqualityIsByteForByteIncludingTime) {
  auto d = BuildMessengerDatagram("ALICE", "BOB", "hi");
  MessageRecord a = MessageRecord::FromDatagram(d, "2003-10-20 09:05:07");
  MessageRecord same = MessageRecord::FromDatagram(d, "2003-10-20 09:05:07");
  MessageRecord nextSecond = MessageRecord::FromDatagram(d, "2003-10-20 09:05:08");
  MessageRecord otherText = MessageRecord::FromDatagram(
      BuildMessengerDatagram("ALICE", "BOB", "ho"), "2003-10-20 09:05:07");
  EXPECT_EQ(a, same);
  EXPECT_EQ(a.Hash(), same.Hash());
  EXPECT_NE(a, nextSecond);
  EXPECT_NE(a, otherText);
  // The same fields but a record of another size (captured vs. mailslot).
  EXPECT_NE(a, MessageRecord::FromFields("2003-10-20 09:05:07", "ALICE", "BOB", "hi"));

  std::unordered_set<MessageRecord> set{a, same, nextSecond, otherText};
  EXPECT_EQ(set.size(), 3u);
}

}  // namespace
}  // namespace vantrel
