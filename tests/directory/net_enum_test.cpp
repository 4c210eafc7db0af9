#include "directory/NetEnum.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeNetworkDirectory.h"

namespace vantrel {
namespace {

using fakes::Domain;
using fakes::FakeNetworkDirectory;
using fakes::FakeResource;
using fakes::Provider;
using fakes::Server;
using List = std::vector<std::string>;
using ::testing::Contains;
using ::testing::Not;

List Refresh(FakeNetworkDirectory& net, bool capture = false) {
  return RefreshNetworkList(net, capture);
}

List Domains(FakeNetworkDirectory& net) {
  CNetEnum e(net);
  e.EnumDomains();
  return e.TakeList();
}

TEST(NetEnum, OneWorkgroupWithOnlyTheLocalComputer) {
  FakeNetworkDirectory net;
  net.top = {Provider("SMB", {Domain("WORKGROUP", {Server("PC1")})})};
  EXPECT_EQ(Refresh(net), (List{"WORKGROUP", "\\\\PC1"}));
  EXPECT_EQ(Domains(net), (List{"WORKGROUP"}));
}

TEST(NetEnum, TreeWalkSortsComputersWithinTheirDomainAndKeepsTheDomainsOrder) {
  FakeNetworkDirectory net;
  net.top = {Provider("SMB", {Domain("ZED", {Server("Dave", "Desk"), Server("carl"),
                                             Server("\xE9VE"), Server("_X"), Server("ABE")}),
                              Domain("ALPHA", {Server("BOB"), Server("alice", "Front desk")})})};
  // Letters compare as lower case, other bytes by their unsigned value: "_"
  // (0x5F) before "a" (0x61), 0xE9 after every letter.
  EXPECT_EQ(Refresh(net), (List{"ZED", "\\\\_X", "\\\\ABE", "\\\\carl", "\\\\Dave Desk",
                                "\\\\\xE9VE", "ALPHA", "\\\\alice Front desk", "\\\\BOB"}));
}

TEST(NetEnum, WalksDoNotEnterWhatTheyCollectButPassThroughOtherContainers) {
  FakeNetworkDirectory net;
  FakeResource group;  // a container of another kind, without a remote name
  group.resource.display = ResourceDisplay::kGroup;
  group.resource.usage = kResourceUsageContainer;
  group.children = {Domain("INNER", {Server("IN1")})};
  FakeResource share;  // named, but neither domain nor server: not collected
  share.resource.display = ResourceDisplay::kShare;
  share.resource.remoteName = "\\\\SRV\\share";
  FakeResource namedGeneric = group;  // named container of another kind: entered, not listed
  namedGeneric.resource.display = ResourceDisplay::kGeneric;
  namedGeneric.resource.remoteName = "Directory";
  namedGeneric.children = {Domain("DEEP")};
  net.top = {Provider("SMB", {Domain("LAB", {Server("CARL")}), share, group}),
             Provider("Other", {namedGeneric})};

  EXPECT_EQ(Refresh(net), (List{"LAB", "\\\\CARL", "INNER", "\\\\IN1", "DEEP"}));
  EXPECT_THAT(net.calls, Not(Contains("open \\\\CARL")));        // computers are not entered
  EXPECT_THAT(net.calls, Not(Contains("open \\\\SRV\\share")));  // not a container

  net.calls.clear();
  EXPECT_EQ(Domains(net), (List{"LAB", "INNER", "DEEP"}));
  EXPECT_THAT(net.calls, Not(Contains("open LAB")));  // domains are not entered
  EXPECT_THAT(net.calls, Contains("open Directory"));
}

TEST(NetEnum, BatchesAreReadUntilNoMoreItemsAndAnErrorEndsOnlyItsContainer) {
  FakeNetworkDirectory net;
  std::vector<FakeResource> many;
  for (int i = 0; i < 700; ++i) many.push_back(Server("S" + std::to_string(1000 + i)));
  FakeResource broken = Domain("BROKEN", {Server("B1"), Server("B2"), Server("B3")});
  broken.errorAfter = 2;
  FakeResource closed = Domain("CLOSED", {Server("C1")});
  closed.openFails = true;
  net.top = {
      Provider("SMB", {Domain("BIG", many), broken, closed, Domain("AFTER", {Server("A")})})};

  const List list = Refresh(net);
  ASSERT_EQ(list.size(), 1u + 700 + 3 + 1 + 2);
  EXPECT_EQ(list[1], "\\\\S1000");
  EXPECT_EQ(list[700], "\\\\S1699");
  EXPECT_EQ((List(list.begin() + 701, list.end())),
            (List{"BROKEN", "\\\\B1", "\\\\B2", "CLOSED", "AFTER", "\\\\A"}));
  // 700 entries of 40 bytes do not fit into one 16384-byte buffer.
  EXPECT_GE(std::count(net.calls.begin(), net.calls.end(), "read BIG"), 3);
  // Every enumeration that was opened is closed.
  EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "close BIG"), 1);
  EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "close BROKEN"), 1);
}

TEST(NetEnum, WithoutAnyProviderEverythingIsEmpty) {
  FakeNetworkDirectory net;
  EXPECT_EQ(Refresh(net), List{});
  EXPECT_EQ(Refresh(net, true), List{});
  EXPECT_EQ(Domains(net), List{});

  net.topOpenFails = true;
  EXPECT_EQ(Refresh(net), List{});

  NullNetworkDirectory none;
  EXPECT_EQ(RefreshNetworkList(none, false), List{});
  EXPECT_EQ(RefreshNetworkList(none, true), List{});
}

