#pragma once
// What a press of Send does once the dialog has read its fields: validate,
// expand the receiver line, send to each name, report a failure, record the
// pair in the send history. The dialog itself only shows the wait cursor
// around it and hides afterwards.
//
// All text here is UTF-8 as the dialog holds it; the send function turns it
// into the bytes of the wire.

#include <functional>
#include <string>
#include <string_view>

#include "send/SendHistory.h"

namespace vantrel {

class INetworkDirectory;

// The boxes of the Send operation, word for word.
inline constexpr std::string_view kInvalidReceiverText = "Please select a valid reciever.";
inline constexpr std::string_view kInvalidSenderText = "Invalid sender.";
inline constexpr std::string_view kInvalidMessageText = "Please input an valid message.";
inline constexpr std::string_view kSendFailedText = "Sorry, send failed.";

// The sender name when the computer has no name.
inline constexpr std::string_view kNoBodySender = "NoBody";

// The dialog's three fields as read from its controls.
struct SendFields {
  std::string receiverLine;
  std::string sender;
  std::string message;
};

struct SendServices {
  // SendMessengerDatagram for one name: 1 when the datagram was written, 0
  // when nothing was sent (it shows its own box for a name it cannot find).
  std::function<int(std::string_view sender, std::string_view receiver, std::string_view text)>
      sendDatagram;
  // Asked for the domains and workgroups when the line is ".."; null finds none.
  INetworkDirectory* directory = nullptr;
  // IsPopupCaptureMode: while it answers 1 a failed send is not reported.
  std::function<int()> isPopupCaptureMode;
  // Shows one of the operation's boxes, modally.
  std::function<void(std::string_view text)> showBox;
};

enum class SendOutcome {
  kRejected,  // a field was invalid: its box was shown, nothing sent or recorded
  kSent,      // the last name's send succeeded
  kFailed,    // the last name's send failed, or there was no name to send to
};

// Runs the Send operation on fields. fields.receiverLine becomes the trimmed
// line (what is sent and recorded). After kSent and kFailed the pair is in the
// history (unless it was there already) and the dialog hides itself.
//
// Only the last name's result counts: a failure of an earlier name is
// reported by its own box (name not found) or not at all.
SendOutcome RunSendOperation(SendFields& fields, SendHistory& history,
                             const SendServices& services);

}  // namespace vantrel
