// The session listener on real loopback sockets (ports picked by the system):
// smbclient's conversation over TCP, the port held by another listener, and
// clients that stall, flood or leave in the middle.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SessionFrames.h"
#include "transport/linux/SessionListener.h"

namespace vantrel::linux {
namespace {

using namespace testframes;
using namespace std::chrono_literals;

MessageSessionConfig Carol() {
  MessageSessionConfig c;
  c.calledName = NetbiosName::FromName("CAROL", kSuffixMessenger);
  c.computerName = "CAROL";
  c.languageClass = 2;
  c.timeText = [] { return std::string("2024-05-01 10:00:00"); };
  return c;
}

// Texts handed over by the listener's thread.
class Inbox {
 public:
  void Put(std::string text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(std::move(text));
    cv_.notify_all();
  }
  bool WaitFor(size_t n, std::chrono::milliseconds limit = 5s) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return texts_.size() >= n; });
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> texts_;
};

class Client {
 public:
  explicit Client(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool connected() const { return connected_; }
  bool Send(const Bytes& b) {
    return ::send(fd_, b.data(), b.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(b.size());
  }
  // Reads n bytes (fewer when the listener closes or nothing comes in time).
  Bytes Read(size_t n, std::chrono::milliseconds limit = 5s) {
    Bytes out;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (out.size() < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buf[512];
      ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
      if (got <= 0) break;
      out.insert(out.end(), buf, buf + got);
    }
    return out;
  }
  // True when the listener has closed the connection (end of file or reset).
  bool ClosedByPeer(std::chrono::milliseconds limit = 5s) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
    uint8_t b;
    return ::recv(fd_, &b, 1, MSG_DONTWAIT) <= 0;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

template <typename Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 5s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    if (pred()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return pred();
}

TEST(SessionListener, TakesSmbclientsConversationOverTcp) {
  Inbox inbox;
  SessionListener listener(Carol(), {}, [&](std::string t) { inbox.Put(std::move(t)); });
  ASSERT_EQ(listener.Start(0, Ipv4Address::Loopback()), ListenerState::kRunning);
  Client c(listener.Port());
  ASSERT_TRUE(c.connected());
  ASSERT_TRUE(c.Send(SmbclientSessionRequest()));
  EXPECT_EQ(c.Read(4), Hex("82 00 00 00"));
  // The rest in one write, as smbclient's pipelined requests may arrive.
  ASSERT_TRUE(c.Send(SmbclientSendStart() + SmbclientSendText() + SmbclientSendEnd()));
  const Bytes answers = c.Read(4 + 37 + 4 + 35 + 4 + 35);
  ASSERT_EQ(answers.size(), 4u + 37 + 4 + 35 + 4 + 35);
  EXPECT_EQ(answers[4 + 4], 0xD5);  // start, with its group
  EXPECT_EQ(answers[4 + 33], 1);
  ASSERT_TRUE(inbox.WaitFor(1));
  EXPECT_EQ(inbox.Texts()[0], "Message from BOB to CAROL on 2024-05-01 10:00:00\r\nhello\r\n");
  EXPECT_EQ(listener.Counters().delivered, 1u);
  listener.Stop();
  EXPECT_TRUE(c.ClosedByPeer());
  EXPECT_EQ(listener.State(), ListenerState::kStopped);
}

TEST(SessionListener, APortHeldByAnotherListenerIsAStateNotAnError) {
  SessionListener first(Carol(), {}, {});
  ASSERT_EQ(first.Start(0, Ipv4Address::Loopback()), ListenerState::kRunning);
  SessionListener second(Carol(), {}, {});
  EXPECT_EQ(second.Start(first.Port(), Ipv4Address::Loopback()), ListenerState::kPortHeld);
  // Beside a socket listening without address reuse (smbd's way) as well.
  int other = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(other, 1), 0);
  socklen_t len = sizeof sa;
  ::getsockname(other, reinterpret_cast<sockaddr*>(&sa), &len);
  SessionListener third(Carol(), {}, {});
  EXPECT_EQ(third.Start(ntohs(sa.sin_port), Ipv4Address::Loopback()), ListenerState::kPortHeld);
  // And on the wildcard address beside a socket bound to one address.
  EXPECT_EQ(third.Start(ntohs(sa.sin_port), Ipv4Address::Any()), ListenerState::kPortHeld);
  ::close(other);
}

TEST(SessionListener, StalledAndFloodingClientsAreCutAndARealOneStillGetsThrough) {
  SessionLimits limits;
  limits.requestTimeout = 300ms;
  limits.maxPerSource = 3;
  limits.sourceBurst = 100;
  Inbox inbox;
  SessionListener listener(Carol(), limits, [&](std::string t) { inbox.Put(std::move(t)); });
  ASSERT_EQ(listener.Start(0, Ipv4Address::Loopback()), ListenerState::kRunning);

  // Three stall (connected, nothing sent); the ones beyond the per-address
  // cap are closed at once.
  std::vector<std::unique_ptr<Client>> stalled;
  for (int i = 0; i < 3; ++i) stalled.push_back(std::make_unique<Client>(listener.Port()));
  ASSERT_TRUE(Eventually([&] { return listener.OpenConnections() == 3; }));
  Client extra(listener.Port());
  EXPECT_TRUE(extra.ClosedByPeer());
  EXPECT_EQ(listener.Counters().Drops(SessionDrop::kRefusedSource), 1u);

  // The stalled ones are cut once the request is overdue; then a real client is served.
  for (auto& s : stalled) EXPECT_TRUE(s->ClosedByPeer());
  EXPECT_EQ(listener.Counters().Drops(SessionDrop::kRequestTimeout), 3u);
  Client real(listener.Port());
  ASSERT_TRUE(real.Send(SmbclientSessionRequest() + SmbclientSendStart() + SmbclientSendText() +
                        SmbclientSendEnd()));
  ASSERT_TRUE(inbox.WaitFor(1));
  EXPECT_EQ(listener.OpenConnections(), 1u);
}

TEST(SessionListener, ClientsThatLeaveOrMisbehaveAreForgotten) {
  Inbox inbox;
  SessionListener listener(Carol(), {}, [&](std::string t) { inbox.Put(std::move(t)); });
  ASSERT_EQ(listener.Start(0, Ipv4Address::Loopback()), ListenerState::kRunning);
  {
    Client leaves(listener.Port());
    ASSERT_TRUE(leaves.Send(SmbclientSessionRequest() + SmbclientSendStart()));
    EXPECT_EQ(leaves.Read(4 + 4 + 37).size(), 45u);
  }  // closed in the middle of a message
  {
    Client wrong(listener.Port());
    ASSERT_TRUE(wrong.Send(SessionRequestPacket("DAVE", 3, "BOB", 0)));
    EXPECT_EQ(wrong.Read(5), Hex("83 00 00 01 82"));
    EXPECT_TRUE(wrong.ClosedByPeer());
  }
  {
    Client huge(listener.Port());
    ASSERT_TRUE(huge.Send(SmbclientSessionRequest() + Hex("00 01 ff ff")));  // 128 KiB announced
    EXPECT_EQ(huge.Read(4), Hex("82 00 00 00"));
    EXPECT_TRUE(huge.ClosedByPeer());
  }
  ASSERT_TRUE(Eventually([&] { return listener.OpenConnections() == 0; }));
  EXPECT_TRUE(inbox.Texts().empty());
  const SessionCounters counters = listener.Counters();
  EXPECT_EQ(counters.Drops(SessionDrop::kNotOurName), 1u);
  EXPECT_EQ(counters.Drops(SessionDrop::kFrameTooLong), 1u);
  EXPECT_EQ(counters.accepted, 3u);
}

}  // namespace
}  // namespace vantrel::linux
