// The name check's flow on a scripted network: order of the steps, retry counts and waits,
// the reset-failed cases, which answers count, and the connection probe's verdicts.
#include "transport/NameCheckImpl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <map>

#include "transport/linux/NbnsNameCheck.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

Ipv4Address Ip(const char* text) { return *Ipv4Address::Parse(text); }

struct Sent {
  SocketAddress to;
  std::vector<uint8_t> bytes;
};

class ScriptedNetwork;

class ScriptedSocket : public IUdpSocket {
 public:
  explicit ScriptedSocket(ScriptedNetwork& net) : net_(net) {}
  SocketAddress LocalAddress() const override { return {Ipv4Address::Any(), 50000}; }
  bool SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) override;
  std::optional<size_t> ReceiveFrom(std::span<uint8_t> buffer, SocketAddress* from) override {
    if (inbound.empty()) return std::nullopt;
    auto [src, bytes] = inbound.front();
    inbound.pop_front();
    size_t n = std::min(buffer.size(), bytes.size());
    std::copy_n(bytes.begin(), n, buffer.begin());
    if (from != nullptr) *from = src;
    return bytes.size();
  }
  size_t ReceiveBatch(std::vector<ReceivedDatagram>&, size_t, size_t) override { return 0; }
  bool WaitReadable(milliseconds timeout) override;
  void Interrupt() override {}

  std::deque<std::pair<SocketAddress, std::vector<uint8_t>>> inbound;

 private:
  ScriptedNetwork& net_;
};

// Records what the check does; `answer` decides what comes back for each datagram sent.
class ScriptedNetwork : public INetwork {
 public:
  std::vector<NetworkInterface> nics;
  bool bindFails = false;
  int binds = 0;
  std::vector<Sent> sent;
  std::vector<milliseconds> waits;  // every WaitReadable timeout asked for
  std::function<void(const Sent&, ScriptedSocket&)> answer;
  std::map<std::pair<uint32_t, uint16_t>, TcpConnectResult> tcp;
  std::vector<SocketAddress> connects;
  std::map<std::string, std::vector<Ipv4Address>> hosts;
  std::vector<std::string> resolved;

  std::vector<NetworkInterface> Interfaces() override { return nics; }
  UdpBindResult BindUdp(const SocketAddress&, const UdpOptions&) override {
    ++binds;
    UdpBindResult r;
    if (bindFails) {
      r.failure = BindFailure::Other;
      return r;
    }
    r.socket = std::make_unique<ScriptedSocket>(*this);
    return r;
  }
  TcpConnectResult TcpConnect(const SocketAddress& to, milliseconds) override {
    connects.push_back(to);
    auto it = tcp.find({to.address.value, to.port});
    return it == tcp.end() ? TcpConnectResult::TimedOut : it->second;
  }
  std::vector<Ipv4Address> ResolveHostName(std::string_view name) override {
    resolved.emplace_back(name);
    auto it = hosts.find(std::string(name));
    return it == hosts.end() ? std::vector<Ipv4Address>{} : it->second;
  }
};

bool ScriptedSocket::SendTo(const SocketAddress& to, std::span<const uint8_t> bytes) {
  net_.sent.push_back({to, {bytes.begin(), bytes.end()}});
  if (net_.answer) net_.answer(net_.sent.back(), *this);
  return true;
}

bool ScriptedSocket::WaitReadable(milliseconds timeout) {
  net_.waits.push_back(timeout);
  return !inbound.empty();
}

NetworkInterface Nic(const char* name, const char* address, bool broadcast = true) {
  NetworkInterface n;
  n.name = name;
  n.address = Ip(address);
  n.netmask = Ip("255.255.255.0");
  n.broadcast = broadcast ? Ipv4Address(n.address.value | 0xFF) : Ipv4Address::Any();
  n.broadcastCapable = broadcast;
  n.up = true;
  return n;
}

uint16_t FlagsOf(const Sent& s) { return uint16_t(s.bytes[2] << 8 | s.bytes[3]); }

