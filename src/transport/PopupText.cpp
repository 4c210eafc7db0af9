#include "transport/PopupText.h"

namespace vantrel {
namespace {

std::string Bounded(std::string_view s, size_t max) { return std::string(s.substr(0, max)); }

}  // namespace

int SystemLanguageClass(uint16_t langId) {
  if (langId >= 2052) return kLanguageChinese;
  if (langId >= 1033) return kLanguageEnglish;
  return kLanguageUnsupported;
}

int SystemLanguageClass(ISystemInfo& system) {
  return SystemLanguageClass(system.DefaultLanguageId());
}

PopupFields ParsePopupText(std::string_view popupText, int languageClass,
                           std::string_view timeText) {
  PopupFields out;
  size_t senderBack = 0;    // which word from the end is the sender (1 = last)
  size_t receiverBack = 0;  // and which the receiver
  if (languageClass == kLanguageChinese) {
    senderBack = 4;
    receiverBack = 2;
  } else if (languageClass == kLanguageEnglish) {
    senderBack = 6;
    receiverBack = 4;
  } else {
    return out;
  }

  popupText = popupText.substr(0, popupText.find('\0'));
  size_t lineEnd = popupText.find_first_of("\r\n");
  std::string_view firstLine = popupText.substr(0, lineEnd);

  // Walk the first line backwards, word by word, as far as the sender.
  std::string_view sender, receiver;
  size_t end = firstLine.size();  // the current word ends here
  for (size_t back = 1; back <= senderBack; ++back) {
    size_t blank = end == 0 ? std::string_view::npos : firstLine.rfind(' ', end - 1);
    size_t start = blank == std::string_view::npos ? 0 : blank + 1;
    std::string_view word = firstLine.substr(start, end - start);
    if (back == receiverBack) receiver = word;
    if (back == senderBack) {
      sender = word;
      break;
    }
    if (blank == std::string_view::npos) {
      // The line has fewer words than the layout counts back.
      sender = receiver = {};
      break;
    }
    end = blank;
  }

  if (sender.find(':') != std::string_view::npos) {
    size_t firstBlank = popupText.find(' ');
    if (firstBlank != std::string_view::npos) {
      size_t next = popupText.find(' ', firstBlank + 1);
      size_t stop = next == std::string_view::npos ? popupText.size() : next;
      sender = popupText.substr(firstBlank + 1, stop - firstBlank - 1);
    }
  }

  std::string_view body;
  if (lineEnd != std::string_view::npos) {
    size_t bodyStart = popupText.find_first_not_of("\r\n", lineEnd);
    if (bodyStart != std::string_view::npos) body = popupText.substr(bodyStart);
  }

  out.sender = Bounded(sender, kPopupSenderMax);
  out.receiver = Bounded(receiver, kPopupReceiverMax);
  out.time = Bounded(timeText.substr(0, timeText.find('\0')), kPopupTimeMax);
  out.text = Bounded(body, kPopupTextMax);
  return out;
}

PopupFields ParsePopupText(std::string_view popupText, ISystemInfo& system) {
  int cls = SystemLanguageClass(system);
  if (cls == kLanguageUnsupported) return {};
  return ParsePopupText(popupText, cls, system.LocalTimeText());
}

}  // namespace vantrel
