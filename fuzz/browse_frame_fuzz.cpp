// Browser frames (the data of \MAILSLOT\BROWSE and \MAILSLOT\LANMAN writes):
// decode both ways; what decodes keeps within its wire limits, and an
// announcement re-encodes to one that decodes to the same fields and whose
// every strict prefix is refused. Then the same bytes go the whole way a
// datagram goes, from the mailslot's ladder through the browse listener into
// a small announcement table and the announcer, which stay within their bounds.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "directory/AnnouncementTable.h"
#include "transport/Announcer.h"
#include "transport/BrowseFrames.h"
#include "transport/BrowseListener.h"
#include "transport/MailslotEndpoint.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace {

using namespace vantrel;

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

void Check(const BrowseParseResult& r) {
  if (!r.ok()) return;
  const BrowseFrame& f = r.frame;
  if (f.kind == BrowseFrameKind::kAnnouncementRequest) {
    if (f.responseName.size() > kMaxBrowseName) std::abort();
    return;
  }
  const BrowseAnnouncement& a = f.announcement;
  if (a.name.empty() || a.name.size() > kMaxBrowseName || a.name.back() == ' ') std::abort();
  if (a.name.find('\0') != std::string::npos || a.comment.find('\0') != std::string::npos)
    std::abort();
  const size_t limit =
      f.kind == BrowseFrameKind::kDomainAnnouncement ? kMaxBrowseName : kMaxBrowseComment;
  if (a.comment.size() > limit) std::abort();
  if (f.kind == BrowseFrameKind::kDomainAnnouncement) return;

  const auto bytes = EncodeHostAnnouncement(a, f.kind == BrowseFrameKind::kLocalMasterAnnouncement);
  auto again = ParseBrowseFrame(bytes);
  if (!again.ok() || again.frame.kind != f.kind) std::abort();
  const BrowseAnnouncement& b = again.frame.announcement;
  if (b.name != Upper(a.name) || b.comment != a.comment || b.periodicityMs != a.periodicityMs ||
      b.serverType != a.serverType || b.versionMajor != a.versionMajor ||
      b.versionMinor != a.versionMinor)
    std::abort();
  for (size_t n = 0; n < bytes.size(); ++n) {
    if (ParseBrowseFrame(std::span(bytes).first(n)).ok()) std::abort();
  }
}

// A network with nothing on it: the announcer's sends go nowhere.
class NoNetwork : public INetwork {
 public:
  std::vector<NetworkInterface> Interfaces() override { return {}; }
  UdpBindResult BindUdp(const SocketAddress&, const UdpOptions&) override { return {}; }
  TcpConnectResult TcpConnect(const SocketAddress&, std::chrono::milliseconds) override {
    return TcpConnectResult::Unreachable;
  }
  std::vector<Ipv4Address> ResolveHostName(std::string_view) override { return {}; }
};

class NullSocket : public IUdpSocket {
 public:
  SocketAddress LocalAddress() const override { return {Ipv4Address::Any(), 138}; }
  bool SendTo(const SocketAddress&, std::span<const uint8_t>) override { return true; }
  std::optional<size_t> ReceiveFrom(std::span<uint8_t>, SocketAddress*) override {
    return std::nullopt;
  }
  size_t ReceiveBatch(std::vector<ReceivedDatagram>&, size_t, size_t) override { return 0; }
  bool WaitReadable(std::chrono::milliseconds) override { return false; }
  void Interrupt() override {}
};

struct Pipeline {
  static constexpr size_t kMaxHosts = 16;
  Identity identity = MakeIdentity("PC1", "LAB", {}, {});
  AnnouncementTable table{{}, {.maxHosts = kMaxHosts, .maxWorkgroups = 4}};
  NoNetwork network;
  NullSocket socket;
  Announcer announcer{network, identity};
  BrowseListener listener;
  MailslotQueue queue{identity};
  Pipeline() {
    listener.AddHandler(&table);
    listener.AddHandler(&announcer);
    queue.SetBrowseSink(&listener);
    announcer.Start(&socket, false);
  }
};

void Deliver(std::span<const uint8_t> data, std::string_view mailslot, uint8_t suffix) {
  if (data.size() > 1024) return;  // far beyond any browser frame; keeps the SMB counts small
  static Pipeline p;
  NetbiosDatagram h;
  h.type = kDgmDirectGroup;
  h.source = NetbiosName::FromName("ALICEPC", 0);
  h.destination = NetbiosName::FromName("LAB", suffix);
  auto frame = BuildNetbiosDatagram(h, BuildMailslotWrite(mailslot, data));
  if (frame.empty()) return;
  if (p.queue.Deliver(frame) != MailslotDrop::kBrowse) std::abort();
  if (p.table.Size() > Pipeline::kMaxHosts) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> in(data, size);
  Check(ParseBrowseFrame(in));
  Check(ParseLanmanFrame(in));
  Deliver(in, kBrowseMailslot, 0x1d);
  Deliver(in, kBrowseMailslot, 0x00);
  Deliver(in, kLanmanMailslot, 0x00);
  return 0;
}
