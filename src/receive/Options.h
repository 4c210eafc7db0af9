#pragma once
// The user's options, the names they are stored under, and the autostart entry.
//
// Stored options live in the profile section "Option" as REG_DWORD 0/1; a
// missing value reads as 1. Auto Beep is never stored and is off at every start.
// The autostart entry is the value "Vantrel" of the machine's Run key; only its
// existence counts, not its content.

#include <string_view>

#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "receive/Profile.h"

namespace vantrel {

inline constexpr std::string_view kOptionSection = "Option";
inline constexpr std::string_view kOptAutoRespond = "AutoRespond";
inline constexpr std::string_view kOptShowResponse = "ShowResponse";
inline constexpr std::string_view kOptAutoPopup = "AutoPopup";
inline constexpr uint32_t kOptionDefault = 1;

// The Run value that starts the program at log-on (key kRunKeyPath).
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

// Whether the Run value exists. A value too long for the 200-byte buffer of
// ReadString counts as existing too: it is there and starts the program, and
// reading it as absent would leave the user no way to switch it off.
bool ReadAutostartFlag(IRegistry& reg);

// The Auto Start command: with the flag set deletes the Run value, otherwise
// writes the program's full file name (never cut short) into it; the flag flips whether or not
// the registry could be changed (the next start shows the true state). Returns
// whether the registry was changed, for a caller that wants to tell the user.
bool ToggleAutostart(IRegistry& reg, ISystemInfo& system, bool& flag);

}  // namespace vantrel
