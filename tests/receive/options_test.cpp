// Stored options and the autostart entry, over the real hive and autostart
// folder where a restart matters, and over the fake registry for failures.

#include "receive/Options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/TempConfigHome.h"
#include "platform/linux/AutostartRegistry.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/SqliteRegistry.h"
#include "receive/RegAccess.h"

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;

// The program's registry as a start builds it, on a private config folder.
struct Start {
  explicit Start(const TempConfigHome& home)
      : opened(OpenHive(home.hivePath())),
        machine(AutostartConfig{AutostartConfig::DefaultDir(), std::string(kAutostartValue),
                                "vantrel", ""}),
        reg(*opened.hive, machine),
        profile(reg) {}
  HiveOpenResult opened;
  AutostartRegistry machine;
  LinuxRegistry reg;
  Profile profile;
};

TEST(Options, FirstStartHasEverythingOnButBeepAndWritesNothing) {
  TempConfigHome home;
  Start start(home);
  OptionFlags flags = LoadOptions(start.profile);
  EXPECT_TRUE(flags.autoRespond);
  EXPECT_TRUE(flags.showResponse);
  EXPECT_TRUE(flags.autoPopup);
  EXPECT_FALSE(flags.autoBeep);
  EXPECT_EQ(start.reg.OpenKey(RootKey::CurrentUser, kProgramKey), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ReadAutostartFlag(start.reg));
}

TEST(Options, AnOptionSwitchedOffStaysOffAfterARestart) {
  TempConfigHome home;
  {
    Start start(home);
    ASSERT_TRUE(WriteOption(start.profile, kOptAutoRespond, false));
    ASSERT_TRUE(WriteOption(start.profile, kOptAutoPopup, true));
  }
  Start start(home);
  ASSERT_EQ(start.opened.status, HiveStatus::Opened);
  OptionFlags flags = LoadOptions(start.profile);
  EXPECT_FALSE(flags.autoRespond);
  EXPECT_TRUE(flags.showResponse);
  EXPECT_TRUE(flags.autoPopup);
  RegValue v;
  ASSERT_EQ(start.reg.QueryValue(RootKey::CurrentUser, "Software\\Korbelund\\Tessivane\\Option",
                                 "AutoRespond", &v),
            ERROR_SUCCESS);
  EXPECT_EQ(v.type, REG_DWORD);
  EXPECT_EQ(v.data, RegDwordBytes(0));
}

TEST(Options, StoredValuesOfOtherShapesReadAsDefaultOrAsOn) {
  fakes::FakeRegistry reg;
  Profile profile(reg);
  std::string section = Profile::SectionPath(kOptionSection);
  ASSERT_EQ(reg.CreateKey(RootKey::CurrentUser, section), ERROR_SUCCESS);
  reg.SetValue(RootKey::CurrentUser, section, "AutoRespond", REG_SZ, RegStringBytes("0"));
  reg.SetValue(RootKey::CurrentUser, section, "ShowResponse", REG_DWORD, RegDwordBytes(2));
  reg.SetValue(RootKey::CurrentUser, section, "AutoPopup", REG_DWORD, RegDwordBytes(0));
  OptionFlags flags = LoadOptions(profile);
  EXPECT_TRUE(flags.autoRespond);  // not a REG_DWORD: the default
  EXPECT_TRUE(flags.showResponse);
  EXPECT_FALSE(flags.autoPopup);

  reg.FailWrites(true);
  EXPECT_FALSE(WriteOption(profile, kOptAutoPopup, true));
}

TEST(Autostart, ToggleWritesTheFullPathAndRemovesItAgain) {
  TempConfigHome home;
  fakes::FakeSystemInfo system;
  system.moduleFileName = "/opt/Tessivane Apps/bin/Vantrel";
  std::string entry = home.autostartDir() + "/Vantrel.desktop";
  {
    Start start(home);
    bool flag = ReadAutostartFlag(start.reg);
    ASSERT_FALSE(flag);
    EXPECT_TRUE(ToggleAutostart(start.reg, system, flag));
    EXPECT_TRUE(flag);
    std::string text = ReadFileBytes(entry);
    EXPECT_NE(text.find("\nExec=\"/opt/Tessivane Apps/bin/Vantrel\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=vantrel\n"), std::string::npos) << text;
  }
  Start start(home);  // the next start sees it
  bool flag = ReadAutostartFlag(start.reg);
  ASSERT_TRUE(flag);
  CRegAccess run(start.reg, RootKey::LocalMachine);
  ASSERT_EQ(run.OpenKey(RootKey::LocalMachine, kRunKeyPath), 1);
  std::string program;
  ASSERT_EQ(run.ReadString(kAutostartValue, program), 1);
  EXPECT_EQ(program, system.moduleFileName);
  EXPECT_EQ(run.lastSize(), system.moduleFileName.size() + 1);

  EXPECT_TRUE(ToggleAutostart(start.reg, system, flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_FALSE(ReadAutostartFlag(start.reg));
}

TEST(Autostart, AnEntryNamingAnyProgramShowsTheFlagSet) {
  TempConfigHome home;
  std::filesystem::create_directories(home.autostartDir());
  WriteFileBytes(home.autostartDir() + "/Vantrel.desktop",
                 "[Desktop Entry]\nType=Application\nExec=/somewhere/else --quiet\n");
  Start start(home);
  EXPECT_TRUE(ReadAutostartFlag(start.reg));

  fakes::FakeRegistry reg;
  ASSERT_EQ(reg.CreateKey(RootKey::LocalMachine, kRunKeyPath), ERROR_SUCCESS);
  reg.SetValue(RootKey::LocalMachine, kRunKeyPath, "vantrel", REG_SZ, RegStringBytes("x"));
  EXPECT_TRUE(ReadAutostartFlag(reg));
  // Too long for the 200-byte buffer: reads as absent, and turning autostart
  // on writes the value afresh; turning it off then removes it.
  reg.SetValue(RootKey::LocalMachine, kRunKeyPath, "Vantrel", REG_SZ,
               RegStringBytes("/" + std::string(250, 'p')));
  EXPECT_FALSE(ReadAutostartFlag(reg));
  fakes::FakeSystemInfo system;
  bool flag = false;
  EXPECT_TRUE(ToggleAutostart(reg, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(ReadAutostartFlag(reg));
  EXPECT_TRUE(ToggleAutostart(reg, system, flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(ReadAutostartFlag(reg));
}

TEST(Autostart, AFailedChangeStillFlipsTheFlagButSaysSo) {
  fakes::FakeSystemInfo system;
  fakes::FakeRegistry noRunKey;  // the Run key cannot be opened
  bool flag = false;
  EXPECT_FALSE(ToggleAutostart(noRunKey, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_EQ(noRunKey.OpenKey(RootKey::LocalMachine, kRunKeyPath), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ReadAutostartFlag(noRunKey));  // the next start shows the truth

  fakes::FakeRegistry readOnly;
  ASSERT_EQ(readOnly.CreateKey(RootKey::LocalMachine, kRunKeyPath), ERROR_SUCCESS);
  readOnly.FailWrites(true);
  flag = false;
  EXPECT_FALSE(ToggleAutostart(readOnly, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(ReadAutostartFlag(readOnly));
}

}  // namespace
}  // namespace vantrel
