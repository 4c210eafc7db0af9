#include "transport/linux/SessionListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <vector>

namespace vantrel::linux {
namespace {

constexpr size_t kReadChunk = 4096;
// Reads from one connection per wake-up, so that one busy peer cannot hold
// the others up; the rest waits for the next round.
constexpr int kReadsPerRound = 4;
// Connections taken from the backlog per wake-up.
constexpr int kAcceptsPerRound = 64;
// Answers are a few dozen bytes per request; a peer that does not read them
// has this much kept for it before it is cut.
constexpr size_t kMaxPendingOut = 65536;
// After the system refuses an accept (out of descriptors), the backlog is
// left alone this long instead of polling it in a busy loop.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

struct Peer {
  int fd = -1;
  std::vector<uint8_t> out;
};

// Sends what is pending without blocking; false when the socket failed.
bool Flush(Peer& peer) {
  while (!peer.out.empty()) {
    ssize_t n = ::send(peer.fd, peer.out.data(), peer.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    peer.out.erase(peer.out.begin(), peer.out.begin() + n);
  }
  return true;
}

}  // namespace

const char* ListenerStateText(ListenerState state) {
  static constexpr ServiceStateTexts kTexts = {
      "the session service port is held by another program",
      "no permission to bind the session service port",
      "the session service socket could not be opened",
  };
  return ServiceStateText(state, kTexts);
}

SessionListener::SessionListener(MessageSessionConfig config, SessionLimits limits, Deliver deliver)
    : deliver_(std::move(deliver)), table_(std::move(config), limits) {}

SessionListener::~SessionListener() { Stop(); }

ListenerState SessionListener::Start(uint16_t port, Ipv4Address bindAddress) {
  return socket_.Start({.type = SOCK_STREAM,
                        .optionLevel = SOL_SOCKET,
                        .optionName = SO_REUSEADDR,
                        .listenBacklog = 64},
                       port, bindAddress, [this] { Run(); });
}

void SessionListener::Stop() { socket_.Stop(); }

SessionCounters SessionListener::Counters() const {
  std::lock_guard lock(mutex_);
  return table_.Counters();
}

size_t SessionListener::OpenConnections() const {
  std::lock_guard lock(mutex_);
  return table_.Open();
}

void SessionListener::Run() {
  using Id = MessageSessionTable::Id;
  std::map<Id, Peer> peers;
  std::vector<pollfd> fds;
  std::vector<Id> ids;  // ids[i] belongs to fds[i + 2]
  std::vector<uint8_t> buffer(kReadChunk);
  SessionClock::time_point acceptPausedUntil{};

  auto drop = [&peers](Id id) {
    auto it = peers.find(id);
    if (it == peers.end()) return;
    ::close(it->second.fd);
    peers.erase(it);
  };

  for (;;) {
    SessionClock::time_point now = SessionClock::now();
    const bool acceptPaused = now < acceptPausedUntil;
    std::optional<SessionClock::time_point> deadline;
    {
      std::lock_guard lock(mutex_);
      deadline = table_.NextDeadline();
    }
    if (acceptPaused && (!deadline || acceptPausedUntil < *deadline)) deadline = acceptPausedUntil;
    int timeoutMs = -1;
    if (deadline) {
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
      timeoutMs = static_cast<int>(std::clamp<int64_t>(wait, 0, 60000));
    }

    fds.clear();
    ids.clear();
    fds.push_back({});  // the wake-up descriptor, filled in by Poll
    fds.push_back({acceptPaused ? -1 : socket_.Fd(), POLLIN, 0});
    for (auto& [id, peer] : peers) {
      short events = POLLIN;
      if (!peer.out.empty()) events |= POLLOUT;
      fds.push_back({peer.fd, events, 0});
      ids.push_back(id);
    }
    ServiceSocket::Wait wait = socket_.Poll(fds, timeoutMs);
    if (wait == ServiceSocket::Wait::kStop) break;
    if (wait == ServiceSocket::Wait::kInterrupted) continue;
    now = SessionClock::now();

    // New connections.
    if (fds[1].revents != 0) {
      for (int i = 0; i < kAcceptsPerRound; ++i) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        int c = ::accept4(socket_.Fd(), reinterpret_cast<sockaddr*>(&from), &fromLen,
                          SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c < 0) {
          if (errno == EINTR) continue;
          if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            acceptPausedUntil = now + kAcceptPause;
          break;  // EAGAIN: the backlog is empty
        }
        MessageSessionTable::Admission a;
        {
          std::lock_guard lock(mutex_);
          a = table_.Open(Ipv4Address(ntohl(from.sin_addr.s_addr)), now);
        }
        if (a.evicted) drop(*a.evicted);
        if (!a.id) {
          ::close(c);
          continue;
        }
        peers[*a.id].fd = c;
      }
    }

    // Bytes from the open connections, and answers to them.
    std::vector<std::string> texts;
    for (size_t i = 0; i < ids.size(); ++i) {
      const short revents = fds[i + 2].revents;
      if (revents == 0) continue;
      auto it = peers.find(ids[i]);
      if (it == peers.end()) continue;  // evicted in this round
      Peer& peer = it->second;
      bool gone = false;
      if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        for (int reads = 0; reads < kReadsPerRound && !gone; ++reads) {
          ssize_t n = ::recv(peer.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
          if (n < 0 && errno == EINTR) continue;
          if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
          if (n <= 0) {  // closed by the peer, or failed
            std::lock_guard lock(mutex_);
            table_.Close(ids[i]);
            gone = true;
            break;
          }
          SessionStep step;
          {
            std::lock_guard lock(mutex_);
            step = table_.Feed(ids[i], std::span(buffer.data(), static_cast<size_t>(n)), now);
          }
          peer.out.insert(peer.out.end(), step.reply.begin(), step.reply.end());
          for (std::string& t : step.texts) texts.push_back(std::move(t));
          if (step.close) {
            // The answer (a NEGATIVE RESPONSE, an error) goes out if the
            // socket takes it now; the connection ends either way.
            Flush(peer);
            gone = true;
          }
          if (static_cast<size_t>(n) < buffer.size()) break;
        }
      }
      if (!gone && !Flush(peer)) {
        std::lock_guard lock(mutex_);
        table_.Close(ids[i]);
        gone = true;
      }
      if (!gone && peer.out.size() > kMaxPendingOut) {
        std::lock_guard lock(mutex_);
        table_.Close(ids[i]);
        gone = true;
      }
      if (gone) drop(ids[i]);
    }

    // Time limits.
    std::vector<MessageSessionTable::Expired> expired;
    {
      std::lock_guard lock(mutex_);
      expired = table_.Expire(SessionClock::now());
    }
    for (const auto& e : expired) drop(e.id);

    if (deliver_) {
      for (std::string& t : texts) deliver_(std::move(t));
    }
  }
  for (auto& [id, peer] : peers) ::close(peer.fd);
  std::lock_guard lock(mutex_);
  for (auto& [id, peer] : peers) table_.Close(id);
}

}  // namespace vantrel::linux
