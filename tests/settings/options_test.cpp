// Stored options and the autostart entry, over the real hive and autostart
// folder where a restart matters, and over the fake registry for failures.

#include "settings/Options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/TempConfigHome.h"
#include "platform/linux/SqliteRegistry.h"
#include "platform/linux/XdgAutostart.h"

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;

// The program's registry as a start builds it, on a private config folder.
struct Start {
  explicit Start(const TempConfigHome& home)
      : opened(OpenHive(home.hivePath())),
        reg(*opened.hive),
        autostart(AutostartConfig{AutostartConfig::DefaultDir(), std::string(kAutostartValue),
                                  "vantrel", ""}),
        profile(reg) {}
  HiveOpenResult opened;
  IRegistry& reg;
  XdgAutostart autostart;
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
  EXPECT_FALSE(ReadAutostartFlag(start.autostart));
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
    bool flag = ReadAutostartFlag(start.autostart);
    ASSERT_FALSE(flag);
    EXPECT_TRUE(ToggleAutostart(start.autostart, system, flag));
    EXPECT_TRUE(flag);
    std::string text = ReadFileBytes(entry);
    EXPECT_NE(text.find("\nExec=\"/opt/Tessivane Apps/bin/Vantrel\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=vantrel\n"), std::string::npos) << text;
  }
  Start start(home);  // the next start sees it
  bool flag = ReadAutostartFlag(start.autostart);
  ASSERT_TRUE(flag);
  EXPECT_EQ(start.autostart.Program(), system.moduleFileName);

  EXPECT_TRUE(ToggleAutostart(start.autostart, system, flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_FALSE(ReadAutostartFlag(start.autostart));
}

TEST(Autostart, AnEntryNamingAnyProgramShowsTheFlagSet) {
  TempConfigHome home;
  std::filesystem::create_directories(home.autostartDir());
  WriteFileBytes(home.autostartDir() + "/Vantrel.desktop",
                 "[Desktop Entry]\nType=Application\nExec=/somewhere/else --quiet\n");
  Start start(home);
  EXPECT_TRUE(ReadAutostartFlag(start.autostart));

  fakes::FakeAutostart autostart;
  autostart.program = "x";
  EXPECT_TRUE(ReadAutostartFlag(autostart));
  // Too long for the 200-byte buffer: reads as absent, and turning autostart
  // on writes the entry afresh; turning it off then removes it.
  autostart.program = "/" + std::string(250, 'p');
  EXPECT_FALSE(ReadAutostartFlag(autostart));
  autostart.program = "/" + std::string(198, 'p');  // 199 bytes and the terminator
  EXPECT_TRUE(ReadAutostartFlag(autostart));
  autostart.program = "/" + std::string(199, 'p');
  EXPECT_FALSE(ReadAutostartFlag(autostart));
  fakes::FakeSystemInfo system;
  bool flag = false;
  EXPECT_TRUE(ToggleAutostart(autostart, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(ReadAutostartFlag(autostart));
  EXPECT_TRUE(ToggleAutostart(autostart, system, flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(ReadAutostartFlag(autostart));
}

TEST(Autostart, AFailedChangeStillFlipsTheFlagButSaysSo) {
  fakes::FakeSystemInfo system;
  fakes::FakeAutostart readOnly;
  readOnly.failWrites = true;
  bool flag = false;
  EXPECT_FALSE(ToggleAutostart(readOnly, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(ReadAutostartFlag(readOnly));  // the next start shows the truth
  EXPECT_FALSE(ToggleAutostart(readOnly, system, flag));
  EXPECT_FALSE(flag);

  // An autostart folder that cannot be made.
  TempConfigHome home;
  WriteFileBytes(home.autostartDir(), "a file where the folder belongs");
  Start start(home);
  flag = false;
  EXPECT_FALSE(ToggleAutostart(start.autostart, system, flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(ReadAutostartFlag(start.autostart));
}

}  // namespace
}  // namespace vantrel