milliseconds TotalWait(const ScriptedNetwork& net) {
  milliseconds total{0};
  for (auto w : net.waits) total += w;
  return total;
}

// Answers each query as the owner of `name` at `address` would.
auto Owner(const char* name, const char* address, bool group = false, const char* from = nullptr) {
  return [=](const Sent& s, ScriptedSocket& sock) {
    auto q = ParseNamePacket(s.bytes);
    if (!q || q->questions.empty() || q->questions[0].name.Name() != name) return;
    NbAddressEntry e{static_cast<uint16_t>(group ? kNbFlagGroup : 0), Ip(address)};
    sock.inbound.push_back({{Ip(from ? from : address), 137},
                            BuildPositiveNameQueryResponse(q->transactionId, q->questions[0].name,
                                                           std::span(&e, 1), 300)});
  };
}

class NameCheckTest : public ::testing::Test {
 protected:
  NameCheckTest() {
    net_.nics = {Nic("lo", "127.0.0.1", false), Nic("eth0", "198.18.0.11"),
                 Nic("eth1", "10.9.0.11")};
    net_.nics[0].loopback = true;
    lmhosts_ = ::testing::TempDir() + "name_check_lmhosts_" + std::to_string(::getpid());
  }
  ~NameCheckTest() override { std::remove(lmhosts_.c_str()); }

  NameCheckImpl Check(std::vector<std::string> wins = {}, std::vector<std::string> ifaces = {}) {
    return NameCheckImpl(MakeIdentity("ALICEPC", "LANFOLK", ifaces, wins, lmhosts_), net_);
  }

  ScriptedNetwork net_;
  std::string lmhosts_;
};

TEST_F(NameCheckTest, AbsentNameBroadcastsThreeTimesOnEachInterfaceWithinTheBound) {
  NameCheckImpl check = Check();
  EXPECT_EQ(check.FindNetBiosName("nobody"), 0);
  ASSERT_EQ(net_.sent.size(), 6u);  // 3 tries x 2 broadcast-capable interfaces, not lo
  for (size_t i = 0; i < net_.sent.size(); ++i) {
    EXPECT_EQ(net_.sent[i].to.port, 137);
    EXPECT_EQ(net_.sent[i].to.address, i % 2 == 0 ? Ip("198.18.0.255") : Ip("10.9.0.255"));
    EXPECT_EQ(FlagsOf(net_.sent[i]), 0x0110);           // RD + B
    EXPECT_EQ(net_.sent[i].bytes, net_.sent[0].bytes);  // one transaction, repeated
  }
  EXPECT_LE(TotalWait(net_), milliseconds(750));
  EXPECT_GE(TotalWait(net_), milliseconds(700));
  auto q = ParseNamePacket(net_.sent[0].bytes);
  ASSERT_TRUE(q);
  EXPECT_EQ(q->questions.at(0).name.ToString(), "NOBODY<00>");
}

TEST_F(NameCheckTest, NameFormIsUpperCaseFirstFifteen) {
  NameCheckImpl check = Check();
  check.FindNetBiosName("bob");
  check.FindNetBiosName("BOB");
  check.FindNetBiosName("twentyletternamexxxx");
  ASSERT_EQ(net_.sent.size(), 18u);
  auto a = ParseNamePacket(net_.sent[0].bytes);
  auto b = ParseNamePacket(net_.sent[6].bytes);
  auto c = ParseNamePacket(net_.sent[12].bytes);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->questions[0].name, b->questions[0].name);
  EXPECT_EQ(c->questions[0].name.ToString(), "TWENTYLETTERNAM<00>");
}

