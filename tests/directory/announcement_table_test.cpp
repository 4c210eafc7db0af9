// The table of computers heard announcing themselves: keys without case,
// expiry after three (clamped) periods, going down, limits, and which frames
// it takes from the browse listener.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "../transport/TestFrames.h"
#include "directory/AnnouncementTable.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using Clock = AnnouncementTable::Clock;

struct FakeClock {
  Clock::time_point t{std::chrono::hours(1000)};
  std::function<Clock::time_point()> Fn() {
    return [this] { return t; };
  }
};

std::vector<std::string> Names(AnnouncementTable& table) {
  std::vector<std::string> out;
  for (const AnnouncedHost& h : table.AnnouncedHosts())
    out.push_back(h.workgroup + "\\" + h.computer + (h.comment.empty() ? "" : " " + h.comment));
  std::sort(out.begin(), out.end());
  return out;
}

using Names_ = std::vector<std::string>;

TEST(AnnouncementTable, KeyedByWorkgroupAndComputerWithoutCase) {
  FakeClock clock;
  AnnouncementTable table(clock.Fn());
  table.Heard("LAB", "ALICE", "Front desk", 60000);
  table.Heard("lab", "alice", "Reception", 60000);  // the same computer: renewed
  table.Heard("HOME", "ALICE", "", 60000);          // another workgroup: another entry
  table.Heard("LAB", "BOB", "", 60000);
  EXPECT_EQ(Names(table), (Names_{"HOME\\ALICE", "LAB\\BOB", "LAB\\alice Reception"}));
  AnnouncementTableCounters c = table.Counters();
  EXPECT_EQ(c.added, 3u);
  EXPECT_EQ(c.updated, 1u);
  table.Forget("Lab", "Alice");
  EXPECT_EQ(Names(table), (Names_{"HOME\\ALICE", "LAB\\BOB"}));
  table.Heard("", "X", "", 60000);  // no workgroup, no entry
  table.Heard("LAB", "", "", 60000);
  EXPECT_EQ(table.Size(), 2u);
}

TEST(AnnouncementTable, EntriesExpireAfterThreeClampedPeriods) {
  EXPECT_EQ(AnnouncementTable::Lifetime(60000), 3min);
  EXPECT_EQ(AnnouncementTable::Lifetime(720000), 36min);
  EXPECT_EQ(AnnouncementTable::Lifetime(0), 36min);        // unknown: the longest usual period
  EXPECT_EQ(AnnouncementTable::Lifetime(1), 3min);         // too short: a minute
  EXPECT_EQ(AnnouncementTable::Lifetime(0xFFFFFFFF), 3h);  // 49 days claimed: an hour
  EXPECT_EQ(AnnouncementTable::Lifetime(5400000), 3h);

  FakeClock clock;
  AnnouncementTable table(clock.Fn());
  table.Heard("LAB", "FAST", "", 60000);
  table.Heard("LAB", "SLOW", "", 720000);
  clock.t += 3min - 1s;
  EXPECT_EQ(Names(table), (Names_{"LAB\\FAST", "LAB\\SLOW"}));
  clock.t += 1s;
  EXPECT_EQ(Names(table), (Names_{"LAB\\SLOW"}));
  // Each announcement starts the three periods again.
  clock.t += 30min;
  table.Heard("LAB", "SLOW", "", 720000);
  clock.t += 35min;
  EXPECT_EQ(Names(table), (Names_{"LAB\\SLOW"}));
  clock.t += 1min;
  EXPECT_TRUE(table.AnnouncedHosts().empty());
  EXPECT_EQ(table.Counters().expired, 2u);
  EXPECT_EQ(table.Size(), 0u);
}

TEST(AnnouncementTable, LimitsKeepKnownComputersAndCountTheRest) {
  FakeClock clock;
  AnnouncementTable table(clock.Fn(), {.maxHosts = 4, .maxWorkgroups = 2});
  table.Heard("A", "H1", "", 60000);
  table.Heard("A", "H2", "", 60000);
  table.Heard("B", "H3", "", 60000);
  table.Heard("C", "H4", "", 60000);  // a third workgroup
  table.Heard("B", "H4", "", 60000);
  table.Heard("B", "H5", "", 60000);  // a fifth computer
  EXPECT_EQ(table.Size(), 4u);
  AnnouncementTableCounters c = table.Counters();
  EXPECT_EQ(c.droppedWorkgroups, 1u);
  EXPECT_EQ(c.droppedHosts, 1u);
  // Known computers are still renewed while the table is full.
  table.Heard("A", "H1", "still here", 60000);
  EXPECT_EQ(table.Counters().updated, 1u);
  // Once entries expire, the oldest heard make room as frames come in.
  clock.t += 3min;
  table.Heard("B", "H5", "", 60000);
  EXPECT_EQ(Names(table), (Names_{"B\\H5"}));
  // A workgroup whose computers are all gone no longer counts.
  table.Heard("C", "H6", "", 60000);
  EXPECT_EQ(table.Size(), 2u);
}

TEST(AnnouncementTable, RequestGoesToTheRequester) {
  AnnouncementTable table;
  table.RequestAnnouncements();  // without one: nothing
  int asked = 0;
  table.SetRequester([&] { ++asked; });
  table.RequestAnnouncements();
  EXPECT_EQ(asked, 1);
}

// ---- Frames from the browse listener ----

using namespace testframes;

struct Feed {
  AnnouncementTable& table;
  void operator()(const BrowseFrame& f, NetbiosName to, bool lanman = false) {
    BrowseDatagram d;
    d.destination = std::move(to);
    d.lanman = lanman;
    table.OnBrowseFrame(f, d);
  }
};

