// Our host announcements: what goes on the wire, the schedule, answers to
// announcement requests (and their limits), our own requests, going down.
// Driven by Tick with a clock of the test's own; one test runs the thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "CaptureNetwork.h"
#include "TestFrames.h"
#include "transport/Announcer.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

using namespace testframes;
using namespace std::chrono_literals;
using testnet::CaptureNetwork;
using testnet::Nic;
using Clock = Announcer::Clock;

const Ipv4Address kMask = Ipv4Address::FromOctets(255, 255, 255, 0);
const Ipv4Address kEth0 = Ipv4Address::FromOctets(198, 18, 0, 11);
const Ipv4Address kEth1 = Ipv4Address::FromOctets(10, 1, 2, 3);

// One captured frame, unwrapped.
struct Sent {
  SocketAddress to;
  NetbiosDatagram header;
  std::string mailslot;
  Bytes data;  // the browser frame
};

Sent Unwrap(const testnet::SentDatagram& s) {
  auto d = ParseNetbiosDatagram(s.bytes);
  EXPECT_TRUE(d.ok());
  EXPECT_FALSE(d.lengthMismatch);
  auto smb = ParseMailslotWrite(d.datagram.userData);
  EXPECT_TRUE(smb.ok());
  return {s.to, d.datagram, smb.write.name, Bytes(smb.write.data.begin(), smb.write.data.end())};
}

class AnnouncerTest : public ::testing::Test {
 protected:
  AnnouncerTest() {
    net.nics = {
        Nic("lo", Ipv4Address::Loopback(), Ipv4Address::FromOctets(255, 0, 0, 0), false, true),
        Nic("eth0", kEth0, kMask), Nic("eth1", kEth1, kMask),
        Nic("ppp0", Ipv4Address::FromOctets(192, 0, 2, 1), kMask, false)};
    socket = net.BindUdp({Ipv4Address::Any(), 138}, {}).socket;
  }

  AnnouncerOptions Options() {
    AnnouncerOptions o;
    o.comment = "Front desk";
    o.now = [this] { return now; };
    o.seed = 7;
    return o;
  }

  // The browser frames sent since the last call, one per frame (the copy for eth0).
  std::vector<Sent> Frames() {
    std::vector<Sent> out;
    for (; taken < net.sent.size(); ++taken) {
      Sent s = Unwrap(net.sent[taken]);
      if (s.header.sourceIp == kEth0) out.push_back(std::move(s));
    }
    return out;
  }

  // Ticks at every deadline up to `until`; the times at which something went out.
  std::vector<Clock::duration> RunUntil(Announcer& a, Clock::time_point until) {
    std::vector<Clock::duration> at;
    for (;;) {
      size_t before = net.sent.size();
      Clock::time_point next = a.Tick(now);
      if (net.sent.size() != before) at.push_back(now - start);
      if (next > until) break;
      now = std::max(now, next);
    }
    now = until;
    return at;
  }

  const Clock::time_point start{std::chrono::hours(100)};
  Clock::time_point now = start;
  CaptureNetwork net;
  std::unique_ptr<IUdpSocket> socket;
  Identity identity = MakeIdentity("PC1", "LAB", {}, {});
  size_t taken = 0;
};

TEST_F(AnnouncerTest, HostAnnouncementOnEveryBroadcastInterface) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  EXPECT_TRUE(net.sent.empty());  // nothing before the first Tick
  a.Tick(now);
  ASSERT_EQ(net.sent.size(), 2u);  // eth0 and eth1; not lo, not the point-to-point link
  for (size_t i = 0; i < 2; ++i) {
    const Ipv4Address nic = i == 0 ? kEth0 : kEth1;
    Sent s = Unwrap(net.sent[i]);
    EXPECT_EQ(net.sent[i].from.port, 138);  // from the mailslot's own socket
    EXPECT_EQ(s.to, (SocketAddress{Ipv4Address(nic.value | 0xFF), 138}));
    EXPECT_EQ(s.header.type, kDgmDirectGroup);
    EXPECT_EQ(s.header.flags, kDgmFlagFirst | kDgmNodeB);
    EXPECT_EQ(s.header.sourceIp, nic);
    EXPECT_EQ(s.header.sourcePort, 138);
    EXPECT_EQ(s.header.source.ToString(), "PC1<00>");
    EXPECT_EQ(s.header.destination.ToString(), "LAB<1d>");
    EXPECT_EQ(s.mailslot, "\\MAILSLOT\\BROWSE");
    AnnounceFrame want;
    want.periodicity = 60000;
    want.name = Field16("PC1");
    want.serverType = 0x00000001;  // a workstation, no server
    EXPECT_EQ(s.data, Announce(want));
  }
  // The datagrams' ids differ from frame to frame, not between the copies of one.
  EXPECT_EQ(Unwrap(net.sent[0]).header.id, Unwrap(net.sent[1]).header.id);
  AnnouncerCounters c = a.Counters();
  EXPECT_EQ(c.announcements, 1u);
  EXPECT_EQ(c.sendFailures, 0u);
}

