// ReadMessageSlot: the drain of the mailslot queue into Message records.
#include "receive/SlotReader.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "fakes/FakeSystem.h"
#include "transport/CaptureNetwork.h"
#include "transport/TestFrames.h"

namespace vantrel {
namespace {

using namespace testframes;

Identity Pc1() { return MakeIdentity("PC1", "WORKGROUP", {}, {}); }

Bytes Body(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A UDP payload carrying body to the mailslot of PC1.
Bytes Frame(const Bytes& body) {
  DgmFrame d;
  d.destination = Name34("PC1", 0x00);
  SmbFrame s;
  s.data = body;
  d.userData = Smb(s);
  return Dgm(d);
}

// System information whose time text follows a script, one entry per call,
// and which can run an action on each call (an arrival during a drain).
class ScriptedTime : public fakes::FakeSystemInfo {
 public:
  std::deque<std::string> times;
  std::function<void()> onCall;
  bool throwOnce = false;
  std::string LocalTimeText() override {
    if (onCall) onCall();
    if (throwOnce) {
      throwOnce = false;
      throw std::bad_alloc();
    }
    if (times.empty()) return timeText;
    std::string t = times.front();
    times.pop_front();
    return t;
  }
};

class ReadMessageSlotTest : public ::testing::Test {
 protected:
  ReadMessageSlotTest() : endpoint(net, Pc1()), reader(endpoint, sys, box) {}
  void SetUp() override { ASSERT_EQ(endpoint.OpenMessageSlot(), 1); }
  void Arrive(std::string_view datagram) {
    ASSERT_EQ(endpoint.Queue().Deliver(Frame(Body(datagram))), MailslotDrop::kNone);
  }

  testnet::CaptureNetwork net;
  ScriptedTime sys;
  fakes::RecordingMessageBox box;
  MailslotEndpoint endpoint;
  SlotReader reader;
  std::vector<MessageRecord> list;
};

TEST_F(ReadMessageSlotTest, RecordLayoutOfOneDatagram) {
  Arrive(std::string_view("ALICE\0BOB\0hi", 12));
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 1u);
  Bytes expected = Hex("25 00 00 00") + Str("2003-10-20 09:05:07") + Hex("00") +
                   Body(std::string_view("ALICE\0BOB\0hi", 12)) + Hex("00");
  EXPECT_EQ(Bytes(list[0].bytes().begin(), list[0].bytes().end()), expected);
  EXPECT_EQ(list[0].size(), 37u);
  uint32_t size = 0, count = 0;
  EXPECT_EQ(endpoint.GetMailslotInfo(&size, &count), 1);
  EXPECT_EQ(size, MAILSLOT_NO_MESSAGE);
  EXPECT_EQ(count, 0u);
}

TEST_F(ReadMessageSlotTest, EmptyMailslotAndNoMailslot) {
  list.push_back(MessageRecord::FromFields("2003-10-20 09:00:00", "X", "Y", "old"));
  EXPECT_EQ(reader.ReadMessageSlot(list, 1), 1);
  EXPECT_EQ(list.size(), 1u);
  endpoint.CloseMessageSlot();
  uint32_t size = 0, count = 0;
  EXPECT_EQ(endpoint.GetMailslotInfo(&size, &count), 0);
  EXPECT_EQ(reader.ReadMessageSlot(list, 1), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(ReadMessageSlotTest, EmptySenderAndAutomaticMessages) {
  Arrive(std::string_view("\0BOB\0x", 6));
  Arrive(std::string_view("", 0));
  Arrive(std::string_view("~PC2\0PC1\0I've got your message", 30));
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  EXPECT_TRUE(list.empty());
  Arrive(std::string_view("~PC2\0PC1\0I've got your message", 30));
  EXPECT_EQ(reader.ReadMessageSlot(list, 1), 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Fields().sender, "~PC2");
}

TEST_F(ReadMessageSlotTest, SameSecondDuplicateAgainstThePreviousRecordOnly) {
  std::string_view a("A\0PC1\0one", 9), b("B\0PC1\0two", 9);
  // A A A in one second: one kept (a dropped record is still the previous one).
  Arrive(a);
  Arrive(a);
  Arrive(a);
  // A B A: the previous record is B, so the second A stays.
  Arrive(b);
  Arrive(a);
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Fields().sender, "A");
  EXPECT_EQ(list[1].Fields().sender, "B");
  EXPECT_EQ(list[2].Fields().sender, "A");
}

TEST_F(ReadMessageSlotTest, DuplicateInAnotherSecondOrAnotherDrainIsKept) {
  std::string_view a("A\0PC1\0one", 9);
  sys.times = {"2003-10-20 09:05:07", "2003-10-20 09:05:08"};
  Arrive(a);
  Arrive(a);
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  EXPECT_EQ(list.size(), 2u);
  // The previous record is not remembered from one drain to the next.
  list.clear();
  Arrive(a);
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  Arrive(a);
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], list[1]);
}

TEST_F(ReadMessageSlotTest, NoMemoryKeepsTheMessageForTheNextPoll) {
  Arrive(std::string_view("A\0PC1\0one", 9));
  Arrive(std::string_view("B\0PC1\0two", 9));
  sys.throwOnce = true;
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 0);
  EXPECT_EQ(box.shown, std::vector<std::string>{"Insufficient memory."});
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Fields().sender, "A");
}

TEST_F(ReadMessageSlotTest, ArrivalsDuringADrainWaitForTheNextPoll) {
  int arrivals = 0;
  sys.onCall = [&] {
    if (arrivals++ < 1000) endpoint.Queue().Deliver(Frame(Body(std::string_view("C\0PC1\0x", 7))));
  };
  Arrive(std::string_view("A\0PC1\0one", 9));
  Arrive(std::string_view("B\0PC1\0two", 9));
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  // Only A and B were waiting when the drain began; the two C that arrived
  // while they were stored wait for the next poll.
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Fields().sender, "B");
  uint32_t size = 0, count = 0;
  endpoint.GetMailslotInfo(&size, &count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(reader.ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 3u);  // C, then its same-second duplicate dropped
  EXPECT_EQ(list[2].Fields().sender, "C");
}

}  // namespace
}  // namespace vantrel
