#include "directory/AnnouncementTable.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

constexpr uint8_t kSuffixMasterBrowser = 0x1D;
constexpr uint8_t kSuffixBrowserElection = 0x1E;
constexpr uint8_t kMsBrowse[16] = {0x01, 0x02, '_', '_', 'M', 'S', 'B',  'R',
                                   'O',  'W',  'S', 'E', '_', '_', 0x02, 0x01};
// Entries looked at (and removed when expired) per frame.
constexpr size_t kPurgePerFrame = 2;

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The key: the two folded names; a computer name never holds a zero byte.
std::string Key(const std::string& workgroupKey, std::string_view computer) {
  std::string key = workgroupKey;
  key.push_back('\0');
  key += Fold(computer);
  return key;
}

// The workgroup a destination name stands for: its name part up to any zero
// byte; empty when the name has none or lies in a scope.
std::string WorkgroupOf(const NetbiosName& destination) {
  if (!destination.Scope().empty()) return {};
  std::string name = destination.Name();
  return name.substr(0, name.find('\0'));
}

bool IsHost(uint32_t serverType) {
  return (serverType & (kSvTypeWorkstation | kSvTypeServer)) != 0;
}

}  // namespace

AnnouncementTable::AnnouncementTable(std::function<Clock::time_point()> now,
                                     AnnouncementTableLimits limits)
    : now_(std::move(now)), limits_(limits) {
  // Room for the most the table may hold: no rehash (an O(n) pause on the
  // reader thread) ever happens while frames come in.
  index_.reserve(limits_.maxHosts);
  workgroups_.reserve(limits_.maxWorkgroups);
}

AnnouncementTable::Clock::duration AnnouncementTable::Lifetime(uint32_t periodicityMs) {
  std::chrono::milliseconds period(periodicityMs);
  if (periodicityMs == 0) {
    period = kUnknownPeriod;
  } else {
    period = std::clamp(period, kMinPeriod, kMaxPeriod);
  }
  return 3 * period;
}

void AnnouncementTable::Erase(Entries::iterator it) {
  auto wg = workgroups_.find(it->workgroupKey);
  if (wg != workgroups_.end() && --wg->second == 0) workgroups_.erase(wg);
  index_.erase(it->key);
  entries_.erase(it);
}

void AnnouncementTable::PurgeOldest(Clock::time_point now, size_t most) {
  for (size_t i = 0; i < most && !entries_.empty() && entries_.front().expires <= now; ++i) {
    Erase(entries_.begin());
    ++counters_.expired;
  }
}

void AnnouncementTable::Heard(std::string_view workgroup, std::string_view computer,
                              std::string_view comment, uint32_t periodicityMs, bool keepComment) {
  if (workgroup.empty() || computer.empty()) return;
  std::string workgroupKey = Fold(workgroup);
  std::string key = Key(workgroupKey, computer);
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Now();
  PurgeOldest(now, kPurgePerFrame);
  const Clock::time_point expires = now + Lifetime(periodicityMs);
  auto found = index_.find(key);
  if (found != index_.end()) {
    Entries::iterator it = found->second;
    it->expires = expires;
    it->host.computer = std::string(computer);
    if (!keepComment) it->host.comment = std::string(comment);
    entries_.splice(entries_.end(), entries_, it);  // now the latest heard
    ++counters_.updated;
    return;
  }
  if (entries_.size() >= limits_.maxHosts) {
    ++counters_.droppedHosts;
    return;
  }
  if (!workgroups_.contains(workgroupKey) && workgroups_.size() >= limits_.maxWorkgroups) {
    ++counters_.droppedWorkgroups;
    return;
  }
  Entry e;
  e.key = key;
  e.workgroupKey = workgroupKey;
  e.host.workgroup = std::string(workgroup);
  e.host.computer = std::string(computer);
  e.host.comment = std::string(comment);
  e.expires = expires;
  ++workgroups_[workgroupKey];
  index_.emplace(std::move(key), entries_.insert(entries_.end(), std::move(e)));
  ++counters_.added;
}

void AnnouncementTable::Forget(std::string_view workgroup, std::string_view computer) {
  std::string key = Key(Fold(workgroup), computer);
  std::lock_guard lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return;
  Erase(found->second);
  ++counters_.removed;
}

void AnnouncementTable::OnBrowseFrame(const BrowseFrame& frame, const BrowseDatagram& from) {
  const NetbiosName to = from.destination.Canonical();
  const BrowseAnnouncement& a = frame.announcement;
  auto misaddressed = [this] {
    std::lock_guard lock(mutex_);
    ++counters_.misaddressed;
  };
  switch (frame.kind) {
    case BrowseFrameKind::kHostAnnouncement:
    case BrowseFrameKind::kLocalMasterAnnouncement: {
      // Host announcements go to the master browser name WORKGROUP<1D> (a
      // LAN Manager one to WORKGROUP<00>), local master announcements to
      // the browsers' WORKGROUP<1E>; the workgroup is the destination's name.
      const uint8_t want =
          frame.kind == BrowseFrameKind::kLocalMasterAnnouncement
              ? kSuffixBrowserElection
              : (from.lanman && to.Suffix() == kSuffixWorkstation ? kSuffixWorkstation
                                                                  : kSuffixMasterBrowser);
      const std::string workgroup = WorkgroupOf(to);
      if (to.Suffix() != want || workgroup.empty()) return misaddressed();
      if (a.serverType == 0 || !IsHost(a.serverType)) {
        Forget(workgroup, a.name);
      } else {
        Heard(workgroup, a.name, a.comment, a.periodicityMs);
      }
      return;
    }
    case BrowseFrameKind::kDomainAnnouncement: {
      if (!to.Scope().empty() || std::memcmp(to.Bytes().data(), kMsBrowse, sizeof kMsBrowse) != 0 ||
          a.comment.empty())
        return misaddressed();
      // The workgroup and its local master browser, a computer of it.
      Heard(a.name, a.comment, {}, a.periodicityMs, true);
      return;
    }
    case BrowseFrameKind::kAnnouncementRequest:
      return;
  }
}

std::vector<AnnouncedHost> AnnouncementTable::AnnouncedHosts() {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Now();
  std::vector<AnnouncedHost> hosts;
  hosts.reserve(entries_.size());
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->expires <= now) {
      Erase(it++);
      ++counters_.expired;
    } else {
      hosts.push_back(it->host);
      ++it;
    }
  }
  return hosts;
}

void AnnouncementTable::RequestAnnouncements() {
  if (requester_) requester_();
}

size_t AnnouncementTable::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

AnnouncementTableCounters AnnouncementTable::Counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

}  // namespace vantrel
