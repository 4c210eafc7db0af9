// The receive ladder, the mailslot queue and ReadMessageSlot.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "CaptureNetwork.h"
#include "TestFrames.h"
#include "fakes/FakeSystem.h"
#include "transport/MailslotEndpoint.h"

namespace vantrel {
namespace {

using namespace testframes;

Identity Pc1() { return MakeIdentity("PC1", "WORKGROUP", {}, {}); }

Bytes Body(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A UDP payload carrying body to the mailslot, from ALICEPC to `to`.
Bytes Frame(const Bytes& body, Bytes to = Name34("PC1", 0x00), uint8_t type = 0x10) {
  DgmSpec d;
  d.type = type;
  d.destination = std::move(to);
  SmbSpec s;
  s.data = body;
  d.userData = Smb(s);
  return Dgm(d);
}

const Bytes kHi = Body(std::string_view("ALICE\0BOB\0hi", 12));

TEST(MailslotLadder, QueuesMessagesForOurNames) {
  MailslotQueue q(Pc1());
  Bytes star = Hex("20 43 4b") + Bytes(30, 'A') + Hex("00");
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("PC1", 0x00))), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("pc1", 0x03))), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("WORKGROUP", 0x00), 0x11)), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, star, 0x12)), MailslotDrop::kNone);
  uint32_t size = 0, count = 0;
  q.Info(&size, &count);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(count, 4u);
  auto m = q.TakeFront();
  ASSERT_TRUE(m);
  EXPECT_EQ(*m, kHi);
  EXPECT_EQ(q.Counters().queued, 4u);
  EXPECT_EQ(q.Counters().Dropped(), 0u);
}

TEST(MailslotLadder, DropsTheEchoOfOurOwnGroupSendOnly) {
  MailslotQueue q(Pc1());
  const Ipv4Address me = Ipv4Address::FromOctets(198, 18, 0, 11);
  q.SetOwnSources({Ipv4Address::Loopback(), me}, 138);
  auto from = [](Bytes to, uint8_t type, std::string_view sender) {
    DgmSpec d;
    d.type = type;
    d.source = Name34(sender, 0x00);
    d.destination = std::move(to);
    SmbSpec s;
    s.data = kHi;
    d.userData = Smb(s);
    return Dgm(d);
  };
  Bytes star = Hex("20 43 4b") + Bytes(30, 'A') + Hex("00");
  const SocketAddress self{me, 138};
  // Our workgroup and "*" sends, back through the broadcast: dropped.
  EXPECT_EQ(q.Deliver(from(Name34("WORKGROUP", 0x00), 0x11, "PC1"), self), MailslotDrop::kOwnEcho);
  EXPECT_EQ(q.Deliver(from(star, 0x12, "pc1"), self), MailslotDrop::kOwnEcho);
  // A message to our own name is kept, and so is a group send from another
  // program on this computer (another port) or another computer.
  EXPECT_EQ(q.Deliver(from(Name34("PC1", 0x00), 0x10, "PC1"), self), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(from(Name34("WORKGROUP", 0x00), 0x11, "PC1"), SocketAddress{me, 40000}),
            MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(from(Name34("WORKGROUP", 0x00), 0x11, "PC2"),
                      SocketAddress{Ipv4Address::FromOctets(198, 18, 0, 12), 138}),
            MailslotDrop::kNone);
  // Our name as source from another address is somebody else's mistake, not an echo.
  EXPECT_EQ(q.Deliver(from(Name34("WORKGROUP", 0x00), 0x11, "PC1"),
                      SocketAddress{Ipv4Address::FromOctets(198, 18, 0, 12), 138}),
            MailslotDrop::kNone);
  EXPECT_EQ(q.Counters().ownEcho, 2u);
  EXPECT_EQ(q.Counters().queued, 4u);
}