TEST_F(AnnouncerTest, ScheduleDoublesUpToTwelveMinutes) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  std::vector<Clock::duration> at = RunUntil(a, start + 65min);
  EXPECT_EQ(at, (std::vector<Clock::duration>{0min, 1min, 2min, 4min, 8min, 16min, 28min, 40min,
                                              52min, 64min}));
  std::vector<uint32_t> periods;
  for (const Sent& s : Frames())
    periods.push_back(ParseBrowseFrame(s.data).frame.announcement.periodicityMs);
  EXPECT_EQ(periods, (std::vector<uint32_t>{60000, 60000, 120000, 240000, 480000, 720000, 720000,
                                            720000, 720000, 720000}));
  EXPECT_EQ(Announcer::IntervalAfter(1000), 12min);
}

BrowseDatagram RequestTo(NetbiosName to, bool ownEcho = false) {
  BrowseDatagram d;
  d.destination = std::move(to);
  d.ownEcho = ownEcho;
  return d;
}

BrowseFrame Request() {
  BrowseFrame f;
  f.kind = BrowseFrameKind::kAnnouncementRequest;
  f.responseName = "SAMBA";
  return f;
}

TEST_F(AnnouncerTest, AnswersARequestToTheWorkgroupWithinThirtySeconds) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  RunUntil(a, start + 5min);  // announced at 0, 1, 2, 4 minutes
  Frames();
  a.OnBrowseFrame(Request(), RequestTo(NetbiosName::FromName("lab", 0x00)));
  std::vector<Clock::duration> at = RunUntil(a, start + 5min + 31s);
  ASSERT_EQ(at.size(), 1u);
  EXPECT_GE(at[0], 5min);
  EXPECT_LE(at[0], 5min + 30s);
  AnnouncerCounters c = a.Counters();
  EXPECT_EQ(c.answers, 1u);
  EXPECT_EQ(c.requestsHeard, 1u);
  // The answer does not move the schedule: the next one is still at 8 minutes.
  at = RunUntil(a, start + 8min);
  ASSERT_EQ(at.size(), 1u);
  EXPECT_EQ(at[0], 8min);
}

TEST_F(AnnouncerTest, RequestsNotForUsAreIgnored) {
  Announcer a(net, identity, Options());
  a.OnBrowseFrame(Request(), RequestTo(NetbiosName::FromName("LAB", 0)));  // stopped
  a.Start(socket.get(), false);
  a.Tick(now);
  Frames();
  NetbiosName scoped = NetbiosName::FromName("LAB", 0);
  ASSERT_TRUE(scoped.SetScope("corp"));
  for (const NetbiosName& to :
       {NetbiosName::FromName("LAB", 0x1d), NetbiosName::FromName("LAB", 0x1e),
        NetbiosName::FromName("OTHER", 0), NetbiosName::FromName("PC1", 0), scoped}) {
    a.OnBrowseFrame(Request(), RequestTo(to));
  }
  a.OnBrowseFrame(Request(), RequestTo(NetbiosName::FromName("LAB", 0), true));  // our own echo
  // Other frames are not requests.
  BrowseFrame host;
  host.kind = BrowseFrameKind::kHostAnnouncement;
  a.OnBrowseFrame(host, RequestTo(NetbiosName::FromName("LAB", 0)));
  EXPECT_TRUE(RunUntil(a, start + 59s).empty());
  AnnouncerCounters c = a.Counters();
  EXPECT_EQ(c.requestsIgnored, 7u);
  EXPECT_EQ(c.requestsHeard, 0u);
}

