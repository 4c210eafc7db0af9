// The Run value as an XDG autostart entry, and the combined Linux registry.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/TempConfigHome.h"
#include "platform/linux/AutostartRegistry.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/SqliteRegistry.h"

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;
constexpr RootKey HKLM = RootKey::LocalMachine;

class AutostartTest : public ::testing::Test {
 protected:
  AutostartConfig Config() const {
    return AutostartConfig{AutostartConfig::DefaultDir(), "Vantrel", "vantrel",
                           "Tessivane pop-up messenger"};
  }
  std::string EntryPath() const { return home.autostartDir() + "/Vantrel.desktop"; }
  // The program the Run value names, or "" when the value is missing.
  std::string ReadRun(AutostartRegistry& reg) {
    RegValue v;
    if (reg.QueryValue(HKLM, kRunKeyPath, "Vantrel", &v) != ERROR_SUCCESS) return "";
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_FALSE(v.data.empty());
    EXPECT_EQ(v.data.back(), 0) << "terminator counted";
    return std::string(v.data.begin(), v.data.end() - 1);
  }
  long WriteRun(AutostartRegistry& reg, std::string_view program) {
    return reg.SetValue(HKLM, kRunKeyPath, "Vantrel", REG_SZ, RegStringBytes(program));
  }
  TempConfigHome home;
};

