#pragma once
// Our own host announcements on the browse mailslot, so that the local master
// browser of our workgroup (Samba's nmbd, a Windows browser) lists this
// computer and other copies of the program hear of it.
//
// What goes out, from the mailslot's own socket (UDP 138), as a DIRECT_GROUP
// datagram from COMPUTER<00> to the subnet broadcast of every broadcast
// interface the identity uses (one copy each, SOURCE_IP that interface):
//
//   HostAnnouncement      to WORKGROUP<1D>, \MAILSLOT\BROWSE
//     at Start, then after 1, 1, 2, 4 and 8 minutes, then every 12 minutes
//     (the nonbrowser-server schedule of the browser protocol); Periodicity is
//     the time to the next one, so a master forgets us 3 periods after we
//     stop. At Stop one more with server type 0: "going down".
//   AnnouncementRequest   to WORKGROUP<00>, \MAILSLOT\BROWSE
//     once per RequestAnnouncements (at most one per minRequestGap).
//
// Server type: SV_TYPE_WORKSTATION (0x1) only. This program is a workstation
// that takes datagrams for its names; it offers no SMB server (no file or
// printer shares, no <20> name), so it does not claim SV_TYPE_SERVER: a
// browser client that listed us as a server would try to open our shares.
//
// Answering. An AnnouncementRequest to WORKGROUP<00> (the whole workgroup;
// requests to <1D> or <1E> are for browsers, which we are not) schedules one
// HostAnnouncement after a random delay of 0 to maxAnswerDelay (30 s, as the
// protocol asks, so that a workgroup's answers spread out), and never sooner
// than minAnswerGap after our last announcement. Requests that come while an
// answer is pending join it; an announcement sent for any reason answers what
// came before it. So a flood of requests gives at most one announcement per
// minAnswerGap; the rest are counted. Our own request coming back through the
// broadcast is not answered.
//
// Threads. Start runs a timer thread of its own (Tick at each deadline); with
// ownThread false nothing runs by itself and the caller drives Tick (tests,
// with a clock of their own). OnBrowseFrame runs on the mailslot's reader
// thread and only notes the request. RequestAnnouncements may be called from
// any thread; it never waits for the network.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/Network.h"
#include "transport/BrowseListener.h"
#include "transport/Identity.h"

namespace vantrel {

inline constexpr uint32_t kAnnouncedServerType = kSvTypeWorkstation;

struct AnnouncerOptions {
  using Clock = std::chrono::steady_clock;
  std::string comment;  // bytes in the system code page; cut to 42 bytes on the wire
  uint32_t serverType = kAnnouncedServerType;
  uint8_t osMajor = 6;  // informational only
  uint8_t osMinor = 1;
  std::chrono::milliseconds maxAnswerDelay{30000};
  std::chrono::milliseconds minAnswerGap{30000};
  std::chrono::milliseconds minRequestGap{10000};
  std::function<Clock::time_point()> now;  // empty: the steady clock
  uint32_t seed = 0;                       // 0: a random seed
  // false: a listener that only asks (vantrel-send): it sends announcement
  // requests, but no host announcement of its own, no answer and no going down.
  bool announceSelf = true;
};

struct AnnouncerCounters {
  uint64_t announcements = 0;       // host announcements sent (each once, on all interfaces)
  uint64_t answers = 0;             // of them, answers to requests
  uint64_t requestsHeard = 0;       // announcement requests to our workgroup
  uint64_t requestsCoalesced = 0;   // of them, joined to an answer already pending
  uint64_t requestsIgnored = 0;     // to other names, our own echo, or while stopped
  uint64_t requestsSent = 0;        // our own announcement requests
  uint64_t requestsSuppressed = 0;  // RequestAnnouncements within minRequestGap of the last
  uint64_t sendFailures = 0;        // copies the system refused to send
  uint64_t noInterface = 0;         // frames not sent for want of a broadcast interface
};

class Announcer final : public IBrowseFrameHandler {
 public:
  using Clock = std::chrono::steady_clock;

  // network gives the interfaces; it must outlive the announcer.
  Announcer(INetwork& network, const Identity& identity, AnnouncerOptions options = {});
  ~Announcer() override;
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  // Starts announcing through socket (the mailslot's, bound to UDP 138),
  // which must stay open until Stop. Announces at once (with ownThread; else
  // at the first Tick). A second Start while running does nothing.
  void Start(IUdpSocket* socket, bool ownThread = true);
  // Announces that we go down (server type 0) and stops; safe to call twice.
  void Stop();
  bool Running() const;

  // Sends one announcement request to the workgroup (on the timer thread, or
  // at the next Tick); nothing while stopped.
  void RequestAnnouncements();

  void OnBrowseFrame(const BrowseFrame& frame, const BrowseDatagram& from) override;

  // Sends what is due at `now`; returns when the next thing is due.
  Clock::time_point Tick(Clock::time_point now);

  AnnouncerCounters Counters() const;

  // The HostAnnouncement timer after the announcement with this count (0: the
  // one at start): 1, 1, 2, 4, 8, then 12 minutes.
  static std::chrono::milliseconds IntervalAfter(uint64_t count);

 private:
  struct Frame {
    NetbiosName destination;
    std::vector<uint8_t> data;  // browser frame
  };

  Clock::time_point Now() const;
  Frame AnnouncementFrame(uint32_t periodicityMs, uint32_t serverType) const;
  void Send(const std::vector<Frame>& frames);  // without mutex_ held
  void Wake();                                  // under mutex_
  void Run();

  INetwork& network_;
  Identity identity_;
  AnnouncerOptions options_;

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::thread thread_;
  bool running_ = false;
  bool wake_ = false;
  IUdpSocket* socket_ = nullptr;
  uint64_t count_ = 0;  // periodic announcements made
  std::chrono::milliseconds interval_{0};
  std::optional<Clock::time_point> nextPeriodic_;
  std::optional<Clock::time_point> answerAt_;
  std::optional<Clock::time_point> lastAnnouncement_;
  std::optional<Clock::time_point> lastRequest_;
  bool requestWanted_ = false;
  uint16_t nextId_ = 0;
  std::mt19937 random_;
  AnnouncerCounters counters_;
};

}  // namespace vantrel
