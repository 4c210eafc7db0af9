// Splitting captured pop-up texts in every language class; every field must
// stay within the receive window's buffers and inside the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "transport/MessageRecord.h"
#include "transport/PopupText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view text = input.substr(0, input.find('\0'));
  // The time is normally 19 characters; the input's head tries odd ones too.
  std::string_view odd = input.substr(0, input.size() < 24 ? input.size() : 24);
  for (std::string_view time : {std::string_view("2003-10-20 09:05:07"), odd}) {
    for (int cls = -1; cls <= 3; ++cls) {
      vantrel::PopupFields f = vantrel::ParsePopupText(input, cls, time);
      Check(f.sender.size() <= vantrel::kPopupSenderMax);
      Check(f.receiver.size() <= vantrel::kPopupReceiverMax);
      Check(f.time.size() <= vantrel::kPopupTimeMax);
      Check(f.text.size() <= vantrel::kPopupTextMax);
      if (cls != vantrel::kLanguageChinese && cls != vantrel::kLanguageEnglish) {
        Check(f.sender.empty() && f.receiver.empty() && f.time.empty() && f.text.empty());
        continue;
      }
      // Names and body are pieces of the text; none holds a zero byte.
      Check(text.find(f.sender) != std::string_view::npos);
      Check(text.find(f.receiver) != std::string_view::npos);
      Check(text.find(f.text) != std::string_view::npos);
      Check(f.time.find('\0') == std::string::npos);
      Check(f.text.find('\0') == std::string::npos);
      // They make a record that reads back the same.
      vantrel::MessageRecord r =
          vantrel::MessageRecord::FromFields(f.time, f.sender, f.receiver, f.text);
      vantrel::MessageFields g = r.Fields();
      Check(g.sender == f.sender && g.receiver == f.receiver && g.text == f.text);
    }
  }
  return 0;
}
