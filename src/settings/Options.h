#pragma once
// The user's options, the names they are stored under, and the autostart entry.
//
// Stored options live in the profile section "Option" as REG_DWORD 0/1; a
// missing value reads as 1. Auto Beep is never stored and is off at every start.
// For the autostart entry only its existence counts, not the program it names.

#include <string_view>

#include "platform/Autostart.h"
#include "platform/SystemInfo.h"
#include "settings/Profile.h"

namespace vantrel {

inline constexpr std::string_view kOptionSection = "Option";
inline constexpr std::string_view kOptAutoRespond = "AutoRespond";
inline constexpr std::string_view kOptShowResponse = "ShowResponse";
inline constexpr std::string_view kOptAutoPopup = "AutoPopup";
inline constexpr uint32_t kOptionDefault = 1;

// The name of the autostart entry that starts the program at log-on.
inline constexpr std::string_view kAutostartValue = "Vantrel";

struct OptionFlags {
  bool autoRespond = true;
  bool showResponse = true;
  bool autoPopup = true;
  bool autoBeep = false;  // not stored
};

// Reads AutoRespond, ShowResponse and AutoPopup (each defaulting to 1; any
// non-zero value is on); Auto Beep starts off.
OptionFlags LoadOptions(const Profile& profile);

// One write-integer ("Option", entry, flag) after the flag has changed; true when
// it was stored. Failures are silent to the user.
bool WriteOption(Profile& profile, std::string_view entry, bool flag);

// The longest program name the autostart check takes (with its terminator):
// a longer one reads as no entry, and switching Auto Start on then writes the
// entry afresh.
inline constexpr size_t kAutostartProgramBuffer = 200;

// Whether an autostart entry exists whose program name fits
// kAutostartProgramBuffer.
bool ReadAutostartFlag(IAutostart& autostart);

// The Auto Start command: with the flag set removes the entry, otherwise
// writes one that starts the program's full file name (never cut short); the
// flag flips whether or not the entry could be changed (the next start shows
// the true state). Returns whether the entry was changed, for a caller that
// wants to tell the user.
bool ToggleAutostart(IAutostart& autostart, ISystemInfo& system, bool& flag);

}  // namespace vantrel
