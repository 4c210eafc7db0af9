#pragma once
// System information and small system services the program asks for.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vantrel {

// Platform identifiers as Windows reports them.
inline constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

class IClock {
 public:
  virtual ~IClock() = default;
  virtual std::time_t Now() = 0;  // seconds since the epoch
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;

  virtual std::string ComputerName() = 0;     // at most 15 characters, upper case
  virtual uint32_t PlatformId() = 0;          // VER_PLATFORM_WIN32_*
  virtual uint16_t DefaultLanguageId() = 0;   // e.g. 1033 for en_US
  virtual uint32_t AnsiCodePage() = 0;        // e.g. 1252
  virtual std::string LocalTimeText() = 0;    // "%Y-%m-%d %H:%M:%S", local time
  virtual std::string ModuleFileName() = 0;   // full path of the running program
  // Runs a command line the way the program's launcher would; returns a value
  // above 31 on success, as Windows does.
  virtual uint32_t RunCommand(std::string_view commandLine) = 0;
  virtual void Beep() = 0;
};

// Formats t as local time "%Y-%m-%d %H:%M:%S" (19 characters).
std::string FormatLocalTime(std::time_t t);

}  // namespace vantrel
