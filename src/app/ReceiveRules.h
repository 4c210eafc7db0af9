#pragma once
// The receive window's rules that need no window: which commands are enabled
// and checked, and how a captured pop-up text is taken from its copy-data
// record and compared with the last one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::app {

// Command ids of the receive window (menu 130, tool bar 133, icon menu 136).
inline constexpr int kCmdExit = 1;  // the OK command
inline constexpr int kCmdSend = 32771;
inline constexpr int kCmdDelete = 32772;
inline constexpr int kCmdPrevious = 32773;
inline constexpr int kCmdNext = 32774;
inline constexpr int kCmdAbout = 32776;
inline constexpr int kCmdDeleteAll = 32783;
inline constexpr int kCmdAutoStart = 32785;
inline constexpr int kCmdAutoPopup = 32786;
inline constexpr int kCmdAutoBeep = 32787;
inline constexpr int kCmdResponse = 32788;
inline constexpr int kCmdTrayShow = 32790;
inline constexpr int kCmdTrayExit = 32791;
inline constexpr int kCmdTrayAbout = 32792;
inline constexpr int kCmdUserInfo = 32793;

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
