#pragma once
// The receive window's rules that need no window: which commands are enabled
// and checked, and how a captured pop-up text is taken from its copy-data
// record, compared with the last one and made a record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemInfo.h"
#include "transport/MessageRecord.h"

namespace vantrel {

// The commands of the receive window (menu 130, tool bar 133 and the icon
// menu 136); the window maps its command ids onto these.
enum class ReceiveCommand {
  kExit,  // the OK command
  kSend,
  kDelete,
  kPrevious,
  kNext,
  kAbout,
  kDeleteAll,
  kAutoStart,
  kAutoPopup,
  kAutoBeep,
  kResponse,
  kTrayShow,
  kTrayExit,
  kTrayAbout,
  kUserInfo,
};

// What the update rules look at.
struct ReceiveCommandState {
  uint32_t total = 0;    // records in the store
  uint32_t current = 0;  // 1-based Current position, 0 when there is none
  bool autoStart = false;
  bool autoPopup = false;
  bool autoBeep = false;
  bool userInfoAvailable = false;  // the User Info dialog exists in this build
};

// True when the window has a handler for the command.
bool HasReceiveHandler(ReceiveCommand command, const ReceiveCommandState& state);
// Delete and Delete All need a message, Previous and Next somewhere to go;
// every other command with a handler is enabled, one without is not.
bool IsReceiveCommandEnabled(ReceiveCommand command, const ReceiveCommandState& state);
// Auto Start, Auto Popup and Auto Beep show their flags.
bool IsReceiveCommandChecked(ReceiveCommand command, const ReceiveCommandState& state);
// True for the commands that carry a check mark.
bool IsReceiveCommandCheckable(ReceiveCommand command);

// The copy-data record of a captured pop-up, as the hook library sends it:
// dwData 0, cbData the text's length without terminator, lpData the text.
struct CopyDataRecord {
  uintptr_t dwData = 0;
  uint32_t cbData = 0;
  const void* lpData = nullptr;
};

// The longest captured text kept; the handler's buffer holds it and a zero.
inline constexpr size_t kCapturedTextMax = 1023;

// The text of a record as the handler keeps it: at most kCapturedTextMax
// bytes (a longer record is cut, never read past cbData), ending at its first
// zero byte. Empty when lpData is null.
std::string CapturedText(const CopyDataRecord& record);

// Byte strings equal when ASCII letters are folded to one case (other bytes,
// such as the halves of a double-byte character, must match exactly).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The record a captured pop-up text makes: the text split with
// ParsePopupText; nothing for an automatic message while showResponse is off.
std::optional<MessageRecord> RecordFromCapturedText(std::string_view text, ISystemInfo& system,
                                                    bool showResponse);

// The last captured text: a text equal to it, ignoring case, is a repeat of
// the pop-up just handled and is dropped. Empty at start and after Delete and
// Delete All.
class LastCapturedText {
 public:
  bool IsRepeat(std::string_view text) const { return EqualsIgnoringCase(text, text_); }
  void Set(std::string_view text) { text_.assign(text.substr(0, kCapturedTextMax)); }
  void Clear() { text_.clear(); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace vantrel
