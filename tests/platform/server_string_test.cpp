// smb.conf's "server string": read as Samba reads it, with the substitutions
// that mean something outside Samba, as the comment this computer announces.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SambaConfig.h"

namespace vantrel::linux {
namespace {

TEST(ServerString, ReadFromGlobalSection) {
  EXPECT_FALSE(SambaConfig::Parse("[global]\nworkgroup = LAB\n").ServerString());
  auto c = SambaConfig::Parse(
      "[global]\n  Server String =   Front desk  \n[share]\nserver string = not global\n");
  ASSERT_TRUE(c.ServerString());
  EXPECT_EQ(*c.ServerString(), "Front desk");
  EXPECT_EQ(*SambaConfig::Parse("serverstring=\n").ServerString(), "");
}

TEST(ServerString, Substitutions) {
  EXPECT_EQ(ExpandServerString("%h server (Samba, Debian)", "alice-pc", "ALICE-PC"),
            "alice-pc server (Samba, Debian)");
  EXPECT_EQ(ExpandServerString("Samba %v", "h", "N"), "Samba");
  EXPECT_EQ(ExpandServerString("%L at %h", "alice.lan", "ALICE"), "ALICE at alice.lan");
  EXPECT_EQ(ExpandServerString("100% sure %m %", "h", "N"), "100% sure %m %");
  EXPECT_EQ(ExpandServerString("  %v  ", "h", "N"), "");
}

TEST(ServerString, SystemInfoGivesTheAnnouncedComment) {
  char dir[] = "/tmp/vantrel-serverstring-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string conf = std::string(dir) + "/smb.conf";
  SystemSources src;
  src.smbConfPath = conf;
  src.hostName = [] { return std::string("bob-desk.lan"); };
  src.environment = [](const char*) -> std::optional<std::string> { return std::nullopt; };

  EXPECT_EQ(LinuxSystemInfo(src).ServerComment(), "");  // no smb.conf at all
  std::ofstream(conf) << "[global]\nnetbios name = bob\nserver string = %h (%L)\n";
  EXPECT_EQ(LinuxSystemInfo(src).ServerComment(), "bob-desk.lan (BOB)");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vantrel::linux
