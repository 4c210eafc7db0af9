// Browser-mailslot writes on the receive ladder: handed to the browse sink
// with where they came from, counted apart from the Messenger path; and the
// browse listener's decoding and dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFrames.h"
#include "transport/BrowseListener.h"
#include "transport/MailslotEndpoint.h"

namespace vantrel {
namespace {

using namespace testframes;

Identity Pc1() { return MakeIdentity("PC1", "LAB", {}, {}); }

struct Heard {
  bool lanman;
  std::optional<SocketAddress> source;
  NetbiosName sourceName;
  NetbiosName destination;
  Bytes data;
  bool ownEcho;
};

class RecordingSink : public IBrowseSink {
 public:
  std::vector<Heard> heard;
  void OnBrowseDatagram(const BrowseDatagram& d) override {
    heard.push_back({d.lanman, d.source, d.sourceName, d.destination,
                     Bytes(d.data.begin(), d.data.end()), d.ownEcho});
  }
};

const Bytes kAnnounce = Announce({});
const SocketAddress kAlice{Ipv4Address::FromOctets(198, 18, 0, 12), 138};

TEST(BrowseRouting, BrowserMailslotsGoToTheSinkWhateverTheDestination) {
  MailslotQueue q(Pc1());
  RecordingSink sink;
  q.SetBrowseSink(&sink);
  const Bytes msbrowse =
      Hex("20 41 42 41 43 46 50 46 50 45 4e 46 44 45 43 46 43 45 50 46 48 46"
          "44 45 46 46 50 46 50 41 43 41 42 00");
  // To WORKGROUP<1D>, <1E>, <00>, __MSBROWSE__<01>, another computer; case of
  // the mailslot name does not matter.
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x1d)), kAlice),
            MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x1e))), MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(AnnounceRequest("X"), Name34("LAB", 0x00))),
            MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, msbrowse)), MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, Name34("OTHER", 0x00), Name34("ALICEPC", 0),
                                          "\\mailslot\\browse", 0x10)),
            MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x00), Name34("ALICEPC", 0),
                                          "\\MAILSLOT\\LANMAN")),
            MailslotDrop::kBrowse);
  // Other mailslots stay other mailslots; Messenger writes are untouched.
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x1c), Name34("ALICEPC", 0),
                                          "\\MAILSLOT\\NET\\NETLOGON")),
            MailslotDrop::kOtherMailslot);
  EXPECT_EQ(q.Deliver(BrowseDatagramFrame(Str(std::string_view("A\0PC1\0hi", 8)), Name34("PC1", 3),
                                          Name34("ALICEPC", 0), "\\MAILSLOT\\MESSNGR", 0x10)),
            MailslotDrop::kNone);

  ASSERT_EQ(sink.heard.size(), 6u);
  const Heard& h = sink.heard[0];
  EXPECT_FALSE(h.lanman);
  ASSERT_TRUE(h.source);
  EXPECT_EQ(*h.source, kAlice);
  EXPECT_EQ(h.sourceName.ToString(), "ALICEPC<00>");
  EXPECT_EQ(h.destination.ToString(), "LAB<1d>");
  EXPECT_EQ(h.data, kAnnounce);
  EXPECT_FALSE(h.ownEcho);
  EXPECT_FALSE(sink.heard[1].source);
  EXPECT_EQ(sink.heard[3].destination.Suffix(), 0x01);
  EXPECT_TRUE(sink.heard[5].lanman);

  MailslotCounters c = q.Counters();
  EXPECT_EQ(c.received, 8u);
  EXPECT_EQ(c.browse, 6u);
  EXPECT_EQ(c.queued, 1u);
  EXPECT_EQ(c.otherMailslot, 1u);
  EXPECT_EQ(c.Dropped(), 1u);  // handing on is not dropping
}

