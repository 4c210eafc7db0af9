#include "send/SendOperation.h"

#include <algorithm>
#include <vector>

#include "send/ReceiverLine.h"
#include "transport/Messenger.h"

namespace vantrel {

std::string TooLongText(size_t excess) {
  return "Sorry, the message is " + std::to_string(excess) + (excess == 1 ? " byte" : " bytes") +
         " too long. Sender, receiver and message together can hold at most 424 bytes.";
}

SendOutcome RunSendOperation(SendFields& fields, const SendServices& services) {
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
  if (services.payloadSize) {
    size_t largest = 0;
    for (const std::string& name : names) {
      largest = std::max(largest, services.payloadSize(fields.sender, name, fields.message));
    }
    if (largest > kMaxMessengerPayload) {
      show(TooLongText(largest - kMaxMessengerPayload));
      return SendOutcome::kRejected;
    }
  }
  int result = 0;
  for (const std::string& name : names) {
    result = services.sendDatagram ? services.sendDatagram(fields.sender, name, fields.message) : 0;
  }
  const bool captureMode = services.isPopupCaptureMode && services.isPopupCaptureMode() == 1;
  if (result == 0 && !captureMode) show(kSendFailedText);
  return result == 0 ? SendOutcome::kFailed : SendOutcome::kSent;
}

bool RecordSend(SendOutcome outcome, const SendFields& fields, SendHistory& history) {
  if (outcome == SendOutcome::kRejected) return false;
  history.Record(fields.receiverLine, fields.message);
  return true;
}

SendOutcome RunSendOperation(SendFields& fields, SendHistory& history,
                             const SendServices& services) {
  const SendOutcome outcome = RunSendOperation(fields, services);
  RecordSend(outcome, fields, history);
  return outcome;
}

}  // namespace vantrel
