// The receive ladder and the mailslot queue.
#include <gtest/gtest.h>

#include <string>

#include "CaptureNetwork.h"
#include "TestFrames.h"
#include "transport/MailslotEndpoint.h"

namespace vantrel {
namespace {

using namespace testframes;

Identity Pc1() { return MakeIdentity("PC1", "WORKGROUP", {}, {}); }

Bytes Body(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A UDP payload carrying body to the mailslot, from ALICEPC to `to`.
Bytes Frame(const Bytes& body, Bytes to = Name34("PC1", 0x00), uint8_t type = 0x10) {
  DgmFrame d;
  d.type = type;
  d.destination = std::move(to);
  SmbFrame s;
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
  // Names as some senders write them: lower case, zero bytes as padding.
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("pc1", 0x03, true))), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("PC1", 0x00, true, 0))), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("workgroup", 0x00, true, 0), 0x11)), MailslotDrop::kNone);
  EXPECT_EQ(q.Deliver(Frame(kHi, Name34("pc2", 0x00, true, 0))), MailslotDrop::kNotForUs);
  uint32_t size = 0, count = 0;
  q.Info(&size, &count);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(count, 7u);
  auto m = q.TakeFront();
  ASSERT_TRUE(m);
  EXPECT_EQ(*m, kHi);
  EXPECT_EQ(q.Counters().queued, 7u);
  EXPECT_EQ(q.Counters().Dropped(), 1u);
}

TEST(MailslotLadder, DropsTheEchoOfOurOwnGroupSendOnly) {
  MailslotQueue q(Pc1());
  const Ipv4Address me = Ipv4Address::FromOctets(198, 18, 0, 11);
  q.SetOwnSources({Ipv4Address::Loopback(), me}, 138);
  auto from = [](Bytes to, uint8_t type, std::string_view sender) {
    DgmFrame d;
    d.type = type;
    d.source = Name34(sender, 0x00);
    d.destination = std::move(to);
    SmbFrame s;
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
    SmbFrame s;
    s.mailslot = slot;
    s.data = kHi;
    DgmFrame d;
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
  DgmFrame d;
  d.destination = Name34("PC1", 0);
  SmbFrame s;
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

TEST(MailslotEndpoint, BindFailureIsKeptForStartUp) {
  testnet::CaptureNetwork net;
  MailslotEndpoint e(net, Pc1());
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
  MailslotEndpoint e(net, Pc1());
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

TEST(MailslotEndpoint, TakeAllHandsOverEverythingWaitingAndPutBackKeepsOrder) {
  testnet::CaptureNetwork net;
  MailslotEndpoint e(net, Pc1());
  EXPECT_FALSE(e.TakeAll());  // no mailslot held
  ASSERT_EQ(e.OpenMessageSlot(), 1);
  EXPECT_TRUE(e.TakeAll()->empty());
  const Bytes one = Body(std::string_view("A\0PC1\0one", 9));
  const Bytes two = Body(std::string_view("B\0PC1\0two", 9));
  e.Queue().Deliver(Frame(one));
  e.Queue().Deliver(Frame(two));
  auto all = e.TakeAll();
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ(all->front(), one);
  e.Queue().Deliver(Frame(kHi));  // arrives meanwhile
  e.PutBack(std::move(*all));
  uint32_t size = 0, count = 0;
  e.GetMailslotInfo(&size, &count);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(size, one.size());
  all = e.TakeAll();
  ASSERT_EQ(all->size(), 3u);
  EXPECT_EQ((*all)[1], two);
  EXPECT_EQ((*all)[2], kHi);
}

}  // namespace
}  // namespace vantrel