TEST(BrowseRouting, OwnEchoIsMarkedNotDropped) {
  MailslotQueue q(Pc1());
  RecordingSink sink;
  q.SetBrowseSink(&sink);
  const Ipv4Address me = Ipv4Address::FromOctets(198, 18, 0, 11);
  q.SetOwnSources({me}, 138);
  const Bytes ours = BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x1d), Name34("pc1", 0, true));
  EXPECT_EQ(q.Deliver(ours, SocketAddress{me, 138}), MailslotDrop::kBrowse);
  EXPECT_EQ(q.Deliver(ours, SocketAddress{me, 40000}), MailslotDrop::kBrowse);  // another program
  EXPECT_EQ(q.Deliver(ours, kAlice), MailslotDrop::kBrowse);  // our name from elsewhere
  ASSERT_EQ(sink.heard.size(), 3u);
  EXPECT_TRUE(sink.heard[0].ownEcho);
  EXPECT_FALSE(sink.heard[1].ownEcho);
  EXPECT_FALSE(sink.heard[2].ownEcho);
  EXPECT_EQ(q.Counters().ownEcho, 0u);
}

TEST(BrowseRouting, BatchesRouteTheSameWayAndBadFramesNeverReachTheSink) {
  MailslotQueue q(Pc1());
  RecordingSink sink;
  q.SetBrowseSink(&sink);
  Bytes good = BrowseDatagramFrame(kAnnounce, Name34("LAB", 0x1d));
  Bytes notSmb = good;
  notSmb[82] = 0;
  Bytes fragment = good;
  fragment[1] = 0x03;
  std::vector<ReceivedDatagram> batch;
  for (const Bytes& b : {good, notSmb, fragment, good}) batch.push_back({kAlice, b, false});
  batch.push_back({kAlice, good, true});  // cut by the socket
  q.DeliverBatch(batch);
  EXPECT_EQ(sink.heard.size(), 2u);
  MailslotCounters c = q.Counters();
  EXPECT_EQ(c.browse, 2u);
  EXPECT_EQ(c.notMailslotWrite, 1u);
  EXPECT_EQ(c.fragments, 1u);
  EXPECT_EQ(c.badDatagram, 1u);
}

class RecordingHandler : public IBrowseFrameHandler {
 public:
  std::vector<BrowseFrame> frames;
  void OnBrowseFrame(const BrowseFrame& f, const BrowseDatagram&) override { frames.push_back(f); }
};

TEST(BrowseListener, DecodesOnceAndHandsEachFrameToEveryHandler) {
  BrowseListener listener;
  RecordingHandler a, b;
  listener.AddHandler(&a);
  listener.AddHandler(&b);
  auto feed = [&](const Bytes& data, bool lanman = false) {
    BrowseDatagram d;
    d.lanman = lanman;
    d.data = data;
    listener.OnBrowseDatagram(d);
  };
  AnnounceFrame domain;
  domain.opcode = 0x0C;
  AnnounceFrame lmb;
  lmb.opcode = 0x0F;
  feed(kAnnounce);
  feed(AnnounceRequest("SAMBA"));
  feed(Announce(domain));
  feed(Announce(lmb));
  feed(LanmanAnnounce(3, 60, "OS2", ""), true);
  feed(Hex("08 01 00 0f 01 20"));                          // an election: not for us
  feed(Bytes(kAnnounce.begin(), kAnnounce.begin() + 20));  // cut short
  feed({});
  ASSERT_EQ(a.frames.size(), 5u);
  EXPECT_EQ(b.frames.size(), 5u);
  EXPECT_EQ(a.frames[1].kind, BrowseFrameKind::kAnnouncementRequest);
  EXPECT_EQ(a.frames[4].announcement.name, "OS2");
  BrowseCounters c = listener.Counters();
  EXPECT_EQ(c.datagrams, 8u);
  EXPECT_EQ(c.hostAnnouncements, 2u);
  EXPECT_EQ(c.requests, 1u);
  EXPECT_EQ(c.domainAnnouncements, 1u);
  EXPECT_EQ(c.localMasterAnnouncements, 1u);
  EXPECT_EQ(c.otherFrames, 1u);
  EXPECT_EQ(c.undecodable, 2u);
}

}  // namespace
}  // namespace vantrel
