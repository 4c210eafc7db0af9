#include "transport/BrowseListener.h"

namespace vantrel {

void BrowseListener::OnBrowseDatagram(const BrowseDatagram& datagram) {
  datagrams_.fetch_add(1, std::memory_order_relaxed);
  BrowseParseResult r =
      datagram.lanman ? ParseLanmanFrame(datagram.data) : ParseBrowseFrame(datagram.data);
  if (r.status == BrowseParseStatus::kNotAnnouncement) {
    otherFrames_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  if (!r.ok()) {
    undecodable_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  byKind_[static_cast<size_t>(r.frame.kind)].fetch_add(1, std::memory_order_relaxed);
  for (IBrowseFrameHandler* h : handlers_) h->OnBrowseFrame(r.frame, datagram);
}

BrowseCounters BrowseListener::Counters() const {
  BrowseCounters c;
  c.datagrams = datagrams_.load(std::memory_order_relaxed);
  c.undecodable = undecodable_.load(std::memory_order_relaxed);
  c.otherFrames = otherFrames_.load(std::memory_order_relaxed);
  auto kind = [this](BrowseFrameKind k) {
    return byKind_[static_cast<size_t>(k)].load(std::memory_order_relaxed);
  };
  c.hostAnnouncements = kind(BrowseFrameKind::kHostAnnouncement);
  c.requests = kind(BrowseFrameKind::kAnnouncementRequest);
  c.domainAnnouncements = kind(BrowseFrameKind::kDomainAnnouncement);
  c.localMasterAnnouncements = kind(BrowseFrameKind::kLocalMasterAnnouncement);
  return c;
}

}  // namespace vantrel
