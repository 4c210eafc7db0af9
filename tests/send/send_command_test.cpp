// The command-line sender's arguments, text handling and exit status.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "fakes/FakeNetworkDirectory.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/IconvCodePage.h"
#include "send/SendCommand.h"
#include "transport/CaptureNetwork.h"

namespace vantrel {
namespace {

using testnet::Nic;

class KnownNames : public INameCheck {
 public:
  std::map<std::string, Ipv4Address> known;
  int FindNetBiosName(std::string_view n) override { return known.count(std::string(n)) ? 1 : 0; }
  int ProbeNetworkName(std::string_view) override { return 0; }
  std::optional<MailslotTarget> ResolveMailslotTarget(std::string_view n) override {
    auto it = known.find(std::string(n));
    if (it == known.end()) return std::nullopt;
    return MailslotTarget{it->second, false};
  }
};

class StreamBox : public IMessageBox {
 public:
  explicit StreamBox(std::ostream& s) : s_(s) {}
  void Show(std::string_view text) override { s_ << text << '\n'; }

 private:
  std::ostream& s_;
};

class SendCommandTest : public ::testing::Test {
 protected:
  SendCommandTest()
      : profile(reg),
        box(err),
        identity(MakeIdentity("PC1", "WORKGROUP", {}, {})),
        messenger(check, net, identity),
        sender(profile, messenger, box, codePage, sys.AnsiCodePage()) {
    net.nics = {Nic("eth0", Ipv4Address::FromOctets(198, 18, 0, 2),
                    Ipv4Address::FromOctets(255, 255, 255, 0))};
    check.known["BOB"] = Ipv4Address::FromOctets(198, 18, 0, 7);
  }

  int Run(std::vector<std::string> args, std::string input = "") {
    in.str(input);
    SendCommandEnv env{sys, codePage, sender, in, out, err};
    env.askRunningProgram = [this] {
      asked.push_back("program");
      return runningList;
    };
    env.enumerateNetwork = [this] {
      asked.push_back("enumerate");
      return RefreshNetworkList(network, false);
    };
    env.directory = [this] {
      asked.push_back("directory");
      return &network;
    };
    return RunSendCommand(args, env);
  }

  std::string SentPayload(size_t i) { return testnet::MessengerPayload(net.sent.at(i)); }

