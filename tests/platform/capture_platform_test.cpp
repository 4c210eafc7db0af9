// The platform family on Linux: NT exactly when smb.conf's "message command"
// runs the capture helper.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/SystemInfo.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SambaConfig.h"

namespace vantrel::linux {
namespace {

namespace fs = std::filesystem;

TEST(CaptureHelperCommand, TheHelperByItsFullPathWithAnyArguments) {
  EXPECT_TRUE(RunsCaptureHelper("/usr/bin/vantrel-capture %f %s"));
  EXPECT_TRUE(RunsCaptureHelper("/usr/local/bin/vantrel-capture"));
  EXPECT_TRUE(RunsCaptureHelper("  /opt/vantrel/bin/vantrel-capture '%f' \"%s\" &"));
  EXPECT_TRUE(RunsCaptureHelper("/usr/bin/vantrel-capture %f %s; rm -f %s"));
  EXPECT_TRUE(RunsCaptureHelper("/usr/bin/vantrel-capture\t%f\t%s"));
  // Quoted, also with a blank in the path, and escaped.
  EXPECT_TRUE(RunsCaptureHelper("\"/opt/my apps/vantrel-capture\" %f %s"));
  EXPECT_TRUE(RunsCaptureHelper("'/opt/x'/vantrel-capture %f %s"));
  EXPECT_TRUE(RunsCaptureHelper("/opt/my\\ apps/vantrel-capture %f %s"));
  // Substitutions inside the folder do not hide the file name.
  EXPECT_TRUE(RunsCaptureHelper("/srv/%L/vantrel-capture %f %s"));
}

TEST(CaptureHelperCommand, AnythingElseIsNotTheHelper) {
  EXPECT_FALSE(RunsCaptureHelper(""));
  EXPECT_FALSE(RunsCaptureHelper("   "));
  // Samba's own example and other programs.
  EXPECT_FALSE(RunsCaptureHelper("csh -c 'xedit %s; rm %s' &"));
  EXPECT_FALSE(RunsCaptureHelper("/usr/bin/vantrel-send -m %s"));
  // The helper by another name, or behind another program.
  EXPECT_FALSE(RunsCaptureHelper("/usr/bin/vantrel-capture-old %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("/usr/bin/old-vantrel-capture %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("/usr/bin/vantrel-capture.sh %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("sh -c '/usr/bin/vantrel-capture %f %s'"));
  EXPECT_FALSE(RunsCaptureHelper("env X=1 /usr/bin/vantrel-capture %f %s"));
  // Not a full path: which program runs would depend on smbd's PATH.
  EXPECT_FALSE(RunsCaptureHelper("vantrel-capture %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("bin/vantrel-capture %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("%s/vantrel-capture %f"));
  // A folder of that name, and a quote that never closes.
  EXPECT_FALSE(RunsCaptureHelper("/usr/bin/vantrel-capture/ %f %s"));
  EXPECT_FALSE(RunsCaptureHelper("\"/usr/bin/vantrel-capture %f %s"));
}

uint32_t PlatformOf(std::string_view smbConf) { return PlatformIdFor(SambaConfig::Parse(smbConf)); }

TEST(CapturePlatform, FromTheMessageCommandOfSmbConf) {
  EXPECT_EQ(PlatformOf("[global]\n  message command = /usr/bin/vantrel-capture %f %s\n"),
            VER_PLATFORM_WIN32_NT);
  // Samba spells parameter names freely.
  EXPECT_EQ(PlatformOf("[Global]\nMessageCommand=/usr/bin/vantrel-capture %f %s\n"),
            VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(
      PlatformOf("[global]\n  message command = \"/usr/bin/vantrel-capture\" \"%f\" \"%s\"\n"),
      VER_PLATFORM_WIN32_NT);
  // Set to something else, absent, empty, commented out, or in a share.
  EXPECT_EQ(PlatformOf("[global]\n  message command = csh -c 'xedit %s; rm %s' &\n"),
            VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(PlatformOf("[global]\n  workgroup = LAB\n"), VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(PlatformOf("[global]\n  message command =\n"), VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(PlatformOf("[global]\n; message command = /usr/bin/vantrel-capture %f %s\n"),
            VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(PlatformOf("[homes]\n  message command = /usr/bin/vantrel-capture %f %s\n"),
            VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(PlatformOf(""), VER_PLATFORM_WIN32_WINDOWS);
  // The last setting holds, as in Samba.
  EXPECT_EQ(PlatformOf("[global]\nmessage command = /usr/bin/vantrel-capture %f %s\n"
                       "message command = /bin/true\n"),
            VER_PLATFORM_WIN32_WINDOWS);
}

TEST(CapturePlatform, LinuxSystemInfoReadsItFromItsSmbConf) {
  std::string dir = (fs::temp_directory_path() / "vantrel-platform-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const auto withConf = [&](std::string_view text) {
    const std::string path = dir + "/smb.conf";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    SystemSources sources;
    sources.smbConfPath = path;
    sources.hostName = [] { return std::string("alice"); };
    sources.environment = [](const char*) { return std::optional<std::string>(); };
    return LinuxSystemInfo(sources).PlatformId();
  };
  EXPECT_EQ(withConf("[global]\nmessage command = /usr/sbin/vantrel-capture %f %s\n"),
            VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(withConf("[global]\nnetbios name = alice\n"), VER_PLATFORM_WIN32_WINDOWS);
  SystemSources missing;
  missing.smbConfPath = dir + "/none.conf";
  EXPECT_EQ(LinuxSystemInfo(missing).PlatformId(), VER_PLATFORM_WIN32_WINDOWS);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace vantrel::linux
