#pragma once
// The autostart entry of the Linux program: <dir>/<name>.desktop, a desktop
// entry whose Exec line runs the program.
//
//   on        <-> the file exists, is readable and is a desktop entry with an
//                 Exec line (and is not Hidden or disabled), whatever program
//                 it names
//   switch on  =  write the entry (atomically, by rename)
//   switch off =  remove the file

#include <optional>
#include <string>
#include <string_view>

#include "platform/Autostart.h"

namespace vantrel {

struct AutostartConfig {
  std::string dir;      // the autostart folder
  std::string name;     // the file's base name and Name=
  std::string icon;     // Icon=
  std::string comment;  // Comment=, left out when empty

  // ${XDG_CONFIG_HOME:-~/.config}/autostart.
  static std::string DefaultDir();
};

class XdgAutostart : public IAutostart {
 public:
  explicit XdgAutostart(AutostartConfig config);

  // <dir>/<name>.desktop
  std::string filePath() const;

  std::optional<std::string> Program() override;
  bool Switch(bool on, std::string_view program) override;

 private:
  bool Write(std::string_view program);
  bool Remove();

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