  fakes::FakeRegistry reg;
  Profile profile;
  KnownNames check;
  testnet::CaptureNetwork net;
  std::ostringstream out, err;
  std::istringstream in;
  StreamBox box;
  fakes::FakeSystemInfo sys;
  linux::IconvCodePage codePage;
  Identity identity;
  Messenger messenger;
  MessageSender sender;
  std::optional<NetworkNameList> runningList;
  fakes::FakeNetworkDirectory network;
  std::vector<std::string> asked;
};

TEST_F(SendCommandTest, UsageErrorsSendNothing) {
  EXPECT_EQ(Run({}), kSendExitUsage);
  EXPECT_EQ(Run({"-m", "hi"}), kSendExitUsage);
  EXPECT_EQ(Run({"-x", "BOB"}), kSendExitUsage);
  EXPECT_EQ(Run({"BOB", "-f"}), kSendExitUsage);
  EXPECT_TRUE(net.sent.empty());
  EXPECT_NE(err.str().find("Usage: vantrel-send"), std::string::npos);
  EXPECT_EQ(Run({"--help"}), kSendExitOk);
  EXPECT_NE(out.str().find("Usage: vantrel-send"), std::string::npos);
}

TEST_F(SendCommandTest, OptionsAndDefaults) {
  ASSERT_EQ(Run({"-m", "hi", "BOB"}), kSendExitOk);
  EXPECT_EQ(SentPayload(0), std::string("PC1\0BOB\0hi", 10));  // the computer name sends
  ASSERT_EQ(Run({"--from=ALICE", "--message", "yo", "BOB"}), kSendExitOk);
  EXPECT_EQ(SentPayload(1), std::string("ALICE\0BOB\0yo", 12));
  ASSERT_EQ(Run({"-fX", "-mz", "--", "BOB"}), kSendExitOk);
  EXPECT_EQ(SentPayload(2), std::string("X\0BOB\0z", 7));
}

TEST_F(SendCommandTest, StandardInputAndLineBreaks) {
  ASSERT_EQ(Run({"BOB"}, "line one\nline two\n"), kSendExitOk);
  EXPECT_EQ(SentPayload(0), std::string("PC1\0BOB\0line one\r\nline two", 26));
  EXPECT_EQ(MessengerLineBreaks("a\r\nb\n", true), "a\r\nb");
  EXPECT_EQ(MessengerLineBreaks("\n\n", false), "\r\n\r\n");
  EXPECT_EQ(MessengerLineBreaks("", true), "");
}

TEST_F(SendCommandTest, TextIsConvertedToTheSystemCodePage) {
  ASSERT_EQ(Run({"-m", "caf\xC3\xA9", "BOB"}), kSendExitOk);
  EXPECT_EQ(SentPayload(0), std::string("PC1\0BOB\0caf\xE9", 12));
  ASSERT_EQ(Run({"-r", "-m", "caf\xC3\xA9", "BOB"}), kSendExitOk);
  EXPECT_EQ(SentPayload(1), std::string("PC1\0BOB\0caf\xC3\xA9", 13));
}

TEST_F(SendCommandTest, ExitStatusFollowsTheLastName) {
  EXPECT_EQ(Run({"-m", "x", "BOB", "NOBODY"}), kSendExitFailed);
  EXPECT_EQ(err.str(), "Sorry, can't find name \"NOBODY\" in network.\n");
  err.str("");
  EXPECT_EQ(Run({"-m", "x", "NOBODY", "BOB"}), kSendExitOk);
  EXPECT_EQ(net.sent.size(), 2u);
  err.str("");
  // An automatic sender gets no box; a name that resolves nowhere is reported.
  EXPECT_EQ(Run({"-f", "~PC1", "-m", "x", "NOBODY", "~X"}), kSendExitFailed);
  EXPECT_EQ(err.str(), "vantrel-send: ~X: cannot reach the receiver's mailslot\n");
}

TEST_F(SendCommandTest, TooLongIsRefusedWithItsSize) {
  EXPECT_EQ(Run({"-m", std::string(420, 'x'), "BOB"}), kSendExitFailed);
  EXPECT_EQ(err.str(), "vantrel-send: BOB: message too long (428 bytes; at most 424)\n");
  EXPECT_TRUE(net.sent.empty());
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST_F(SendCommandTest, ListPrintsTheRunningProgramsListElseEnumeratesItself) {
  runningList = NetworkNameList{"LAB", "\\\\SAMBA Lab file server", "\\\\K\xD6NIG B\xFCro", "HOME"};
  ASSERT_EQ(Run({"--list"}), kSendExitOk);
  EXPECT_EQ(out.str(),
            "LAB\n    \\\\SAMBA Lab file server\n    \\\\K\xC3\x96NIG B\xC3\xBCro\nHOME\n");
  EXPECT_EQ(asked, (std::vector<std::string>{"program"}));

  out.str("");
  asked.clear();
  runningList.reset();  // nobody answered: enumerate here
  network.top = {fakes::Provider(
      "SMB", {fakes::Domain("WG", {fakes::Server("b"), fakes::Server("A", "x\ny")})})};
  ASSERT_EQ(Run({"-r", "-l"}), kSendExitOk);
  EXPECT_EQ(out.str(), "WG\n    \\\\A x?y\n    \\\\b\n");  // a line break cannot split a line
  EXPECT_EQ(asked, (std::vector<std::string>{"program", "enumerate"}));

  EXPECT_EQ(Run({"--list", "BOB"}), kSendExitUsage);
  EXPECT_EQ(Run({"--list", "-m", "hi"}), kSendExitUsage);
  EXPECT_TRUE(net.sent.empty());
}

TEST_F(SendCommandTest, DotDotAloneSendsToEveryWorkgroupFound) {
  check.known["WORKGROUP"] = Ipv4Address::FromOctets(198, 18, 0, 255);
  check.known["LAB"] = Ipv4Address::FromOctets(198, 18, 0, 255);
  network.top = {fakes::Provider(
      "SMB", {fakes::Domain("WORKGROUP", {fakes::Server("PC1")}), fakes::Domain("LAB")})};
  ASSERT_EQ(Run({"-m", "all", ".."}), kSendExitOk);
  ASSERT_EQ(net.sent.size(), 2u);
  EXPECT_EQ(SentPayload(0), std::string("PC1\0WORKGROUP\0all", 17));
  EXPECT_EQ(SentPayload(1), std::string("PC1\0LAB\0all", 11));

  // ".." among other names is a name like any other.
  asked.clear();
  EXPECT_EQ(Run({"-m", "x", "..", "BOB"}), kSendExitOk);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(net.sent.size(), 3u);

  network.top.clear();  // nothing found: nothing sent, and said so
  EXPECT_EQ(Run({"-m", "all", ".."}), kSendExitFailed);
  EXPECT_NE(err.str().find("..: no workgroup or domain found"), std::string::npos);
  EXPECT_EQ(net.sent.size(), 3u);
}

}  // namespace
}  // namespace vantrel
