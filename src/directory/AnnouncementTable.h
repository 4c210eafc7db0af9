#pragma once
// The computers heard announcing themselves on the browse mailslot: host
// announcements (to WORKGROUP<1D>), local master announcements (to
// WORKGROUP<1E>; the master is a computer of that workgroup too), and domain
// announcements (to __MSBROWSE__<01>; they name a workgroup and its local
// master browser, listed as a computer of it, without a comment). The browse
// listener feeds it on the mailslot's reader thread; the network enumeration
// reads it as an IAnnouncementSource from any thread.
//
// Entries are keyed by (workgroup, computer), both compared without case
// (ASCII letters). Each lives 3 periods of its latest announcement. The
// period is the announced Periodicity, clamped, because a sender can claim
// anything: 0 (unknown) counts as 12 minutes, the longest period of the usual
// schedules; less than 1 minute counts as 1 minute (so an entry lives at
// least 3 minutes); more than 1 hour counts as 1 hour (so a forged period of
// 49 days cannot pin an entry; no announcer waits that long).
//
// A host or local master announcement with server type 0 ("going down") or
// with neither the workstation nor the server bit removes the computer.
// Frames sent to a name that does not fit their kind, or in a NetBIOS scope,
// are ignored and counted.
//
// Bounded: at most maxHosts entries in at most maxWorkgroups workgroups; a
// new computer beyond either limit is dropped and counted (the computers
// already known keep their places, so a flood of forged names cannot push
// real ones out). Per frame the work is O(1): one hash lookup, and a look at
// the two entries heard longest ago, which go when expired; AnnouncedHosts
// removes every expired entry (O(n), n at most maxHosts).

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "directory/AnnouncedHost.h"
#include "transport/BrowseListener.h"

namespace vantrel {

struct AnnouncementTableLimits {
  size_t maxHosts = 4096;
  size_t maxWorkgroups = 256;
};

struct AnnouncementTableCounters {
  uint64_t added = 0;
  uint64_t updated = 0;
  uint64_t removed = 0;            // hosts that announced they go down
  uint64_t expired = 0;            // entries not renewed within 3 periods
  uint64_t droppedHosts = 0;       // new computers refused: the table was full
  uint64_t droppedWorkgroups = 0;  // new computers refused: too many workgroups
  uint64_t misaddressed = 0;       // frames to a name that does not fit their kind
};

class AnnouncementTable final : public IAnnouncementSource, public IBrowseFrameHandler {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kMinPeriod{60'000};
  static constexpr std::chrono::milliseconds kMaxPeriod{3'600'000};
  static constexpr std::chrono::milliseconds kUnknownPeriod{720'000};

  // now: the clock (empty: the steady clock).
  explicit AnnouncementTable(std::function<Clock::time_point()> now = {},
                             AnnouncementTableLimits limits = {});

  // What RequestAnnouncements does (the announcer's request to the
  // workgroup); set before the table is shared. Without it, nothing.
  void SetRequester(std::function<void()> request) { requester_ = std::move(request); }

  // IAnnouncementSource.
  std::vector<AnnouncedHost> AnnouncedHosts() override;
  void RequestAnnouncements() override;

  // IBrowseFrameHandler: takes host, local master and domain announcements.
  void OnBrowseFrame(const BrowseFrame& frame, const BrowseDatagram& from) override;

  // A computer announced itself with this period: added or renewed. With
  // keepComment an existing entry keeps its comment (domain announcements
  // carry none).
  void Heard(std::string_view workgroup, std::string_view computer, std::string_view comment,
             uint32_t periodicityMs, bool keepComment = false);
  // A computer announced that it goes down.
  void Forget(std::string_view workgroup, std::string_view computer);

  size_t Size() const;
  AnnouncementTableCounters Counters() const;

  // How long an entry announced with this Periodicity lives: 3 clamped periods.
  static Clock::duration Lifetime(uint32_t periodicityMs);

 private:
  struct Entry {
    std::string key;
    std::string workgroupKey;
    AnnouncedHost host;
    Clock::time_point expires;
  };
  using Entries = std::list<Entry>;  // oldest heard first

  Clock::time_point Now() const { return now_ ? now_() : Clock::now(); }
  void Erase(Entries::iterator it);                      // under mutex_
  void PurgeOldest(Clock::time_point now, size_t most);  // under mutex_

  std::function<Clock::time_point()> now_;
  AnnouncementTableLimits limits_;
  std::function<void()> requester_;

  mutable std::mutex mutex_;
  Entries entries_;
  std::unordered_map<std::string, Entries::iterator> index_;
  std::unordered_map<std::string, size_t> workgroups_;  // folded name -> entries
  AnnouncementTableCounters counters_;
};

}  // namespace vantrel
