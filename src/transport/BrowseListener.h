#pragma once
// The browse listener: the mailslot reader's browse sink. It decodes each
// browser-mailslot write once (BrowseFrames) and hands the decoded frame to
// its handlers: the announcement table (the computers heard) and the
// announcer (announcement requests to answer). Frames it cannot decode, and
// browser frames it does not decode (elections, backup lists), are counted
// and go nowhere. Bounded work per frame: one decode and one call per handler.

#include <atomic>
#include <cstdint>
#include <vector>

#include "transport/BrowseFrames.h"
#include "transport/MailslotEndpoint.h"

namespace vantrel {

class IBrowseFrameHandler {
 public:
  virtual ~IBrowseFrameHandler() = default;
  // Called on the mailslot's reader thread; `from` tells where the frame came
  // from (its data is the frame's bytes). Must do bounded work and not wait
  // for the network.
  virtual void OnBrowseFrame(const BrowseFrame& frame, const BrowseDatagram& from) = 0;
};

struct BrowseCounters {
  uint64_t datagrams = 0;    // browser-mailslot writes heard
  uint64_t undecodable = 0;  // empty, cut short or with a bad name
  uint64_t otherFrames = 0;  // browser frames not decoded here (elections, ...)
  uint64_t hostAnnouncements = 0;
  uint64_t requests = 0;
  uint64_t domainAnnouncements = 0;
  uint64_t localMasterAnnouncements = 0;
};

class BrowseListener final : public IBrowseSink {
 public:
  // Handlers are added before the mailslot opens and must outlive its use.
  void AddHandler(IBrowseFrameHandler* handler) { handlers_.push_back(handler); }

  void OnBrowseDatagram(const BrowseDatagram& datagram) override;

  BrowseCounters Counters() const;

 private:
  std::vector<IBrowseFrameHandler*> handlers_;
  std::atomic<uint64_t> datagrams_{0};
  std::atomic<uint64_t> undecodable_{0};
  std::atomic<uint64_t> otherFrames_{0};
  std::atomic<uint64_t> byKind_[4] = {};
};

}  // namespace vantrel
