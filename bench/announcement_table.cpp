// Host announcements through the receive ladder, the browse listener and the announcement
// table, against a baseline loop that only decodes the same frames (NetBIOS datagram, SMB
// mailslot write, browser frame), in the same run. No network: the frames are built here and
// handed to the ladder as the mailslot's reader hands them on.
//
//   bench_announcement_table [--hosts N] [--rounds R]
//
// Each figure is the median over the rounds (the machine is shared; a mean would carry other
// programs' spikes). Prints, for N distinct hosts (default 1,000), the cost per frame while the
// table fills (in ten slices: the table holds 0-10 %, 10-20 %, ... of the hosts when the slice's
// frames come), each slice's cost as a ratio to the first slice (flat means O(1) per frame), the
// cost once the table is full (every frame renews an entry), the ratio to the decode-only baseline,
// and the frames per second one core takes against the 1,000 a second it must hold.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "directory/AnnouncementTable.h"
#include "transport/BrowseFrames.h"
#include "transport/BrowseListener.h"
#include "transport/MailslotEndpoint.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

constexpr size_t kSlices = 10;

// One UDP payload per host: a host announcement to LAB<1D>, as a Windows or Samba host sends it.
std::vector<std::vector<uint8_t>> Frames(size_t hosts) {
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < hosts; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "HOST%05zu", i);
    BrowseAnnouncement a;
    a.periodicityMs = 720000;
    a.name = name;
    a.versionMajor = 10;
    a.serverType = 0x00051003;
    a.comment = "Workstation " + std::string(name);
    NetbiosDatagram h;
    h.type = kDgmDirectGroup;
    h.id = static_cast<uint16_t>(i);
    h.sourceIp = Ipv4Address(0xC6120000u + static_cast<uint32_t>(i % 60000));
    h.source = NetbiosName::FromName(name, 0x00);
    h.destination = NetbiosName::FromName(i % 7 == 0 ? "OFFICE" : "LAB", 0x1D);
    MailslotWriteOptions unpadded;
    unpadded.alignData = false;
    frames.push_back(BuildNetbiosDatagram(
        h, BuildMailslotWrite(kBrowseMailslot, EncodeHostAnnouncement(a), unpadded)));
  }
  return frames;
}

double Ns(Clock::duration d) { return std::chrono::duration<double, std::nano>(d).count(); }

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The baseline: decode the three layers, nothing else.
size_t DecodeOnly(const std::vector<uint8_t>& frame) {
  auto d = ParseNetbiosDatagram(frame);
  auto smb = ParseMailslotWrite(d.datagram.userData);
  auto b = ParseBrowseFrame(smb.write.data);
  return b.frame.announcement.name.size();
}

struct Pipeline {
  Identity identity = MakeIdentity("BENCH", "LAB", {}, {});
  AnnouncementTable table;
  BrowseListener listener;
  MailslotQueue queue{identity};
  Pipeline() {
    listener.AddHandler(&table);
    queue.SetBrowseSink(&listener);
  }
};

}  // namespace

int main(int argc, char** argv) {
  size_t hosts = 1000;
  int rounds = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--hosts") == 0) hosts = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
  }
  hosts = std::max<size_t>(hosts, kSlices);
  const std::vector<std::vector<uint8_t>> frames = Frames(hosts);
  const size_t perSlice = hosts / kSlices;

  // Baseline and pipeline alternate round by round, so that both see the same machine.
  std::vector<std::vector<double>> sliceNs(kSlices);
  std::vector<double> baselineNs, fullNs;
  size_t sink = 0;
  uint64_t tableSize = 0;
  for (int r = 0; r < rounds; ++r) {
    Clock::time_point t0 = Clock::now();
    for (const auto& f : frames) sink += DecodeOnly(f);
    baselineNs.push_back(Ns(Clock::now() - t0) / static_cast<double>(hosts));

    Pipeline p;  // an empty table each round
    for (size_t s = 0; s < kSlices; ++s) {
      Clock::time_point t = Clock::now();
      for (size_t i = s * perSlice; i < (s + 1) * perSlice; ++i) p.queue.Deliver(frames[i]);
      sliceNs[s].push_back(Ns(Clock::now() - t) / static_cast<double>(perSlice));
    }
    for (size_t i = kSlices * perSlice; i < hosts; ++i) p.queue.Deliver(frames[i]);
    // Full: every frame renews an entry.
    Clock::time_point t = Clock::now();
    for (const auto& f : frames) p.queue.Deliver(f);
    fullNs.push_back(Ns(Clock::now() - t) / static_cast<double>(hosts));
    tableSize = p.table.Size();
    if (p.listener.Counters().undecodable != 0 || p.table.Counters().added != hosts) {
      std::fprintf(stderr, "frames were lost on the way\n");
      return 1;
    }
  }
  const double baseline = Median(baselineNs);
  const double full = Median(fullNs);
  std::printf("announcement table: %zu distinct hosts, %d rounds, medians (checksum %zu)\n", hosts,
              rounds, sink % 10);
  std::printf("  baseline, decode only:        %8.0f ns/frame\n", baseline);
  const double first = Median(sliceNs[0]);
  double worst = 0;
  for (size_t s = 0; s < kSlices; ++s) {
    const double ns = Median(sliceNs[s]);
    worst = std::max(worst, ns / first);
    std::printf(
        "  filling, table %4zu-%4zu:     %8.0f ns/frame  ratio to first slice %.2f  "
        "to baseline %.2f\n",
        s * perSlice, (s + 1) * perSlice, ns, ns / first, ns / baseline);
  }
  std::printf(
      "  full table (%llu), renewals:   %8.0f ns/frame  ratio to first slice %.2f  "
      "to baseline %.2f\n",
      static_cast<unsigned long long>(tableSize), full, full / first, full / baseline);
  std::printf("  flatness: largest slice / first slice = %.2f (1.00 is flat)\n", worst);
  const double rate = 1e9 / std::max(full, first);
  std::printf("  capacity: %.0f frames/s on one core = %.0f x the 1,000 frames/s to hold\n", rate,
              rate / 1000.0);
  return 0;
}
