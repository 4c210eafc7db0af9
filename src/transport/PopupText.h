#pragma once
// Splitting the text of a captured Messenger-service pop-up into the fields of
// a message, and the language class that chooses the pop-up's layout.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SystemInfo.h"

namespace vantrel {

// Language classes of the system default language.
inline constexpr int kLanguageUnsupported = 0;
inline constexpr int kLanguageChinese = 1;  // Simplified-Chinese pop-up layout
inline constexpr int kLanguageEnglish = 2;  // English pop-up layout

// Ranges, not equalities: 2052 and above -> 1; 1033 up to 2051 -> 2; below
// 1033 -> 0. So English (United Kingdom), 2057, gives 1 and Japanese, 1041,
// gives 2.
int SystemLanguageClass(uint16_t langId);
int SystemLanguageClass(ISystemInfo& system);

// The longest field ParsePopupText yields, in bytes (the receive window keeps
// them in buffers of 16, 16, 20 and 1024 bytes).
inline constexpr size_t kPopupSenderMax = 15;
inline constexpr size_t kPopupReceiverMax = 15;
inline constexpr size_t kPopupTimeMax = 19;
inline constexpr size_t kPopupTextMax = 1023;

struct PopupFields {
  std::string sender;
  std::string receiver;
  std::string time;
  std::string text;
};

// Splits a captured pop-up text. The text is taken as a zero-terminated
// string (it ends at its first zero byte, if any). Its first line, up to the
// first CR or LF, is split at blanks into words (two blanks in a row delimit
// an empty word) and counted from the end:
//   layout 1 (class 1): receiver = 2nd word from the end, sender = 4th;
//   layout 2 (class 2): receiver = 4th word from the end, sender = 6th.
// A sender holding a colon is replaced by the second word of the whole text.
// The message text is what follows the first line once the CR and LF right
// behind it are skipped; the time is timeText (the current local time).
//
// Class 0 (and any other class) leaves all four fields empty, time included.
// A first line with fewer words than its layout counts back (4 or 6) gives an
// empty sender and receiver: the layout does not match, so no word is taken.
// Every field is cut to its maximum above; a longer word or body loses its
// end (bytes are cut, so a double-byte character may lose its second byte).
PopupFields ParsePopupText(std::string_view popupText, int languageClass,
                           std::string_view timeText);

// The same with the language class and the time taken from the system.
PopupFields ParsePopupText(std::string_view popupText, ISystemInfo& system);

}  // namespace vantrel