TEST_F(AutostartTest, WritingTheValueMakesADesktopEntryAndDeletingRemovesIt) {
  AutostartRegistry reg(Config());
  EXPECT_EQ(reg.filePath(), EntryPath());
  EXPECT_EQ(ReadRun(reg), "");
  uint32_t count = 9;
  ASSERT_EQ(reg.QueryValueCount(HKLM, kRunKeyPath, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 0u);

  // The folder does not exist yet.
  ASSERT_EQ(WriteRun(reg, "/usr/local/bin/Vantrel"), ERROR_SUCCESS);
  EXPECT_EQ(ReadFileBytes(EntryPath()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vantrel\n"
            "Comment=Tessivane pop-up messenger\n"
            "Exec=/usr/local/bin/Vantrel\n"
            "Icon=vantrel\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(ReadRun(reg), "/usr/local/bin/Vantrel");
  RegValue v;
  ASSERT_EQ(
      reg.QueryValue(HKLM, "software\\microsoft\\windows\\currentversion\\run\\", "VANTREL", &v),
      ERROR_SUCCESS);
  EXPECT_EQ(v.name, "Vantrel");
  ASSERT_EQ(reg.QueryValueCount(HKLM, kRunKeyPath, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(reg.EnumValue(HKLM, kRunKeyPath, 0, &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegStringBytes("/usr/local/bin/Vantrel"));
  EXPECT_EQ(reg.EnumValue(HKLM, kRunKeyPath, 1, &v), ERROR_NO_MORE_ITEMS);

  // Rewriting replaces the whole entry and leaves no temporary file behind.
  ASSERT_EQ(WriteRun(reg, "/opt/Vantrel"), ERROR_SUCCESS);
  EXPECT_EQ(ReadRun(reg), "/opt/Vantrel");
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(home.autostartDir())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);

  EXPECT_EQ(reg.DeleteValue(HKLM, kRunKeyPath, "vantrel"), ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(EntryPath()));
  EXPECT_EQ(ReadRun(reg), "");
  EXPECT_EQ(reg.DeleteValue(HKLM, kRunKeyPath, "Vantrel"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.EnumValue(HKLM, kRunKeyPath, 0, &v), ERROR_NO_MORE_ITEMS);
}

TEST_F(AutostartTest, ProgramPathsWithAwkwardCharactersRoundTrip) {
  AutostartRegistry reg(Config());
  for (std::string path :
       {"/opt/My Apps/Vantrel", "/opt/50% off/Vantrel", "/home/o'neil/a\"b$c`d\\e/Vantrel",
        "/tmp/tab\there/new\nline/x;y&z", "/tmp/#(1)*?~<>|/Vantrel", "/tmp/%f %%u/Vantrel"}) {
    ASSERT_EQ(WriteRun(reg, path), ERROR_SUCCESS) << path;
    EXPECT_EQ(ReadRun(reg), path);
    std::string text = ReadFileBytes(EntryPath());
    // One line per key: a newline in the path never breaks the file.
    size_t exec = text.find("\nExec=");
    ASSERT_NE(exec, std::string::npos);
    EXPECT_EQ(text.compare(text.find('\n', exec + 1) + 1, 5, "Icon="), 0) << text;
  }
  EXPECT_EQ(EscapeExecArgument("/opt/My Apps/Vantrel"), "\"/opt/My Apps/Vantrel\"");
  EXPECT_EQ(EscapeExecArgument("/opt/a\\b"), "\"/opt/a\\\\\\\\b\"");
  EXPECT_EQ(EscapeExecArgument("/opt/50%/V"), "/opt/50%%/V");
}

TEST_F(AutostartTest, OnlyAUsableDesktopEntryCountsAsTheValue) {
  AutostartRegistry reg(Config());
  std::filesystem::create_directories(home.autostartDir());
  struct Case {
    const char* text;
    const char* program;  // "" = the value is missing
  } cases[] = {
      {"[Desktop Entry]\nType=Application\nExec=/usr/bin/other\n", "/usr/bin/other"},
      {"# made by hand\n\n[Desktop Entry]\r\nExec = /usr/bin/x --tray %U\r\n", "/usr/bin/x --tray"},
      {"[Desktop Entry]\nExec=\"/a b/c\" \"\"\n[Desktop Action new]\nExec=/nope\n", "/a b/c "},
      {"[Desktop Entry]\nType=Application\nExec=/usr/bin/x\nHidden=true\n", ""},
      {"[Desktop Entry]\nExec=/usr/bin/x\nX-GNOME-Autostart-enabled=false\n", ""},
      {"[Desktop Entry]\nType=Link\nExec=/usr/bin/x\n", ""},
      {"[Desktop Entry]\nType=Application\nName=Vantrel\n", ""},
      {"[Desktop Entry]\nExec=\n", ""},
      {"[Desktop Entry]\nExec=%U\n", ""},
      {"[Desktop Entry]\nExec=\"/unterminated\n", ""},
      {"Exec=/usr/bin/x\n[Desktop Entry]\n", ""},
      {"[Other]\nExec=/usr/bin/x\n", ""},
      {"[Desktop Entry]\nthis line has no equals sign\nExec=/usr/bin/x\n", ""},
      {"\x7f\x45\x4c\x46\x02\x01\x01", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    WriteFileBytes(EntryPath(), c.text);
    EXPECT_EQ(ReadRun(reg), c.program) << c.text;
  }
  // Too big to be an entry of ours.
  WriteFileBytes(EntryPath(), "[Desktop Entry]\nExec=/usr/bin/x\n#" + std::string(70000, 'x'));
  EXPECT_EQ(ReadRun(reg), "");
  // A folder in its place.
  std::filesystem::remove(EntryPath());
  std::filesystem::create_directory(EntryPath());
  EXPECT_EQ(ReadRun(reg), "");
}

TEST_F(AutostartTest, OtherKeysAndValuesOfTheMachineAreOutOfReach) {
  AutostartRegistry reg(Config());
  EXPECT_EQ(reg.OpenKey(HKLM, kRunKeyPath), ERROR_SUCCESS);
  EXPECT_EQ(reg.OpenKey(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RUN"), ERROR_SUCCESS);
  EXPECT_EQ(reg.OpenKey(HKLM, "SOFTWARE\\Microsoft"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.OpenKey(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.OpenKey(RootKey::CurrentUser, kRunKeyPath), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.CreateKey(HKLM, "SOFTWARE\\Korbelund"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.DeleteKey(HKLM, kRunKeyPath), ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.SetValue(HKLM, "SOFTWARE\\Other", "Vantrel", REG_SZ, RegStringBytes("/x")),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.SetValue(HKLM, kRunKeyPath, "Other", REG_SZ, RegStringBytes("/x")),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.SetValue(HKLM, kRunKeyPath, "Vantrel", REG_DWORD, RegDwordBytes(1)),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg.SetValue(HKLM, kRunKeyPath, "Vantrel", REG_SZ, RegStringBytes("")),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg.DeleteValue(HKLM, "SOFTWARE\\Other", "Vantrel"), ERROR_ACCESS_DENIED);
  RegValue v;
  EXPECT_EQ(reg.QueryValue(HKLM, kRunKeyPath, "Other", &v), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.QueryValue(HKLM, "SOFTWARE\\Other", "Vantrel", &v), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(home.autostartDir()));
}

TEST_F(AutostartTest, LinuxRegistryRoutesEachRootToItsStore) {
  HiveOpenResult hive = OpenHive(home.hivePath());
  ASSERT_EQ(hive.status, HiveStatus::Created);
  AutostartRegistry machine(Config());
  LinuxRegistry reg(*hive.hive, machine);

  ASSERT_EQ(reg.CreateKey(RootKey::CurrentUser, "Software\\Korbelund\\Tessivane"), ERROR_SUCCESS);
  EXPECT_EQ(hive.hive->OpenKey(RootKey::CurrentUser, "Software\\Korbelund\\Tessivane"),
            ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKLM, kRunKeyPath, "Vantrel", REG_SZ, RegStringBytes("/bin/V")),
            ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(EntryPath()));
  EXPECT_EQ(reg.OpenKey(HKLM, "Software\\Korbelund\\Tessivane"), ERROR_FILE_NOT_FOUND);

  // Transactions are the hive's.
  ASSERT_EQ(reg.BeginTransaction(), ERROR_SUCCESS);
  ASSERT_EQ(reg.CreateKey(RootKey::CurrentUser, "Software\\Korbelund\\Tessivane\\Alias"),
            ERROR_SUCCESS);
  ASSERT_EQ(reg.RollbackTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(reg.OpenKey(RootKey::CurrentUser, "Software\\Korbelund\\Tessivane\\Alias"),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace vantrel
