#pragma once
// Scriptable system information, clock and message-box recorder for tests.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Autostart.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"

namespace vantrel::fakes {

class FakeClock : public IClock {
 public:
  std::time_t now = 1066633507;  // 2003-10-20 07:05:07 UTC
  std::time_t Now() override { return now; }
};

class FakeSystemInfo : public ISystemInfo {
 public:
  std::string computerName = "PC1";
  uint32_t platformId = VER_PLATFORM_WIN32_WINDOWS;
  uint16_t languageId = 1033;
  uint32_t codePage = 1252;
  std::string timeText = "2003-10-20 09:05:07";
  std::string moduleFileName = "/usr/bin/Vantrel";
  uint32_t runResult = 33;
  std::vector<std::string> commands;
  int beeps = 0;

  std::string ComputerName() override { return computerName; }
  uint32_t PlatformId() override { return platformId; }
  uint16_t DefaultLanguageId() override { return languageId; }
  uint32_t AnsiCodePage() override { return codePage; }
  std::string LocalTimeText() override { return timeText; }
  std::string ModuleFileName() override { return moduleFileName; }
  uint32_t RunCommand(std::string_view line) override {
    commands.emplace_back(line);
    return runResult;
  }
  void Beep() override { ++beeps; }
};

class RecordingMessageBox : public IMessageBox {
 public:
  std::vector<std::string> shown;
  void Show(std::string_view text) override { shown.emplace_back(text); }
};

// An autostart entry in memory; failWrites makes every switch fail.
class FakeAutostart : public IAutostart {
 public:
  std::optional<std::string> program;
  bool failWrites = false;

  std::optional<std::string> Program() override { return program; }
  bool Switch(bool on, std::string_view name) override {
    if (failWrites) return false;
    if (!on) {
      const bool had = program.has_value();
      program.reset();
      return had;
    }
    if (name.empty()) return false;
    program = std::string(name);
    return true;
  }
};

}  // namespace vantrel::fakes
