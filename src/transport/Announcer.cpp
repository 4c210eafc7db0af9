#include "transport/Announcer.h"

#include <algorithm>

#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

constexpr uint8_t kSuffixMasterBrowser = 0x1D;

uint32_t Ms(milliseconds d) { return static_cast<uint32_t>(d.count()); }

}  // namespace

milliseconds Announcer::IntervalAfter(uint64_t count) {
  switch (count) {
    case 0:
    case 1:
      return minutes(1);
    case 2:
      return minutes(2);
    case 3:
      return minutes(4);
    case 4:
      return minutes(8);
    default:
      return minutes(12);
  }
}

Announcer::Announcer(INetwork& network, const Identity& identity, AnnouncerOptions options)
    : network_(network),
      identity_(identity),
      options_(std::move(options)),
      nextId_(static_cast<uint16_t>(std::random_device{}())),
      random_(options_.seed != 0 ? options_.seed : std::random_device{}()) {}

Announcer::~Announcer() { Stop(); }

Announcer::Clock::time_point Announcer::Now() const {
  return options_.now ? options_.now() : Clock::now();
}

void Announcer::Start(IUdpSocket* socket, bool ownThread) {
  if (socket == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    if (running_) return;
    running_ = true;
    wake_ = false;
    socket_ = socket;
    count_ = 0;
    interval_ = IntervalAfter(0);
    // The first announcement is due at once.
    if (options_.announceSelf)
      nextPeriodic_ = Now();
    else
      nextPeriodic_.reset();
    answerAt_.reset();
    requestWanted_ = false;
  }
  if (ownThread) thread_ = std::thread([this] { Run(); });
}

bool Announcer::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void Announcer::Stop() {
  Frame last;
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
    Wake();
    // Server type 0: remove us from the lists now rather than in 3 periods.
    last = AnnouncementFrame(Ms(interval_), 0);
  }
  if (thread_.joinable()) thread_.join();
  // The timer thread is gone; the socket stays ours until we return.
  if (options_.announceSelf) Send({last});
  std::lock_guard lock(mutex_);
  socket_ = nullptr;
}

void Announcer::Wake() {
  wake_ = true;
  cv_.notify_all();
}

void Announcer::RequestAnnouncements() {
  std::lock_guard lock(mutex_);
  if (!running_) return;
  const Clock::time_point now = Now();
  if (requestWanted_ || (lastRequest_ && now - *lastRequest_ < options_.minRequestGap)) {
    ++counters_.requestsSuppressed;
    return;
  }
  requestWanted_ = true;
  lastRequest_ = now;
  Wake();
}

void Announcer::OnBrowseFrame(const BrowseFrame& frame, const BrowseDatagram& from) {
  if (frame.kind != BrowseFrameKind::kAnnouncementRequest || !options_.announceSelf) return;
  std::lock_guard lock(mutex_);
  const NetbiosName to = from.destination.Canonical();
  if (!running_ || from.ownEcho || !to.Scope().empty() ||
      !(to == identity_.WorkgroupNetbiosName())) {
    ++counters_.requestsIgnored;
    return;
  }
  ++counters_.requestsHeard;
  if (answerAt_) {
    ++counters_.requestsCoalesced;
    return;
  }
  const Clock::time_point now = Now();
  const auto maxDelay = std::max<int64_t>(0, options_.maxAnswerDelay.count());
  std::uniform_int_distribution<int64_t> pick(0, maxDelay);
  Clock::time_point at = now + milliseconds(pick(random_));
  if (lastAnnouncement_) at = std::max(at, *lastAnnouncement_ + options_.minAnswerGap);
  answerAt_ = at;
  Wake();
}