TEST_F(NameCheckTest, PositiveAnswersUniqueAndGroup) {
  net_.answer = Owner("BOBPC", "198.18.0.12");
  NameCheckImpl check = Check();
  NameResolution r = check.ResolveNetbiosName("bobpc");
  EXPECT_TRUE(r.Found());
  EXPECT_EQ(r.source, NameSource::kBroadcast);
  EXPECT_EQ(r.address, Ip("198.18.0.12"));
  EXPECT_FALSE(r.group);
  EXPECT_EQ(net_.sent.size(), 2u);  // answered during the first try

  net_.sent.clear();
  net_.answer = Owner("SAMBAWG", "198.18.0.13", true);
  r = check.ResolveNetbiosName("SambaWG");
  EXPECT_TRUE(r.Found());
  EXPECT_TRUE(r.group);
  EXPECT_NE(check.FindNetBiosName("sambawg"), 0);
}

TEST_F(NameCheckTest, IgnoresAnswersThatDoNotBelongToTheQuery) {
  net_.answer = [](const Sent& s, ScriptedSocket& sock) {
    auto q = ParseNamePacket(s.bytes);
    NbAddressEntry e{0, Ip("198.18.0.66")};
    // Wrong transaction id, another name, a query rather than a response, junk.
    sock.inbound.push_back(
        {{Ip("198.18.0.66"), 137},
         BuildPositiveNameQueryResponse(uint16_t(q->transactionId + 1), q->questions[0].name,
                                        std::span(&e, 1), 300)});
    sock.inbound.push_back(
        {{Ip("198.18.0.66"), 137},
         BuildPositiveNameQueryResponse(q->transactionId, NetbiosName::FromName("OTHER", 0),
                                        std::span(&e, 1), 300)});
    sock.inbound.push_back({{Ip("198.18.0.66"), 137}, s.bytes});
    sock.inbound.push_back({{Ip("198.18.0.66"), 137}, {0xde, 0xad}});
    // A negative answer to a broadcast does not end the search.
    sock.inbound.push_back(
        {{Ip("198.18.0.66"), 137},
         BuildNegativeNameQueryResponse(q->transactionId, q->questions[0].name)});
  };
  NameCheckImpl check = Check();
  EXPECT_EQ(check.FindNetBiosName("BOBPC"), 0);
  EXPECT_EQ(net_.sent.size(), 6u);
}

TEST_F(NameCheckTest, StaticTableComesFirstAndSendsNothing) {
  {
    std::ofstream out(lmhosts_);
    out << "198.18.0.44 STATICPC\n";
  }
  NameCheckImpl check = Check({"198.18.0.5"});
  NameResolution r = check.ResolveNetbiosName("staticpc");
  EXPECT_TRUE(r.Found());
  EXPECT_EQ(r.source, NameSource::kLmhosts);
  EXPECT_EQ(r.address, Ip("198.18.0.44"));
  EXPECT_TRUE(net_.sent.empty());
  EXPECT_EQ(net_.binds, 0);
}

TEST_F(NameCheckTest, WinsFirstThreeTimesThenBroadcast) {
  NameCheckImpl check = Check({"198.18.0.5"});
  EXPECT_EQ(check.FindNetBiosName("NOBODY"), 0);
  ASSERT_EQ(net_.sent.size(), 3u + 6u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(net_.sent[i].to, (SocketAddress{Ip("198.18.0.5"), 137}));
    EXPECT_EQ(FlagsOf(net_.sent[i]), 0x0100);  // RD, not broadcast
  }
  for (size_t i = 3; i < 9; ++i) EXPECT_EQ(FlagsOf(net_.sent[i]), 0x0110);
  EXPECT_LE(TotalWait(net_), milliseconds(3 * 1500 + 750));
  EXPECT_GE(TotalWait(net_), milliseconds(3 * 1400 + 700));
}

