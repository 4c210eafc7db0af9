// The Linux network back-end on loopback (ports chosen by the system).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/linux/LinuxNetwork.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

const SocketAddress kAnyLoopback{Ipv4Address::Loopback(), 0};

TEST(LinuxNetwork, ListsTheLoopbackInterface) {
  linux::LinuxNetwork net;
  auto nics = net.Interfaces();
  auto lo = std::find_if(nics.begin(), nics.end(), [](const NetworkInterface& n) {
    return n.address == Ipv4Address::Loopback();
  });
  ASSERT_NE(lo, nics.end());
  EXPECT_TRUE(lo->loopback);
  EXPECT_TRUE(lo->up);
  EXPECT_EQ(lo->netmask, Ipv4Address::FromOctets(255, 0, 0, 0));
  EXPECT_TRUE(lo->Contains(Ipv4Address::FromOctets(127, 1, 2, 3)));
}

TEST(LinuxNetwork, UdpSendReceiveWaitAndBatch) {
  linux::LinuxNetwork net;
  auto a = net.BindUdp(kAnyLoopback, {});
  auto b = net.BindUdp(kAnyLoopback, {});
  ASSERT_TRUE(a.socket && b.socket);
  SocketAddress to = b.socket->LocalAddress();
  ASSERT_NE(to.port, 0);
  EXPECT_FALSE(b.socket->WaitReadable(milliseconds(10)));  // nothing yet

  std::vector<uint8_t> msg = {1, 2, 3, 4, 5};
  ASSERT_TRUE(a.socket->SendTo(to, msg));
  ASSERT_TRUE(b.socket->WaitReadable(milliseconds(2000)));
  uint8_t small[3];
  SocketAddress from;
  auto n = b.socket->ReceiveFrom(small, &from);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 5u);  // the whole length, though only 3 bytes fit
  EXPECT_EQ(from, a.socket->LocalAddress());
  EXPECT_FALSE(b.socket->ReceiveFrom(small, &from));  // none waits: no blocking

  for (uint8_t i = 0; i < 10; ++i)
    ASSERT_TRUE(a.socket->SendTo(to, std::vector<uint8_t>(i + 1u, i)));
  ASSERT_TRUE(b.socket->WaitReadable(milliseconds(2000)));
  std::this_thread::sleep_for(milliseconds(20));
  std::vector<ReceivedDatagram> got;
  EXPECT_EQ(b.socket->ReceiveBatch(got, 100, 4), 10u);
  ASSERT_EQ(got.size(), 10u);
  EXPECT_EQ(got[2].bytes, std::vector<uint8_t>(3, 2));
  EXPECT_FALSE(got[3].truncated);
  EXPECT_TRUE(got[9].truncated);
  EXPECT_EQ(got[9].bytes.size(), 4u);
  EXPECT_EQ(b.socket->ReceiveBatch(got, 100, 4), 0u);
}

TEST(LinuxNetwork, InterruptWakesAWaitingThread) {
  linux::LinuxNetwork net;
  auto s = net.BindUdp(kAnyLoopback, {});
  ASSERT_TRUE(s.socket);
  auto start = std::chrono::steady_clock::now();
  std::thread waker([&] {
    std::this_thread::sleep_for(milliseconds(50));
    s.socket->Interrupt();
  });
  EXPECT_FALSE(s.socket->WaitReadable(milliseconds(-1)));
  waker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(s.socket->WaitReadable(milliseconds(-1)));  // stays interrupted
}

TEST(LinuxNetwork, BindFailuresAreClassified) {
  linux::LinuxNetwork net;
  auto first = net.BindUdp(kAnyLoopback, {});
  ASSERT_TRUE(first.socket);
  auto second = net.BindUdp(first.socket->LocalAddress(), {});
  EXPECT_FALSE(second.socket);
  EXPECT_EQ(second.failure, BindFailure::InUse);
  // An address this host does not have.
  auto foreign = net.BindUdp({Ipv4Address::FromOctets(198, 51, 100, 77), 0}, {});
  EXPECT_EQ(foreign.failure, BindFailure::Other);
}

TEST(LinuxNetwork, PrivilegedPortWithoutPrivilegeIsNoPermission) {
  int start = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> start;
  if (start <= 138) GTEST_SKIP() << "port 138 is not privileged on this host";
  // A child without privileges tries the mailslot port.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    linux::LinuxNetwork net;
    auto r = net.BindUdp({Ipv4Address::Loopback(), 138}, {});
    _exit(r.failure == BindFailure::NoPermission ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(LinuxNetwork, TcpConnectAndHostNames) {
  linux::LinuxNetwork net;
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  socklen_t len = sizeof sa;
  getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  uint16_t port = ntohs(sa.sin_port);
  ASSERT_EQ(listen(listener, 4), 0);
  EXPECT_EQ(net.TcpConnect({Ipv4Address::Loopback(), port}, milliseconds(1000)),
            TcpConnectResult::Connected);
  close(listener);
  EXPECT_EQ(net.TcpConnect({Ipv4Address::Loopback(), port}, milliseconds(1000)),
            TcpConnectResult::Refused);

  auto local = net.ResolveHostName("localhost");
  EXPECT_NE(std::find(local.begin(), local.end(), Ipv4Address::Loopback()), local.end());
  EXPECT_TRUE(net.ResolveHostName("").empty());
  EXPECT_EQ(net.ResolveHostName("127.0.0.9"),
            std::vector<Ipv4Address>{Ipv4Address::FromOctets(127, 0, 0, 9)});
}

TEST(Ipv4Address, ParseAndPrint) {
  EXPECT_EQ(Ipv4Address::Parse("198.18.0.1"), Ipv4Address(0xC6120001u));
  EXPECT_EQ(Ipv4Address(0xC6120001u).ToString(), "198.18.0.1");
  for (const char* bad :
       {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4 ", "a.b.c.d", "1.2.3.0004"}) {
    EXPECT_FALSE(Ipv4Address::Parse(bad)) << bad;
  }
  EXPECT_EQ((SocketAddress{Ipv4Address::Loopback(), 138}).ToString(), "127.0.0.1:138");
}

}  // namespace
}  // namespace vantrel
