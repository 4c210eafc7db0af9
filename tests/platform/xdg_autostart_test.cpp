// The autostart entry as an XDG desktop entry.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/TempConfigHome.h"
#include "platform/linux/XdgAutostart.h"

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;

class AutostartTest : public ::testing::Test {
 protected:
  AutostartConfig Config() const {
    return AutostartConfig{AutostartConfig::DefaultDir(), "Vantrel", "vantrel",
                           "Tessivane pop-up messenger"};
  }
  std::string EntryPath() const { return home.autostartDir() + "/Vantrel.desktop"; }
  // The program the entry names, or "" when there is no usable entry.
  static std::string ReadRun(XdgAutostart& entry) { return entry.Program().value_or(""); }
  TempConfigHome home;
};

TEST_F(AutostartTest, WritingTheValueMakesADesktopEntryAndDeletingRemovesIt) {
  XdgAutostart reg(Config());
  EXPECT_EQ(reg.filePath(), EntryPath());
  EXPECT_EQ(ReadRun(reg), "");
  EXPECT_FALSE(reg.Switch(true, ""));  // no program, no entry
  EXPECT_FALSE(std::filesystem::exists(home.autostartDir()));

  // The folder does not exist yet.
  ASSERT_TRUE(reg.Switch(true, "/usr/local/bin/Vantrel"));
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

  // Rewriting replaces the whole entry and leaves no temporary file behind.
  ASSERT_TRUE(reg.Switch(true, std::string_view("/opt/Vantrel\0ignored", 20)));
  EXPECT_EQ(ReadRun(reg), "/opt/Vantrel");
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(home.autostartDir())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);

  EXPECT_TRUE(reg.Switch(false, ""));
  EXPECT_FALSE(std::filesystem::exists(EntryPath()));
  EXPECT_EQ(ReadRun(reg), "");
  EXPECT_FALSE(reg.Switch(false, ""));  // nothing left to remove
}

TEST_F(AutostartTest, ProgramPathsWithAwkwardCharactersRoundTrip) {
  XdgAutostart reg(Config());
  for (std::string path :
       {"/opt/My Apps/Vantrel", "/opt/50% off/Vantrel", "/home/o'neil/a\"b$c`d\\e/Vantrel",
        "/tmp/tab\there/new\nline/x;y&z", "/tmp/#(1)*?~<>|/Vantrel", "/tmp/%f %%u/Vantrel"}) {
    ASSERT_TRUE(reg.Switch(true, path)) << path;
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

TEST_F(AutostartTest, OnlyAUsableDesktopEntryCounts) {
  XdgAutostart reg(Config());
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

}  // namespace
}  // namespace vantrel
