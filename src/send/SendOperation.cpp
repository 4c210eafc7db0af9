#include "send/SendOperation.h"

#include <vector>

#include "send/ReceiverLine.h"

namespace vantrel {

SendOutcome RunSendOperation(SendFields& fields, SendHistory& history,
                             const SendServices& services) {
  const auto show = [&services](std::string_view text) {
    if (services.showBox) services.showBox(text);
  };

  fields.receiverLine = TrimBlanks(fields.receiverLine);
  if (fields.receiverLine.empty()) {
    show(kInvalidReceiverText);
    return SendOutcome::kRejected;
  }
  if (fields.sender.empty()) {
    show(kInvalidSenderText);
    return SendOutcome::kRejected;
  }
  if (fields.message.empty()) {
    show(kInvalidMessageText);
    return SendOutcome::kRejected;
  }

  const std::vector<std::string> names =
      ExpandReceiverLine(fields.receiverLine, services.directory);
  int result = 0;
  for (const std::string& name : names) {
    result = services.sendDatagram ? services.sendDatagram(fields.sender, name, fields.message) : 0;
  }
  const bool captureMode = services.isPopupCaptureMode && services.isPopupCaptureMode() == 1;
  if (result == 0 && !captureMode) show(kSendFailedText);

  history.Record(fields.receiverLine, fields.message);
  return result == 0 ? SendOutcome::kFailed : SendOutcome::kSent;
}

}  // namespace vantrel
