// What the capture's outside bytes decode to: spool records (any local user
// may put a file in the spool), the window greeting and copy-data header
// (whoever may reach the socket), the registration file. A record that decodes
// must encode back to the same bytes; any decoded message must make a pop-up
// text of 1..1023 bytes in both layouts whose sender ParsePopupText finds.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "hook/linux/CaptureFormat.h"
#include "transport/PopupText.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel::capture;
  const std::span<const uint8_t> bytes(data, size);

  if (std::optional<CapturedMessage> m = DecodeSpoolRecord(bytes)) {
    Check(EncodeSpoolRecord(*m) == std::vector<uint8_t>(bytes.begin(), bytes.end()));
    for (int cls : {vantrel::kLanguageChinese, vantrel::kLanguageEnglish}) {
      for (uint32_t codePage : {1252u, 936u}) {
        const std::string text = BuildPopupText(*m, cls, codePage);
        Check(!text.empty() && text.size() <= kPopupTextMax);
        const vantrel::PopupFields f = vantrel::ParsePopupText(text, cls, "t");
        const std::string word = PopupWord(m->sender);
        Check(f.sender == (word.empty() ? "_" : word));
      }
    }
  }
  if (std::optional<WindowGreeting> g = DecodeGreeting(bytes))
    Check(EncodeGreeting(*g) == std::vector<uint8_t>(bytes.begin(), bytes.end()));
  if (std::optional<CopyDataHeader> h = DecodeCopyDataHeader(bytes))
    Check(h->dwData == 0 && h->cbData >= 1 && h->cbData <= kPopupTextMax);
  if (std::optional<uint64_t> w = DecodeTarget(bytes)) Check(*w != 0);
  return 0;
}