TEST_F(AnnouncerTest, AFloodOfRequestsGivesAFewAnnouncements) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  a.Tick(now);
  Frames();
  // Ten requests a second for twenty minutes.
  std::vector<Clock::time_point> sentAt;
  uint64_t requests = 0;
  for (const Clock::time_point end = start + 20min; now < end; now += 100ms) {
    a.OnBrowseFrame(Request(), RequestTo(NetbiosName::FromName("LAB", 0)));
    ++requests;
    const size_t before = net.sent.size();
    a.Tick(now);
    if (net.sent.size() != before) sentAt.push_back(now);
  }
  // The schedule (1, 2, 4, 8, 16 minutes) and at most one answer per 30 s
  // after any announcement; and the requests are answered.
  EXPECT_LE(sentAt.size(), 5u + 40u);
  EXPECT_GE(sentAt.size(), 20u);
  for (size_t i = 1; i < sentAt.size(); ++i) {
    const bool periodic = sentAt[i] - start == 1min || sentAt[i] - start == 2min ||
                          sentAt[i] - start == 4min || sentAt[i] - start == 8min ||
                          sentAt[i] - start == 16min;
    if (!periodic) {
      EXPECT_GE(sentAt[i] - sentAt[i - 1], 30s) << i;
    }
  }
  AnnouncerCounters c = a.Counters();
  EXPECT_EQ(c.requestsHeard, requests);
  EXPECT_GE(c.requestsCoalesced, requests - sentAt.size() - 1);  // one may still be pending
  EXPECT_LE(c.answers, 40u);
}

TEST_F(AnnouncerTest, OurOwnRequestGoesToTheWorkgroupAndIsLimited) {
  Announcer a(net, identity, Options());
  a.RequestAnnouncements();  // stopped: nothing
  a.Start(socket.get(), false);
  a.Tick(now);
  Frames();
  a.RequestAnnouncements();
  a.RequestAnnouncements();  // the same moment: one request
  a.Tick(now);
  now += 5s;
  a.RequestAnnouncements();  // within 10 s: suppressed
  a.Tick(now);
  now += 6s;
  a.RequestAnnouncements();
  a.Tick(now);
  std::vector<Sent> sent = Frames();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].header.destination.ToString(), "LAB<00>");
  EXPECT_EQ(sent[0].header.type, kDgmDirectGroup);
  EXPECT_EQ(sent[0].mailslot, "\\MAILSLOT\\BROWSE");
  EXPECT_EQ(sent[0].data, AnnounceRequest("PC1"));
  AnnouncerCounters c = a.Counters();
  EXPECT_EQ(c.requestsSent, 2u);
  EXPECT_EQ(c.requestsSuppressed, 2u);
}

TEST_F(AnnouncerTest, StopAnnouncesGoingDownOnce) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  RunUntil(a, start + 2min);
  Frames();
  a.Stop();
  a.Stop();
  std::vector<Sent> sent = Frames();
  ASSERT_EQ(sent.size(), 1u);
  auto r = ParseBrowseFrame(sent[0].data);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.frame.announcement.serverType, 0u);
  EXPECT_EQ(r.frame.announcement.name, "PC1");
  EXPECT_FALSE(a.Running());
  a.Tick(now + 1h);
  EXPECT_TRUE(Frames().empty());
}

TEST_F(AnnouncerTest, AListenerOnlyAsksAndNeverAnnouncesItself) {
  // vantrel-send listening while it enumerates: the computer's real program
  // may run elsewhere in the workgroup under the same name, and must not be
  // announced for, answered for or taken off the lists by it.
  AnnouncerOptions o = Options();
  o.announceSelf = false;
  Announcer a(net, identity, o);
  a.Start(socket.get(), false);
  a.OnBrowseFrame(Request(), RequestTo(NetbiosName::FromName("lab", 0x00)));
  a.RequestAnnouncements();
  RunUntil(a, start + 30min);
  a.Stop();
  std::vector<Sent> sent = Frames();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data, AnnounceRequest("PC1"));
  EXPECT_EQ(a.Counters().announcements, 0u);
}

