#include "transport/Identity.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "transport/linux/NbnsIdentity.h"

namespace vantrel {
namespace {

Ipv4Address Ip(const char* text) { return *Ipv4Address::Parse(text); }

NetworkInterface Nic(const char* name, const char* address, const char* mask = "255.255.255.0",
                     bool up = true, bool loopback = false) {
  NetworkInterface n;
  n.name = name;
  n.address = Ip(address);
  n.netmask = Ip(mask);
  n.broadcast = Ipv4Address(n.address.value | ~n.netmask.value);
  n.broadcastCapable = !loopback;
  n.up = up;
  n.loopback = loopback;
  return n;
}

TEST(Identity, NamesAreNetbiosFormWithDefaults) {
  Identity id = MakeIdentity("alicepc-with-a-long-name", "corp", {}, {});
  EXPECT_EQ(id.computerName, "ALICEPC-WITH-A-");
  EXPECT_EQ(id.workgroup, "CORP");
  EXPECT_EQ(id.ComputerNetbiosName(kSuffixMessenger).ToString(), "ALICEPC-WITH-A-<03>");
  EXPECT_EQ(id.WorkgroupNetbiosName().ToString(), "CORP<00>");
  EXPECT_EQ(id.lmhostsPath, kDefaultLmhostsPath);

  Identity empty = MakeIdentity("", "", {}, {});
  EXPECT_EQ(empty.computerName, "LOCALHOST");
  EXPECT_EQ(empty.workgroup, "WORKGROUP");
}

TEST(Identity, WinsServersKeepOrderAndDropWhatIsNotAnAddress) {
  Identity id = MakeIdentity("PC", "WG", {},
                             {"198.18.0.5", "primary:198.18.0.6", "winshost", "0.0.0.0",
                              "255.255.255.255", "198.18.0.999"});
  ASSERT_EQ(id.winsServers.size(), 2u);
  EXPECT_EQ(id.winsServers[0], Ip("198.18.0.5"));
  EXPECT_EQ(id.winsServers[1], Ip("198.18.0.6"));
  EXPECT_EQ(id.unusableWinsServers, 4u);
}

TEST(Identity, InterfacePatterns) {
  NetworkInterface eth0 = Nic("eth0", "198.18.0.11");
  EXPECT_TRUE(InterfaceMatches(eth0, "eth0"));
  EXPECT_TRUE(InterfaceMatches(eth0, "eth*"));
  EXPECT_TRUE(InterfaceMatches(eth0, "e?h0"));
  EXPECT_TRUE(InterfaceMatches(eth0, "eth0;speed=1000000000"));
  EXPECT_FALSE(InterfaceMatches(eth0, "eth1"));
  EXPECT_FALSE(InterfaceMatches(eth0, "eth"));
  EXPECT_TRUE(InterfaceMatches(eth0, "198.18.0.11"));
  EXPECT_FALSE(InterfaceMatches(eth0, "198.18.0.12"));
  EXPECT_TRUE(InterfaceMatches(eth0, "198.18.0.0/24"));
  EXPECT_TRUE(InterfaceMatches(eth0, "198.18.0.99/255.255.255.0"));
  EXPECT_FALSE(InterfaceMatches(eth0, "198.18.1.0/24"));
  EXPECT_TRUE(InterfaceMatches(eth0, "10.0.0.0/0"));
  EXPECT_FALSE(InterfaceMatches(eth0, "198.18.0.0/33"));
  EXPECT_FALSE(InterfaceMatches(eth0, "198.18.0.0/x"));
  EXPECT_FALSE(InterfaceMatches(eth0, ""));
  EXPECT_FALSE(InterfaceMatches(eth0, ";eth0"));
}

TEST(Identity, SelectInterfacesDefaultsAndPatterns) {
  std::vector<NetworkInterface> all = {Nic("lo", "127.0.0.1", "255.0.0.0", true, true),
                                       Nic("eth0", "198.18.0.11"), Nic("eth1", "198.18.1.11"),
                                       Nic("wlan0", "198.18.2.11", "255.255.255.0", false)};
  auto names = [](const std::vector<NetworkInterface>& v) {
    std::string s;
    for (auto& n : v) s += n.name + " ";
    return s;
  };
  EXPECT_EQ(names(SelectInterfaces(all, {})), "eth0 eth1 ");
  EXPECT_EQ(names(SelectInterfaces(all, {"eth1"})), "eth1 ");
  EXPECT_EQ(names(SelectInterfaces(all, {"198.18.0.0/24", "lo"})), "lo eth0 ");
  EXPECT_EQ(names(SelectInterfaces(all, {"wlan0"})), "");  // down
  EXPECT_EQ(names(SelectInterfaces(all, {"nosuch"})), "");
}

TEST(Identity, LoadsFromSambaConfigurationAndHostName) {
  std::string dir = ::testing::TempDir() + "identity_test_" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  std::string conf = dir + "/smb.conf";
  {
    std::ofstream out(conf);
    out << "[global]\n  workgroup = lanfolk\n  interfaces = eth0 198.18.0.0/24\n"
           "  wins server = 198.18.0.5\n";
  }
  linux::SystemSources sources;
  sources.smbConfPath = conf;
  sources.hostName = [] { return std::string("desk-7.example.org"); };
  linux::LinuxSystemInfo system(sources);
  Identity id = linux::LoadIdentity(system, conf);
  EXPECT_EQ(id.computerName, "DESK-7");
  EXPECT_EQ(id.workgroup, "LANFOLK");
  EXPECT_EQ(id.interfaces, (std::vector<std::string>{"eth0", "198.18.0.0/24"}));
  ASSERT_EQ(id.winsServers.size(), 1u);
  EXPECT_EQ(id.winsServers[0], Ip("198.18.0.5"));
  EXPECT_EQ(id.lmhostsPath, dir + "/lmhosts");

  {
    std::ofstream out(conf);
    out << "[global]\n netbios name = filer\n";
  }
  linux::LinuxSystemInfo system2(sources);
  Identity id2 = linux::LoadIdentity(system2, conf);
  EXPECT_EQ(id2.computerName, "FILER");
  EXPECT_EQ(id2.workgroup, "WORKGROUP");
  EXPECT_TRUE(id2.interfaces.empty());
  EXPECT_TRUE(id2.winsServers.empty());

  std::remove(conf.c_str());
  ::rmdir(dir.c_str());
  EXPECT_EQ(linux::LmhostsPathFor("smb.conf"), "lmhosts");
}

}  // namespace
}  // namespace vantrel