TEST_F(NameCheckTest, WinsAnswersOnlyCountFromTheServerAndNegativeEndsTheWinsStep) {
  // A positive answer from somewhere else than the server is ignored.
  net_.answer = Owner("BOBPC", "198.18.0.12", false, "198.18.0.99");
  NameCheckImpl check = Check({"198.18.0.5"});
  NameResolution r = check.ResolveNetbiosName("BOBPC");
  EXPECT_TRUE(r.Found());
  EXPECT_EQ(r.source, NameSource::kBroadcast);  // found by the broadcast step instead

  net_.sent.clear();
  net_.answer = Owner("BOBPC", "198.18.0.12", false, "198.18.0.5");
  r = check.ResolveNetbiosName("BOBPC");
  EXPECT_EQ(r.source, NameSource::kWins);
  EXPECT_EQ(net_.sent.size(), 1u);

  net_.sent.clear();
  net_.answer = [](const Sent& s, ScriptedSocket& sock) {
    auto q = ParseNamePacket(s.bytes);
    if (s.to.address == Ip("198.18.0.5")) {
      sock.inbound.push_back(
          {s.to, BuildNegativeNameQueryResponse(q->transactionId, q->questions[0].name)});
    }
  };
  EXPECT_EQ(check.FindNetBiosName("NOBODY"), 0);
  ASSERT_EQ(net_.sent.size(), 1u + 6u);  // one WINS question, then the broadcasts
}

TEST_F(NameCheckTest, ResetFailedCountsAsExisting) {
  // No interface up with an address among the configured ones.
  NameCheckImpl onlyMissing = Check({}, {"wlan9"});
  NameResolution r = onlyMissing.ResolveNetbiosName("ANY");
  EXPECT_EQ(r.status, NameLookupStatus::kResetFailed);
  EXPECT_EQ(onlyMissing.FindNetBiosName("ANY"), 1);
  EXPECT_EQ(net_.binds, 0);

  // Only the loopback: nothing to broadcast on and no WINS server.
  net_.nics.resize(1);
  NameCheckImpl loopOnly = Check({}, {"lo"});
  EXPECT_EQ(loopOnly.FindNetBiosName("ANY"), 1);

  // No socket.
  net_.nics = {Nic("eth0", "198.18.0.11")};
  net_.bindFails = true;
  NameCheckImpl noSocket = Check();
  EXPECT_EQ(noSocket.ResolveNetbiosName("ANY").status, NameLookupStatus::kResetFailed);
  EXPECT_EQ(noSocket.FindNetBiosName("ANY"), 1);
  EXPECT_TRUE(net_.sent.empty());
}

TEST_F(NameCheckTest, ProbeVerdicts) {
  NameCheckImpl check = Check();
  const Ipv4Address host = Ip("198.18.0.12");
  net_.hosts["bobpc"] = {host};

  // Unknown name: no connection attempt at all.
  EXPECT_EQ(check.ProbeNetworkName("nobody"), 0);
  EXPECT_TRUE(net_.connects.empty());
  EXPECT_EQ(check.ProbeNetworkName(""), 0);

  struct Case {
    TcpConnectResult on445;
    TcpConnectResult on139;
    int expected;
    size_t attempts;
  } cases[] = {
      {TcpConnectResult::Connected, TcpConnectResult::TimedOut, 1, 1},
      {TcpConnectResult::Refused, TcpConnectResult::TimedOut, 1, 1},  // access denied alike
      {TcpConnectResult::Other, TcpConnectResult::TimedOut, 1, 1},
      {TcpConnectResult::Unreachable, TcpConnectResult::Connected, 0, 1},
      {TcpConnectResult::TimedOut, TcpConnectResult::Refused, 1, 2},
      {TcpConnectResult::TimedOut, TcpConnectResult::TimedOut, 0, 2},
  };
  for (const Case& c : cases) {
    net_.connects.clear();
    net_.tcp[{host.value, 445}] = c.on445;
    net_.tcp[{host.value, 139}] = c.on139;
    EXPECT_EQ(check.ProbeNetworkName("bobpc"), c.expected);
    ASSERT_EQ(net_.connects.size(), c.attempts);
    EXPECT_EQ(net_.connects[0], (SocketAddress{host, 445}));
    if (c.attempts == 2) {
      EXPECT_EQ(net_.connects[1], (SocketAddress{host, 139}));
    }
  }

  // A dotted address is probed as it is, without the resolver.
  net_.resolved.clear();
  net_.tcp[{Ip("198.18.0.77").value, 445}] = TcpConnectResult::Refused;
  EXPECT_EQ(check.ProbeNetworkName("198.18.0.77"), 1);
  EXPECT_TRUE(net_.resolved.empty());
}

