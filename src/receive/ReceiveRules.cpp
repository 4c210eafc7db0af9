#include "receive/ReceiveRules.h"

#include <cstring>

#include "transport/Datagram.h"
#include "transport/PopupText.h"

namespace vantrel {

bool HasReceiveHandler(ReceiveCommand command, const ReceiveCommandState& state) {
  switch (command) {
    case ReceiveCommand::kExit:
    case ReceiveCommand::kSend:
    case ReceiveCommand::kDelete:
    case ReceiveCommand::kPrevious:
    case ReceiveCommand::kNext:
    case ReceiveCommand::kAbout:
    case ReceiveCommand::kDeleteAll:
    case ReceiveCommand::kAutoStart:
    case ReceiveCommand::kAutoPopup:
    case ReceiveCommand::kAutoBeep:
    case ReceiveCommand::kResponse:
    case ReceiveCommand::kTrayShow:
    case ReceiveCommand::kTrayExit:
    case ReceiveCommand::kTrayAbout:
      return true;
    case ReceiveCommand::kUserInfo:
      return state.userInfoAvailable;
  }
  return false;
}

bool IsReceiveCommandEnabled(ReceiveCommand command, const ReceiveCommandState& state) {
  switch (command) {
    case ReceiveCommand::kDelete:
    case ReceiveCommand::kDeleteAll:
      return state.total != 0;
    case ReceiveCommand::kPrevious:
      return state.total != 0 && state.current > 1;
    case ReceiveCommand::kNext:
      return state.total != 0 && state.current < state.total;
    default:
      return HasReceiveHandler(command, state);
  }
}

bool IsReceiveCommandChecked(ReceiveCommand command, const ReceiveCommandState& state) {
  switch (command) {
    case ReceiveCommand::kAutoStart:
      return state.autoStart;
    case ReceiveCommand::kAutoPopup:
      return state.autoPopup;
    case ReceiveCommand::kAutoBeep:
      return state.autoBeep;
    default:
      return false;
  }
}

bool IsReceiveCommandCheckable(ReceiveCommand command) {
  return command == ReceiveCommand::kAutoStart || command == ReceiveCommand::kAutoPopup ||
         command == ReceiveCommand::kAutoBeep;
}

std::string CapturedText(const CopyDataRecord& record) {
  if (record.lpData == nullptr) return {};
  const size_t n = record.cbData < kCapturedTextMax ? record.cbData : kCapturedTextMax;
  const char* bytes = static_cast<const char*>(record.lpData);
  const void* zero = std::memchr(bytes, 0, n);
  const size_t len = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : n;
  return std::string(bytes, len);
}

std::optional<MessageRecord> RecordFromCapturedText(std::string_view text, ISystemInfo& system,
                                                    bool showResponse) {
  const PopupFields fields = ParsePopupText(text, system);
  if (!showResponse && IsAutomaticMessage(fields.sender)) return std::nullopt;
  return MessageRecord::FromFields(fields.time, fields.sender, fields.receiver, fields.text);
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

}  // namespace vantrel