TEST_F(AnnouncerTest, NoInterfaceOrRefusedSendsAreCounted) {
  Announcer a(net, identity, Options());
  a.Start(socket.get(), false);
  net.sendFails = true;
  a.Tick(now);
  EXPECT_EQ(a.Counters().sendFailures, 2u);
  net.sendFails = false;
  net.nics.resize(1);  // the loopback alone
  now += 1min;
  a.Tick(now);
  EXPECT_EQ(a.Counters().noInterface, 1u);
  // Only the interfaces the identity selects are used.
  net.nics = {Nic("eth0", kEth0, kMask), Nic("eth1", kEth1, kMask)};
  Announcer only(net, MakeIdentity("PC1", "LAB", {"eth1"}, {}), Options());
  size_t before = net.sent.size();
  only.Start(socket.get(), false);
  only.Tick(now);
  ASSERT_EQ(net.sent.size(), before + 1);
  EXPECT_EQ(Unwrap(net.sent.back()).header.sourceIp, kEth1);
}

// A socket that records under a lock and wakes a waiting test.
class WaitingSocket : public IUdpSocket {
 public:
  SocketAddress LocalAddress() const override { return {Ipv4Address::Any(), 138}; }
  bool SendTo(const SocketAddress&, std::span<const uint8_t> bytes) override {
    std::lock_guard lock(mutex_);
    frames_.emplace_back(bytes.begin(), bytes.end());
    cv_.notify_all();
    return true;
  }
  std::optional<size_t> ReceiveFrom(std::span<uint8_t>, SocketAddress*) override {
    return std::nullopt;
  }
  size_t ReceiveBatch(std::vector<ReceivedDatagram>&, size_t, size_t) override { return 0; }
  bool WaitReadable(std::chrono::milliseconds) override { return false; }
  void Interrupt() override {}
  bool WaitFor(size_t n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 10s, [&] { return frames_.size() >= n; });
  }
  std::vector<Bytes> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Bytes> frames_;
};

TEST(AnnouncerThread, AnnouncesAtStartAnswersAndSendsRequestsByItself) {
  CaptureNetwork net;
  net.nics = {Nic("eth0", kEth0, kMask)};
  WaitingSocket socket;
  AnnouncerOptions o;
  o.maxAnswerDelay = 0ms;
  o.minAnswerGap = 0ms;
  Announcer a(net, MakeIdentity("PC1", "LAB", {}, {}), o);
  a.Start(&socket);
  ASSERT_TRUE(socket.WaitFor(1));
  a.RequestAnnouncements();
  ASSERT_TRUE(socket.WaitFor(2));
  BrowseDatagram d;
  d.destination = NetbiosName::FromName("LAB", 0);
  a.OnBrowseFrame(Request(), d);
  ASSERT_TRUE(socket.WaitFor(3));
  a.Stop();
  std::vector<Bytes> frames = socket.Frames();
  ASSERT_EQ(frames.size(), 4u);
  auto kind = [](const Bytes& b) {
    auto dgm = ParseNetbiosDatagram(b);
    auto smb = ParseMailslotWrite(dgm.datagram.userData);
    auto r = ParseBrowseFrame(smb.write.data);
    return std::make_pair(r.frame.kind, r.frame.announcement.serverType);
  };
  EXPECT_EQ(kind(frames[0]), std::make_pair(BrowseFrameKind::kHostAnnouncement, 1u));
  EXPECT_EQ(kind(frames[1]).first, BrowseFrameKind::kAnnouncementRequest);
  EXPECT_EQ(kind(frames[2]), std::make_pair(BrowseFrameKind::kHostAnnouncement, 1u));
  EXPECT_EQ(kind(frames[3]), std::make_pair(BrowseFrameKind::kHostAnnouncement, 0u));
  EXPECT_EQ(a.Counters().answers, 1u);
}

}  // namespace
}  // namespace vantrel