TEST_F(NameCheckTest, ProbeUsesTheBoundedResolverAndFallsBackToTheStaticTable) {
  std::vector<std::pair<std::string, milliseconds>> asked;
  NameCheckImpl check(MakeIdentity("ALICEPC", "LANFOLK", {}, {}, lmhosts_), net_, {},
                      [&](std::string_view name, milliseconds timeout) {
                        asked.emplace_back(std::string(name), timeout);
                        return std::vector<Ipv4Address>{};
                      });
  {
    std::ofstream out(lmhosts_);
    out << "198.18.0.45 FILER#20\n";
  }
  net_.tcp[{Ip("198.18.0.45").value, 445}] = TcpConnectResult::Connected;
  EXPECT_EQ(check.ProbeNetworkName("filer"), 1);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].first, "filer");
  EXPECT_LE(asked[0].second, milliseconds(250));
  EXPECT_TRUE(net_.resolved.empty());  // the unbounded resolver is not used
}

TEST_F(NameCheckTest, MailslotTargetReusesTheCheckJustMade) {
  net_.answer = Owner("BOBPC", "198.18.0.12");
  NameCheckImpl check = Check();
  ASSERT_NE(check.FindNetBiosName("bobpc"), 0);
  size_t sends = net_.sent.size();
  auto target = check.ResolveMailslotTarget("BobPC");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->address, Ip("198.18.0.12"));
  EXPECT_FALSE(target->group);
  EXPECT_EQ(net_.sent.size(), sends);  // no second lookup

  // A workgroup: a group target.
  net_.answer = Owner("LANFOLK", "198.18.0.13", true);
  target = check.ResolveMailslotTarget("lanfolk");  // no check before: a fresh lookup
  ASSERT_TRUE(target);
  EXPECT_TRUE(target->group);
  EXPECT_GT(net_.sent.size(), sends);

  // Not a NetBIOS name, but the probe found an address for it: unique, at that address.
  net_.answer = nullptr;
  net_.hosts["fileserver.example"] = {Ip("198.18.0.50")};
  net_.tcp[{Ip("198.18.0.50").value, 445}] = TcpConnectResult::Refused;
  EXPECT_EQ(check.FindNetBiosName("fileserver.example"), 0);
  EXPECT_EQ(check.ProbeNetworkName("fileserver.example"), 1);
  sends = net_.sent.size();
  size_t lookups = net_.resolved.size();
  target = check.ResolveMailslotTarget("fileserver.example");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->address, Ip("198.18.0.50"));
  EXPECT_FALSE(target->group);
  EXPECT_EQ(net_.sent.size(), sends);
  EXPECT_EQ(net_.resolved.size(), lookups);

  // A dotted address needs no lookup beyond the NetBIOS one; nothing at all: no target.
  target = check.ResolveMailslotTarget("198.18.0.61");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->address, Ip("198.18.0.61"));
  EXPECT_FALSE(check.ResolveMailslotTarget("NOWHERE"));
  EXPECT_FALSE(check.ResolveMailslotTarget(""));
}

TEST(BoundedResolver, ResolvesLocalNamesAndRefusesEmbeddedZeros) {
  // /etc/hosts only: no traffic leaves the machine.
  auto local = linux::ResolveHostNameWithin("localhost", milliseconds(5000));
  ASSERT_FALSE(local.empty());
  EXPECT_TRUE(local.front().IsLoopback());
  EXPECT_TRUE(linux::ResolveHostNameWithin(std::string_view("a\0b", 3), milliseconds(100)).empty());
  EXPECT_TRUE(linux::ResolveHostNameWithin("", milliseconds(100)).empty());
}

}  // namespace
}  // namespace vantrel