TEST(MailslotLadder, DropsAndCountsEverythingElse) {
  MailslotQueue q(Pc1());
  // Names that are not ours: another computer, our name with other suffixes,
  // the workgroup's <1d>, a blank-padded "*", our name in a scope.
  Bytes scoped = Name34("PC1", 0x00);
  scoped.back() = 3;
  for (uint8_t b : Str("lab")) scoped.push_back(b);
  scoped.push_back(0);
  for (const Bytes& to : {Name34("PC2", 0x00), Name34("PC1", 0x20), Name34("WORKGROUP", 0x1d),
                          Name34("WORKGROUP", 0x03), Name34("*", 0x00), scoped}) {
    EXPECT_EQ(q.Deliver(Frame(kHi, to)), MailslotDrop::kNotForUs);
  }
  // Other mailslots; the name is compared whole, without regard to case.
  auto withSlot = [](const char* slot) {
    SmbSpec s;
    s.mailslot = slot;
    s.data = kHi;
    DgmSpec d;
    d.destination = Name34("PC1", 0);
    d.userData = Smb(s);
    return Dgm(d);
  };
  EXPECT_EQ(q.Deliver(withSlot("\\MAILSLOT\\BROWSE")), MailslotDrop::kOtherMailslot);
  EXPECT_EQ(q.Deliver(withSlot("\\MAILSLOT\\MESSNGR2")), MailslotDrop::kOtherMailslot);
  EXPECT_EQ(q.Deliver(withSlot("\\mailslot\\Messngr")), MailslotDrop::kNone);

  Bytes frame = Frame(kHi);
  Bytes fragment = frame;
  fragment[1] = 0x03;
  Bytes error = Hex("13 02 00 01 c0 a8 01 0a 00 8a 82");
  Bytes notSmb = frame;
  notSmb[82] = 0;  // SMB protocol byte
  EXPECT_EQ(q.Deliver(fragment), MailslotDrop::kFragment);
  EXPECT_EQ(q.Deliver(error), MailslotDrop::kWrongType);
  EXPECT_EQ(q.Deliver(notSmb), MailslotDrop::kNotMailslotWrite);
  EXPECT_EQ(q.Deliver(std::span(frame).first(40)), MailslotDrop::kBadDatagram);
  EXPECT_EQ(q.Deliver({}), MailslotDrop::kBadDatagram);

  MailslotCounters c = q.Counters();
  EXPECT_EQ(c.received, 14u);
  EXPECT_EQ(c.queued, 1u);
  EXPECT_EQ(c.notForUs, 6u);
  EXPECT_EQ(c.otherMailslot, 2u);
  EXPECT_EQ(c.fragments, 1u);
  EXPECT_EQ(c.wrongType, 1u);
  EXPECT_EQ(c.notMailslotWrite, 1u);
  EXPECT_EQ(c.badDatagram, 2u);
  EXPECT_EQ(c.Dropped(), 13u);
}

TEST(MailslotLadder, ReferenceExampleIsForBobpcOnly) {
  MailslotQueue bob(MakeIdentity("BOBPC", "WORKGROUP", {}, {}));
  MailslotQueue other(Pc1());
  EXPECT_EQ(bob.Deliver(ReferenceExampleFrame()), MailslotDrop::kNone);
  EXPECT_EQ(other.Deliver(ReferenceExampleFrame()), MailslotDrop::kNotForUs);
  EXPECT_EQ(*bob.TakeFront(), Body(std::string_view("ALICE\0BOB\0Hello", 15)));
}

TEST(MailslotLadder, DatagramLengthMismatchIsAcceptedAndCounted) {
  MailslotQueue q(Pc1());
  DgmSpec d;
  d.destination = Name34("PC1", 0);
  SmbSpec s;
  s.data = kHi;
  d.userData = Smb(s);
  d.length = 3;
  EXPECT_EQ(q.Deliver(Dgm(d)), MailslotDrop::kNone);
  EXPECT_EQ(q.Counters().lengthMismatch, 1u);
  EXPECT_EQ(*q.TakeFront(), kHi);
}

TEST(MailslotLadder, ByteCeilingRefusesButKeepsOrder) {
  MailslotQueue q(Pc1(), 30);
  EXPECT_EQ(q.Deliver(Frame(kHi)), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi)), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi)), MailslotDrop::kQueueFull);
  ASSERT_TRUE(q.TakeFront());
  EXPECT_EQ(q.Deliver(Frame(kHi)), MailslotDrop::kNone);
  EXPECT_EQ(q.Counters().queueFull, 1u);
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
  ReadMessageSlotTest() : endpoint(net, sys, box, Pc1()) {}
  void SetUp() override { ASSERT_EQ(endpoint.OpenMessageSlot(), 1); }
  void Arrive(std::string_view datagram) {
    ASSERT_EQ(endpoint.Queue().Deliver(Frame(Body(datagram))), MailslotDrop::kNone);
  }

  testnet::CaptureNetwork net;
  ScriptedTime sys;
  fakes::RecordingMessageBox box;
  MailslotEndpoint endpoint;
  std::vector<MessageRecord> list;
};

