// The mailslot endpoint and its reader on real UDP sockets over loopback (ports chosen by the
// system, never a fixed one).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "TestFrames.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/LinuxNetwork.h"
#include "receive/SlotReader.h"
#include "transport/MailslotEndpoint.h"

namespace vantrel {
namespace {

using namespace testframes;
using std::chrono::milliseconds;

MailslotEndpoint::Options Loopback() {
  MailslotEndpoint::Options o;
  o.bind = {Ipv4Address::Loopback(), 0};
  return o;
}

Bytes Frame(std::string_view body) {
  DgmFrame d;
  d.destination = Name34("PC1", 0x03);
  SmbFrame s;
  s.data = Bytes(body.begin(), body.end());
  d.userData = Smb(s);
  return Dgm(d);
}

// Waits until the endpoint has taken in `n` datagrams.
bool WaitReceived(const MailslotEndpoint& e, uint64_t n, milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (e.Counters().received < n) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(2));
  }
  return true;
}

class MailslotSocketTest : public ::testing::Test {
 protected:
  linux::LinuxNetwork net;
  fakes::FakeSystemInfo sys;
  fakes::RecordingMessageBox box;
  Identity id = MakeIdentity("PC1", "WORKGROUP", {}, {});
};

TEST_F(MailslotSocketTest, SecondOwnerIsRefusedAsInUse) {
  MailslotEndpoint first(net, id, Loopback());
  ASSERT_EQ(first.OpenMessageSlot(), 1);
  MailslotEndpoint::Options same = Loopback();
  same.bind.port = first.LocalAddress().port;
  MailslotEndpoint second(net, id, same);
  EXPECT_EQ(second.OpenMessageSlot(), 0);
  EXPECT_EQ(second.OpenFailure(), BindFailure::InUse);
  // Once the first owner lets go, the name is free.
  first.CloseMessageSlot();
  EXPECT_EQ(second.OpenMessageSlot(), 1);
}

TEST_F(MailslotSocketTest, ArrivingDatagramsBecomeRecords) {
  MailslotEndpoint e(net, id, Loopback());
  ASSERT_EQ(e.OpenMessageSlot(), 1);
  auto sender = net.BindUdp({Ipv4Address::Loopback(), 0}, {});
  ASSERT_TRUE(sender.socket);
  SocketAddress to = e.LocalAddress();
  ASSERT_TRUE(sender.socket->SendTo(to, Frame(std::string_view("ALICE\0PC1\0hello", 15))));
  ASSERT_TRUE(sender.socket->SendTo(to, Bytes{0x10, 2, 3}));  // garbage is counted, not queued
  ASSERT_TRUE(WaitReceived(e, 2, milliseconds(5000)));
  std::vector<MessageRecord> list;
  EXPECT_EQ(SlotReader(e, sys, box).ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Fields().text, "hello");
  EXPECT_EQ(e.Counters().badDatagram, 1u);
}

TEST_F(MailslotSocketTest, BurstOfOneHundredThousandLosesNone) {
  MailslotEndpoint e(net, id, Loopback());
  ASSERT_EQ(e.OpenMessageSlot(), 1);
  auto sender = net.BindUdp({Ipv4Address::Loopback(), 0}, {});
  ASSERT_TRUE(sender.socket);
  SocketAddress to = e.LocalAddress();
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) {
    std::string body = "S" + std::to_string(i) + std::string("\0PC1\0burst", 10);
    ASSERT_TRUE(sender.socket->SendTo(to, Frame(body)));
  }
  ASSERT_TRUE(WaitReceived(e, kCount, milliseconds(60000))) << e.Counters().received;
  std::vector<MessageRecord> list;
  EXPECT_EQ(SlotReader(e, sys, box).ReadMessageSlot(list, 0), 1);
  ASSERT_EQ(list.size(), size_t{kCount});
  EXPECT_EQ(list.front().Fields().sender, "S0");
  EXPECT_EQ(list.back().Fields().sender, "S99999");
}

}  // namespace
}  // namespace vantrel
