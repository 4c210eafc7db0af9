#pragma once
// The receive window's rules that need no window: which commands are enabled
// and checked, and how a captured pop-up text is taken from its copy-data
// record and compared with the last one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "res/ResourceIds.h"

namespace vantrel::app {

// Command ids of the receive window (menu 130, tool bar 133, icon menu 136).
inline constexpr int kCmdExit = res::ID_MESSAGE_EXIT;  // the OK command
inline constexpr int kCmdSend = res::ID_MESSAGE_SEND;
inline constexpr int kCmdDelete = res::ID_MESSAGE_DELETE;
inline constexpr int kCmdPrevious = res::ID_MESSAGE_PREVIOUS;
inline constexpr int kCmdNext = res::ID_MESSAGE_NEXT;
inline constexpr int kCmdAbout = res::ID_HELP_ABOUT;
inline constexpr int kCmdDeleteAll = res::ID_MESSAGE_DELETE_ALL;
inline constexpr int kCmdAutoStart = res::ID_OPTION_AUTO_START;
inline constexpr int kCmdAutoPopup = res::ID_OPTION_AUTO_POPUP;
inline constexpr int kCmdAutoBeep = res::ID_OPTION_AUTO_BEEP;
inline constexpr int kCmdResponse = res::ID_MESSAGE_RESPONSE;
inline constexpr int kCmdTrayShow = res::ID_TRAY_SHOW;
inline constexpr int kCmdTrayExit = res::ID_TRAY_EXIT;
inline constexpr int kCmdTrayAbout = res::ID_TRAY_ABOUT;
inline constexpr int kCmdUserInfo = res::ID_OPTION_USER_INFO;

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
bool HasReceiveHandler(int id, const ReceiveCommandState& state);
// Delete and Delete All need a message, Previous and Next somewhere to go;
// every other command with a handler is enabled, one without is not.
bool IsReceiveCommandEnabled(int id, const ReceiveCommandState& state);
// Auto Start, Auto Popup and Auto Beep show their flags.
bool IsReceiveCommandChecked(int id, const ReceiveCommandState& state);
// True for the commands that carry a check mark.
bool IsReceiveCommandCheckable(int id);

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

}  // namespace vantrel::app