TEST_F(ReadMessageSlotTest, RecordLayoutOfOneDatagram) {
  Arrive(std::string_view("ALICE\0BOB\0hi", 12));
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
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
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 1), 1);
  EXPECT_EQ(list.size(), 1u);
  endpoint.CloseMessageSlot();
  uint32_t size = 0, count = 0;
  EXPECT_EQ(endpoint.GetMailslotInfo(&size, &count), 0);
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 1), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(ReadMessageSlotTest, EmptySenderAndAutomaticMessages) {
  Arrive(std::string_view("\0BOB\0x", 6));
  Arrive(std::string_view("", 0));
  Arrive(std::string_view("~PC2\0PC1\0I've got your message", 30));
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  EXPECT_TRUE(list.empty());
  Arrive(std::string_view("~PC2\0PC1\0I've got your message", 30));
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 1), 1);
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
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
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
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  EXPECT_EQ(list.size(), 2u);
  // The previous record is not remembered from one drain to the next.
  list.clear();
  Arrive(a);
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  Arrive(a);
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], list[1]);
}

TEST_F(ReadMessageSlotTest, NoMemoryKeepsTheMessageForTheNextPoll) {
  Arrive(std::string_view("A\0PC1\0one", 9));
  Arrive(std::string_view("B\0PC1\0two", 9));
  sys.throwOnce = true;
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 0);
  EXPECT_EQ(box.shown, std::vector<std::string>{"Insufficient memory."});
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
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
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  // Only A and B were waiting when the drain began; the two C that arrived
  // while they were stored wait for the next poll.
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Fields().sender, "B");
  uint32_t size = 0, count = 0;
  endpoint.GetMailslotInfo(&size, &count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(endpoint.ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 3u);  // C, then its same-second duplicate dropped
  EXPECT_EQ(list[2].Fields().sender, "C");
}

TEST(MailslotEndpoint, BindFailureIsKeptForStartUp) {
  testnet::CaptureNetwork net;
  fakes::FakeSystemInfo sys;
  fakes::RecordingMessageBox box;
  MailslotEndpoint e(net, sys, box, Pc1());
  net.bindFailure = BindFailure::InUse;
  EXPECT_EQ(e.OpenMessageSlot(), 0);
  EXPECT_FALSE(e.IsOpen());
  EXPECT_EQ(e.OpenFailure(), BindFailure::InUse);
  net.bindFailure = BindFailure::NoPermission;
  EXPECT_EQ(e.OpenMessageSlot(), 0);
  EXPECT_EQ(e.OpenFailure(), BindFailure::NoPermission);
  ASSERT_EQ(net.binds.size(), 2u);
  EXPECT_EQ(net.binds[0], (SocketAddress{Ipv4Address::Any(), 138}));
  net.bindFailure = BindFailure::None;
  EXPECT_EQ(e.OpenMessageSlot(), 1);
  EXPECT_EQ(e.OpenFailure(), BindFailure::None);
  // Reopening drops what waited in the old mailslot.
  e.Queue().Deliver(Frame(kHi));
  EXPECT_EQ(e.OpenMessageSlot(), 1);
  uint32_t size = 0, count = 0;
  e.GetMailslotInfo(&size, &count);
  EXPECT_EQ(count, 0u);
}

TEST(MailslotEndpoint, ReadMailslotMessageNeedsRoomForTheWholeMessage) {
  testnet::CaptureNetwork net;
  fakes::FakeSystemInfo sys;
  fakes::RecordingMessageBox box;
  MailslotEndpoint e(net, sys, box, Pc1());
  ASSERT_EQ(e.OpenMessageSlot(), 1);
  e.Queue().Deliver(Frame(kHi));
  uint8_t small[11];
  uint32_t read = 0;
  EXPECT_EQ(e.ReadMailslotMessage(small, &read), 0);
  uint8_t buf[12];
  EXPECT_EQ(e.ReadMailslotMessage(buf, &read), 1);
  EXPECT_EQ(read, 12u);
  EXPECT_EQ(Bytes(buf, buf + 12), kHi);
  EXPECT_EQ(e.ReadMailslotMessage(buf, &read), 0);
}

}  // namespace
}  // namespace vantrel
