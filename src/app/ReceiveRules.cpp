#include "app/ReceiveRules.h"

#include <cstring>

namespace vantrel::app {

bool HasReceiveHandler(int id, const ReceiveCommandState& state) {
  switch (id) {
    case kCmdExit:
    case kCmdSend:
    case kCmdDelete:
    case kCmdPrevious:
    case kCmdNext:
    case kCmdAbout:
    case kCmdDeleteAll:
    case kCmdAutoStart:
    case kCmdAutoPopup:
    case kCmdAutoBeep:
    case kCmdResponse:
    case kCmdTrayShow:
    case kCmdTrayExit:
    case kCmdTrayAbout:
      return true;
    case kCmdUserInfo:
      return state.userInfoAvailable;
    default:
      return false;
  }
}

bool IsReceiveCommandEnabled(int id, const ReceiveCommandState& state) {
  switch (id) {
    case kCmdDelete:
    case kCmdDeleteAll:
      return state.total != 0;
    case kCmdPrevious:
      return state.total != 0 && state.current > 1;
    case kCmdNext:
      return state.total != 0 && state.current < state.total;
    default:
      return HasReceiveHandler(id, state);
  }
}

bool IsReceiveCommandChecked(int id, const ReceiveCommandState& state) {
  switch (id) {
    case kCmdAutoStart:
      return state.autoStart;
    case kCmdAutoPopup:
      return state.autoPopup;
    case kCmdAutoBeep:
      return state.autoBeep;
    default:
      return false;
  }
}

bool IsReceiveCommandCheckable(int id) {
  return id == kCmdAutoStart || id == kCmdAutoPopup || id == kCmdAutoBeep;
}

std::string CapturedText(const CopyDataRecord& record) {
  if (record.lpData == nullptr) return {};
  const size_t n = record.cbData < kCapturedTextMax ? record.cbData : kCapturedTextMax;
  const char* bytes = static_cast<const char*>(record.lpData);
  const void* zero = std::memchr(bytes, 0, n);
  const size_t len = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : n;
  return std::string(bytes, len);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace vantrel::app