Announcer::Frame Announcer::AnnouncementFrame(uint32_t periodicityMs, uint32_t serverType) const {
  BrowseAnnouncement a;
  a.periodicityMs = periodicityMs;
  a.name = identity_.computerName;
  a.versionMajor = options_.osMajor;
  a.versionMinor = options_.osMinor;
  a.serverType = serverType;
  a.comment = options_.comment;
  return {NetbiosName::FromName(identity_.workgroup, kSuffixMasterBrowser),
          EncodeHostAnnouncement(a)};
}

Announcer::Clock::time_point Announcer::Tick(Clock::time_point now) {
  std::vector<Frame> frames;
  Clock::time_point next = Clock::time_point::max();
  {
    std::lock_guard lock(mutex_);
    if (!running_) return next;
    const bool periodic = nextPeriodic_ && now >= *nextPeriodic_;
    const bool answer = answerAt_ && now >= *answerAt_;
    if (periodic) {
      interval_ = IntervalAfter(count_);
      ++count_;
      nextPeriodic_ = now + interval_;
    }
    if (periodic || answer) {
      frames.push_back(AnnouncementFrame(Ms(interval_), options_.serverType));
      ++counters_.announcements;
      if (answer && !periodic) ++counters_.answers;
      // Whatever was asked before this announcement is answered by it.
      answerAt_.reset();
      lastAnnouncement_ = now;
    }
    if (requestWanted_) {
      requestWanted_ = false;
      frames.push_back(
          {identity_.WorkgroupNetbiosName(), EncodeAnnouncementRequest(identity_.computerName)});
      ++counters_.requestsSent;
    }
    if (nextPeriodic_) next = *nextPeriodic_;
    if (answerAt_) next = std::min(next, *answerAt_);
  }
  if (!frames.empty()) Send(frames);
  return next;
}

void Announcer::Send(const std::vector<Frame>& frames) {
  std::vector<NetworkInterface> nics;
  for (const NetworkInterface& n : SelectInterfaces(network_.Interfaces(), identity_.interfaces)) {
    if (n.up && !n.loopback && n.broadcastCapable && !n.broadcast.IsAny()) nics.push_back(n);
  }
  std::unique_lock lock(mutex_);
  IUdpSocket* socket = socket_;
  if (socket == nullptr) return;
  if (nics.empty()) {
    counters_.noInterface += frames.size();
    return;
  }
  std::vector<std::pair<SocketAddress, std::vector<uint8_t>>> out;
  for (const Frame& f : frames) {
    MailslotWriteOptions unpadded;
    unpadded.alignData = false;  // as Samba and the protocol's examples send them
    std::vector<uint8_t> smb = BuildMailslotWrite(kBrowseMailslot, f.data, unpadded);
    NetbiosDatagram header;
    header.type = kDgmDirectGroup;
    header.flags = kDgmFlagFirst | kDgmNodeB;
    header.id = nextId_++;
    header.sourcePort = kNetbiosDatagramPort;
    header.source = identity_.ComputerNetbiosName(kSuffixWorkstation);
    header.destination = f.destination;
    for (const NetworkInterface& n : nics) {
      header.sourceIp = n.address;
      out.emplace_back(SocketAddress{n.broadcast, kNetbiosDatagramPort},
                       BuildNetbiosDatagram(header, smb));
    }
  }
  lock.unlock();
  uint64_t failures = 0;
  for (const auto& [to, bytes] : out) {
    if (!socket->SendTo(to, bytes)) ++failures;
  }
  lock.lock();
  counters_.sendFailures += failures;
}

void Announcer::Run() {
  for (;;) {
    const Clock::time_point next = Tick(Now());
    std::unique_lock lock(mutex_);
    if (!running_) return;
    if (wake_) {
      wake_ = false;
      continue;
    }
    if (next == Clock::time_point::max()) {
      cv_.wait(lock, [this] { return wake_ || !running_; });
    } else {
      cv_.wait_until(lock, next, [this] { return wake_ || !running_; });
    }
    wake_ = false;
  }
}

AnnouncerCounters Announcer::Counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

}  // namespace vantrel
