#pragma once
// HKEY_LOCAL_MACHINE as far as the program uses it: the value `valueName` of the
// Run key is the XDG autostart entry <dir>/<valueName>.desktop.
//
//   value exists     <-> the file exists, is readable and is a desktop entry
//                        with an Exec line (and is not Hidden or disabled)
//   value data       =   the program named by Exec, as REG_SZ with its terminator
//   writing a value  =   writing the desktop entry (atomically, by rename)
//   deleting it      =   removing the file
//
// Other values of the Run key cannot be written (ERROR_ACCESS_DENIED) and read
// as missing; other keys cannot be opened (ERROR_FILE_NOT_FOUND) or written
// (ERROR_ACCESS_DENIED). HKEY_CURRENT_USER is not served here.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace vantrel {

struct AutostartConfig {
  std::string dir;        // the autostart folder
  std::string valueName;  // the Run value; also the file's base name and Name=
  std::string icon;       // Icon=
  std::string comment;    // Comment=, left out when empty

  // ${XDG_CONFIG_HOME:-~/.config}/autostart.
  static std::string DefaultDir();
};

class AutostartRegistry : public IRegistry {
 public:
  explicit AutostartRegistry(AutostartConfig config);

  // <dir>/<valueName>.desktop
  std::string filePath() const;

  long CreateKey(RootKey root, std::string_view path) override;
  long OpenKey(RootKey root, std::string_view path) override;
  long DeleteKey(RootKey root, std::string_view path) override;
  long QueryValue(RootKey root, std::string_view path, std::string_view name,
                  RegValue* out) override;
  long SetValue(RootKey root, std::string_view path, std::string_view name, uint32_t type,
                std::span<const uint8_t> data) override;
  long DeleteValue(RootKey root, std::string_view path, std::string_view name) override;
  long EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) override;
  long QueryValueCount(RootKey root, std::string_view path, uint32_t* count) override;
  // Each file write is whole by itself; there is nothing to group.
  long BeginTransaction() override { return ERROR_SUCCESS; }
  long CommitTransaction() override { return ERROR_SUCCESS; }
  long RollbackTransaction() override { return ERROR_SUCCESS; }

 private:
  bool IsRunKey(RootKey root, std::string_view path) const;
  bool IsOurValue(std::string_view name) const;
  // The program text of the entry, or nothing when there is no usable entry.
  std::optional<std::string> ReadEntry() const;

  AutostartConfig config_;
};

// Desktop entry text for an autostart entry that runs `program`.
std::string MakeAutostartEntry(const AutostartConfig& config, std::string_view program);

// The program an autostart entry runs: its Exec line with the string escapes and
// the argument quoting of the desktop entry format undone (one argument gives
// that argument; several are joined by blanks). Nothing when the text is not a
// desktop entry of type Application with a non-empty Exec, or when it is Hidden
// or switched off with X-GNOME-Autostart-enabled=false.
std::optional<std::string> ParseAutostartEntry(std::string_view text);

// One Exec argument, quoted when it holds a reserved character, '%' doubled and
// written with the string escapes of the format (ready to follow "Exec=").
std::string EscapeExecArgument(std::string_view arg);

}  // namespace vantrel
