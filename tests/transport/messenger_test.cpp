// SendMessengerDatagram with a scripted name check and a capturing network.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "CaptureNetwork.h"
#include "TestFrames.h"
#include "fakes/FakeNameCheck.h"
#include "transport/MailslotEndpoint.h"
#include "transport/Messenger.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

using namespace testframes;
using fakes::ScriptedNameCheck;
using testnet::CaptureNetwork;
using testnet::Nic;

const Ipv4Address kLanAddr = Ipv4Address::FromOctets(198, 18, 0, 2);
const Ipv4Address kLanMask = Ipv4Address::FromOctets(255, 255, 255, 0);
const Ipv4Address kBob = Ipv4Address::FromOctets(198, 18, 0, 7);

class MessengerTest : public ::testing::Test {
 protected:
  MessengerTest()
      : identity(MakeIdentity("PC1", "WORKGROUP", {}, {})), messenger(check, net, identity) {
    net.nics = {
        Nic("lo", Ipv4Address::Loopback(), Ipv4Address::FromOctets(255, 0, 0, 0), false, true),
        Nic("eth0", kLanAddr, kLanMask)};
    check.find["BOB"] = 1;
    check.targets["BOB"] = {kBob, false};
  }

  // The mailslot data of one captured frame, after checking its wrapping.
  Bytes Payload(const testnet::SentDatagram& s) {
    auto d = ParseNetbiosDatagram(s.bytes);
    EXPECT_TRUE(d.ok());
    EXPECT_FALSE(d.lengthMismatch);
    auto smb = ParseMailslotWrite(d.datagram.userData);
    EXPECT_TRUE(smb.ok());
    EXPECT_EQ(smb.write.name, "\\MAILSLOT\\MESSNGR");
    return Bytes(smb.write.data.begin(), smb.write.data.end());
  }

  ScriptedNameCheck check;
  CaptureNetwork net;
  Identity identity;
  Messenger messenger;
};

TEST_F(MessengerTest, UniqueNameGoesDirectUniqueToItsAddress) {
  ASSERT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", "hello"), 1);
  EXPECT_EQ(check.calls, (std::vector<std::string>{"find BOB", "resolve BOB"}));
  ASSERT_EQ(net.sent.size(), 1u);
  const auto& s = net.sent[0];
  EXPECT_EQ(s.to, (SocketAddress{kBob, 138}));
  // We do not own 138 here: a fresh socket on a free port sends.
  EXPECT_EQ(net.binds.at(0), (SocketAddress{Ipv4Address::Any(), 0}));
  EXPECT_NE(s.from.port, 138);
  // The whole frame as the independent builder lays it out (the id is the
  // messenger's own).
  DgmFrame d;
  d.type = 0x10;
  d.flags = 0x02;
  d.id = static_cast<uint16_t>((s.bytes[2] << 8) | s.bytes[3]);
  d.sourceIp = kLanAddr.value;
  d.sourcePort = 138;
  d.source = Name34("PC1", 0x00);
  d.destination = Name34("BOB", 0x00);
  SmbFrame smb;
  smb.data = Str(std::string_view("PC1\0BOB\0hello", 13));
  d.userData = Smb(smb);
  EXPECT_EQ(s.bytes, Dgm(d));
  EXPECT_EQ(Payload(s).size(), 3u + 3 + 5 + 2);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kNone);
}

TEST_F(MessengerTest, NoReceiverSendsNothing) {
  for (std::string_view r :
       {std::string_view(""), std::string_view("~"), std::string_view("\0BOB", 4)}) {
    EXPECT_EQ(messenger.SendMessengerDatagram("PC1", r, "x"), 0);
    EXPECT_EQ(messenger.LastFailure(), SendFailure::kNoReceiver);
  }
  EXPECT_TRUE(check.calls.empty());
  EXPECT_TRUE(net.sent.empty());
}

TEST_F(MessengerTest, NameCheckOrder) {
  // NetBIOS finds nothing, the probe does: sent.
  check.probe["SRV"] = 1;
  check.targets["SRV"] = {Ipv4Address::FromOctets(198, 18, 0, 9), false};
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "SRV", "x"), 1);
  EXPECT_EQ(check.calls, (std::vector<std::string>{"find SRV", "probe SRV", "resolve SRV"}));
  // Neither finds it: not found, and nothing is resolved or sent.
  check.calls.clear();
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "nobody", "x"), 0);
  EXPECT_EQ(check.calls, (std::vector<std::string>{"find nobody", "probe nobody"}));
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kNotFound);
  EXPECT_EQ(net.sent.size(), 1u);
}