TEST(NetEnum, ServerListKeepsItsOrderAndAnEmptyCommentLeavesATrailingBlank) {
  FakeNetworkDirectory net;
  net.top = {Provider("SMB", {Domain("HOME"), Domain("LAB"), Domain("DARK")})};
  net.serverLists["HOME"] = {
      {"ZOE", std::string("Zoe's")}, {"ALICE", std::string("")}, {"bob", std::nullopt}};
  net.serverLists["LAB"] = {{"CARL", std::string("Lab server")}};
  // DARK: its servers cannot be listed.

  const List list = Refresh(net, true);
  EXPECT_EQ(list, (List{"HOME", "\\\\ZOE Zoe's", "\\\\ALICE ", "\\\\bob", "LAB",
                        "\\\\CARL Lab server", "DARK"}));
  EXPECT_EQ(ComputerNameOf(list[2]), "ALICE");
  // One session for the domains and every server list, asked of this computer.
  EXPECT_EQ(net.sessions, 1);
  EXPECT_THAT(net.calls, Contains("serverlist /DARK"));

  net.serverListAvailable = false;  // no server list at all: domains without computers
  EXPECT_EQ(Refresh(net, true), (List{"HOME", "LAB", "DARK"}));
}

TEST(NetEnum, ServersOfADomainWithAndWithoutPrefix) {
  FakeNetworkDirectory net;
  net.serverLists["LAB"] = {{"CARL", std::string("x")}};
  CNetEnum e(net);
  e.EnumServersOfDomain("", "LAB", false);
  e.EnumServersOfDomain("", "LAB", true);
  EXPECT_EQ(e.List(), (List{"CARL x", "\\\\CARL x"}));
}

TEST(NetEnum, LongEntriesAreCutTo63BytesNeverOverrun) {
  const std::string longComment(200, 'c');
  const std::string name15 = "ABCDEFGHIJKLMNO";
  FakeNetworkDirectory net;
  net.top = {Provider("SMB", {Domain(std::string(80, 'D'), {Server(name15, longComment)})})};
  const List tree = Refresh(net);
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(tree[0], std::string(63, 'D'));
  EXPECT_EQ(tree[1], "\\\\" + name15 + " " + std::string(63 - 18, 'c'));
  EXPECT_EQ(ComputerNameOf(tree[1]), name15);

  net.top = {Provider("SMB", {Domain("LAB")})};
  net.serverLists["LAB"] = {{name15, longComment}, {std::string(70, 'N'), std::nullopt}};
  const List servers = Refresh(net, true);
  ASSERT_EQ(servers.size(), 3u);
  EXPECT_EQ(servers[1], "\\\\" + name15 + " " + std::string(63 - 18, 'c'));
  EXPECT_EQ(servers[2], "\\\\" + std::string(61, 'N'));

  // Exactly 63 stays whole; a 63-byte name leaves no room for its comment.
  EXPECT_EQ(ComputerEntryOf("\\\\" + std::string(61, 'N'), std::string("c")),
            "\\\\" + std::string(61, 'N'));
  EXPECT_EQ(ComputerEntryOf("\\\\" + std::string(59, 'N'), std::string("comment")),
            "\\\\" + std::string(59, 'N') + " c");
}

TEST(NetEnum, SortComputersInDomainsSortsEachRunAndThoseBeforeTheFirstDomain) {
  FakeNetworkDirectory net;
  CNetEnum e(net);
  e.EnumServersOfDomain("", "none", true);  // nothing: starts empty
  net.serverLists["X"] = {{"b", std::nullopt}, {"A", std::nullopt}};
  e.EnumServersOfDomain("", "X", true);
  net.top = {Provider("SMB", {Domain("ONE", {Server("Z"), Server("y")}), Domain("TWO")})};
  e.EnumDomains();  // appends ONE, TWO
  e.SortComputersInDomains();
  EXPECT_EQ(e.List(), (List{"\\\\A", "\\\\b", "ONE", "TWO"}));
}

TEST(NetEnum, SortNamesIsCaseInsensitiveByUnsignedBytes) {
  List names = {"b", "B2", "a", "", "\x80", "A1", "Z"};
  CNetEnum::SortNames(names);
  EXPECT_EQ(names, (List{"", "a", "A1", "b", "B2", "Z", "\x80"}));
  List empty;
  CNetEnum::SortNames(empty);
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(CNetEnum::CompareNoCase("carl", "Dave"), -1);
  EXPECT_EQ(CNetEnum::CompareNoCase("LAB", "lab"), 0);
}

TEST(NetEnum, PreferredSizeCutsTheServerListAfterTheLastThatFits) {
  std::vector<ServerInfo> servers;
  for (int i = 0; i < 400; ++i) servers.push_back({"SERVER" + std::to_string(i), "comment"});
  const size_t each = ServerInfoBytes(servers[0]);
  EXPECT_EQ(each, 24u + 2 * 8 + 2 * 8);
  const std::vector<ServerInfo> cut = CutToPreferredSize(servers, kEnumBufferBytes);
  size_t total = 0;
  for (const ServerInfo& s : cut) total += ServerInfoBytes(s);
  EXPECT_LE(total, kEnumBufferBytes);
  ASSERT_LT(cut.size(), servers.size());
  EXPECT_GT(total + ServerInfoBytes(servers[cut.size()]), kEnumBufferBytes);
  EXPECT_EQ(cut.back().name, servers[cut.size() - 1].name);
}

}  // namespace
}  // namespace vantrel