BrowseFrame Frame(BrowseFrameKind kind, std::string name, uint32_t type, std::string comment = {},
                  uint32_t period = 60000) {
  BrowseFrame f;
  f.kind = kind;
  f.announcement.name = std::move(name);
  f.announcement.serverType = type;
  f.announcement.comment = std::move(comment);
  f.announcement.periodicityMs = period;
  return f;
}

NetbiosName MsBrowse() {
  NetbiosName::Raw raw = {0x01, 0x02, '_', '_', 'M', 'S', 'B',  'R',
                          'O',  'W',  'S', 'E', '_', '_', 0x02, 0x01};
  return NetbiosName(raw);
}

TEST(AnnouncementTable, TakesAnnouncementsAddressedAsTheirKindRequires) {
  FakeClock clock;
  AnnouncementTable table(clock.Fn());
  Feed feed{table};
  const auto host = BrowseFrameKind::kHostAnnouncement;
  const auto lmb = BrowseFrameKind::kLocalMasterAnnouncement;
  feed(Frame(host, "ALICE", 0x1003, "Front desk"), NetbiosName::FromName("lab", 0x1d));
  feed(Frame(lmb, "SAMBA", 0x40803, "Samba 4.17"), NetbiosName::FromName("LAB", 0x1e));
  feed(Frame(host, "OS2", 0x3, "warp"), NetbiosName::FromName("LAB", 0x00), true);
  // A domain announcement names a workgroup and its master, a computer of it.
  BrowseFrame domain = Frame(BrowseFrameKind::kDomainAnnouncement, "HOME", 0x80001000, "CARL");
  feed(domain, MsBrowse());
  EXPECT_EQ(Names(table), (Names_{"HOME\\CARL", "LAB\\ALICE Front desk", "LAB\\OS2 warp",
                                  "LAB\\SAMBA Samba 4.17"}));
  // It renews the master without taking away a comment it announced itself.
  feed(Frame(host, "SAMBA", 0x40803, "Samba 4.17"), NetbiosName::FromName("LAB", 0x1d));
  feed(Frame(BrowseFrameKind::kDomainAnnouncement, "LAB", 0x80001000, "SAMBA"), MsBrowse());
  EXPECT_EQ(Names(table), (Names_{"HOME\\CARL", "LAB\\ALICE Front desk", "LAB\\OS2 warp",
                                  "LAB\\SAMBA Samba 4.17"}));

  // Misaddressed: a host announcement to <1E> or <00>, a local master one to
  // <1D>, a scoped name, a domain announcement not to __MSBROWSE__ or
  // without a master name.
  NetbiosName scoped = NetbiosName::FromName("LAB", 0x1d);
  ASSERT_TRUE(scoped.SetScope("corp"));
  feed(Frame(host, "X1", 1), NetbiosName::FromName("LAB", 0x1e));
  feed(Frame(host, "X2", 1), NetbiosName::FromName("LAB", 0x00));
  feed(Frame(lmb, "X3", 1), NetbiosName::FromName("LAB", 0x1d));
  feed(Frame(host, "X4", 1), scoped);
  feed(Frame(BrowseFrameKind::kDomainAnnouncement, "W", 1, "M"), NetbiosName::FromName("W", 1));
  feed(Frame(BrowseFrameKind::kDomainAnnouncement, "W", 1, ""), MsBrowse());
  feed(Frame(BrowseFrameKind::kAnnouncementRequest, "", 0), NetbiosName::FromName("LAB", 0));
  EXPECT_EQ(table.Size(), 4u);
  EXPECT_EQ(table.Counters().misaddressed, 6u);
}

TEST(AnnouncementTable, GoingDownOrNotAHostRemoves) {
  FakeClock clock;
  AnnouncementTable table(clock.Fn());
  Feed feed{table};
  const NetbiosName lab1d = NetbiosName::FromName("LAB", 0x1d);
  const auto host = BrowseFrameKind::kHostAnnouncement;
  feed(Frame(host, "ALICE", 0x1), lab1d);
  feed(Frame(host, "BOB", 0x2), lab1d);
  feed(Frame(host, "CARL", 0x3), lab1d);
  feed(Frame(host, "alice", 0), lab1d);         // going down
  feed(Frame(host, "BOB", 0x00000200), lab1d);  // only a print queue: not a computer to list
  feed(Frame(host, "DAVE", 0), lab1d);          // never known: nothing happens
  feed(Frame(BrowseFrameKind::kLocalMasterAnnouncement, "CARL", 0),
       NetbiosName::FromName("LAB", 0x1e));  // a master going down
  EXPECT_TRUE(table.AnnouncedHosts().empty());
  EXPECT_EQ(table.Counters().removed, 3u);
  EXPECT_EQ(table.Counters().added, 3u);
}

TEST(AnnouncementTable, ReadersAndTheReaderThreadShareIt) {
  AnnouncementTable table;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    Feed feed{table};
    const NetbiosName lab = NetbiosName::FromName("LAB", 0x1d);
    for (int i = 0; !stop; i = (i + 1) % 3000)
      feed(Frame(BrowseFrameKind::kHostAnnouncement, "H" + std::to_string(i), 1), lab);
  });
  size_t seen = 0;
  for (int i = 0; i < 200; ++i) seen = std::max(seen, table.AnnouncedHosts().size());
  stop = true;
  reader.join();
  EXPECT_LE(seen, 3000u);
  EXPECT_LE(table.Size(), 3000u);
}

}  // namespace
}  // namespace vantrel