TEST_F(MessengerTest, TildeNamesAreNotCheckedButMustResolve) {
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "~X", "x"), 0);
  EXPECT_EQ(check.calls, std::vector<std::string>{"resolve ~X"});
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kCannotOpen);
  check.targets["~X"] = {kBob, false};
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "~X", "x"), 1);
  auto d = ParseNetbiosDatagram(net.sent.at(0).bytes);
  EXPECT_EQ(d.datagram.destination, NetbiosName::FromName("~X", 0));
}

TEST_F(MessengerTest, FoundButNotResolvableFailsSilently) {
  check.find["GONE"] = 1;  // e.g. NetBIOS could not be asked: counts as existing
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "GONE", "x"), 0);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kCannotOpen);
  EXPECT_TRUE(net.sent.empty());
}

TEST_F(MessengerTest, GroupNameGoesDirectGroupToEverySubnetBroadcast) {
  net.nics.push_back(
      Nic("eth1", Ipv4Address::FromOctets(10, 1, 2, 3), Ipv4Address::FromOctets(255, 255, 0, 0)));
  net.nics.push_back(Nic("tun0", Ipv4Address::FromOctets(10, 9, 0, 1), kLanMask, false));
  check.find["workgroup"] = 1;
  check.targets["workgroup"] = {Ipv4Address::LimitedBroadcast(), true};
  ASSERT_EQ(messenger.SendMessengerDatagram("PC1", "workgroup", "all"), 1);
  ASSERT_EQ(net.sent.size(), 2u);
  EXPECT_EQ(net.sent[0].to, (SocketAddress{Ipv4Address::FromOctets(198, 18, 0, 255), 138}));
  EXPECT_EQ(net.sent[1].to, (SocketAddress{Ipv4Address::FromOctets(10, 1, 255, 255), 138}));
  for (size_t i = 0; i < 2; ++i) {
    auto d = ParseNetbiosDatagram(net.sent[i].bytes);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.datagram.type, kDgmDirectGroup);
    EXPECT_EQ(d.datagram.destination, NetbiosName::FromName("WORKGROUP", 0));
    EXPECT_EQ(d.datagram.sourceIp, net.nics[i + 1].address);
    EXPECT_EQ(Payload(net.sent[i]), Str(std::string_view("PC1\0workgroup\0all", 17)));
  }
  // Without a broadcast-capable interface a group cannot be reached.
  net.nics.resize(1);
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "workgroup", "all"), 0);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kCannotOpen);
}

TEST_F(MessengerTest, PayloadSizes) {
  ASSERT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", ""), 1);
  EXPECT_EQ(Payload(net.sent.at(0)), Str(std::string_view("PC1\0BOB\0", 8)));
  // A text is taken up to its first zero byte.
  ASSERT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", std::string_view("ab\0cd", 5)), 1);
  EXPECT_EQ(Payload(net.sent.at(1)), Str(std::string_view("PC1\0BOB\0ab", 10)));
  // 424 bytes go, 425 do not, and a refused message costs no lookup.
  std::string text(424 - 8, 'x');
  ASSERT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", text), 1);
  EXPECT_EQ(Payload(net.sent.at(2)).size(), 424u);
  EXPECT_LE(net.sent.at(2).bytes.size(), 82u + 512);
  check.calls.clear();
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", text + "y"), 0);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kTooLong);
  EXPECT_TRUE(check.calls.empty());
  EXPECT_EQ(net.sent.size(), 3u);
  EXPECT_EQ(MessengerPayloadSize("PC1", "BOB", text + "y"), 425u);
  EXPECT_EQ(MessengerPayloadSize(std::string_view("PC\0x", 4), "BOB", ""), 7u);
}

TEST_F(MessengerTest, RefusedSendIsNotReportedAsSent) {
  net.sendFails = true;
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", "x"), 0);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kSendRefused);
  net.sendFails = false;
  net.bindFailure = BindFailure::Other;
  EXPECT_EQ(messenger.SendMessengerDatagram("PC1", "BOB", "x"), 0);
  EXPECT_EQ(messenger.LastFailure(), SendFailure::kCannotOpen);
}

TEST_F(MessengerTest, SendsFromTheMailslotSocketWhileItIsOwned) {
  MailslotEndpoint endpoint(net, identity);
  ASSERT_EQ(endpoint.OpenMessageSlot(), 1);
  Messenger owned(check, net, identity, &endpoint);
  size_t bindsBefore = net.binds.size();
  ASSERT_EQ(owned.SendMessengerDatagram("PC1", "BOB", "x"), 1);
  EXPECT_EQ(net.binds.size(), bindsBefore);
  EXPECT_EQ(net.sent.at(0).from.port, 138);
}

}  // namespace
}  // namespace vantrel
