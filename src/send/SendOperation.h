#pragma once
// What a press of Send does once the dialog has read its fields: validate,
// expand the receiver line, refuse a message too long for one datagram, send
// to each name, report a failure, record the pair in the send history. The
// dialog itself only shows the wait cursor around it and hides afterwards.
//
// All text here is UTF-8 as the dialog holds it; the send and size functions
// turn it into the bytes of the wire.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "send/SendHistory.h"

namespace vantrel {

class INetworkDirectory;

// The texts of the boxes the Send operation shows.
inline constexpr std::string_view kInvalidReceiverText = "Please select a valid reciever.";
inline constexpr std::string_view kInvalidSenderText = "Invalid sender.";
inline constexpr std::string_view kInvalidMessageText = "Please input an valid message.";
inline constexpr std::string_view kSendFailedText = "Sorry, send failed.";

// The box for a message that one datagram cannot carry: by how many bytes it
// is too long (excess > 0).
std::string TooLongText(size_t excess);

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
  // The size of the datagram to one name as it would go on the wire; null
  // measures nothing (no message is too long).
  std::function<size_t(std::string_view sender, std::string_view receiver, std::string_view text)>
      payloadSize;
  // Asked for the domains and workgroups when the line is ".."; null finds none.
  INetworkDirectory* directory = nullptr;
  // IsPopupCaptureMode: while it answers 1 a failed send is not reported.
  std::function<int()> isPopupCaptureMode;
  // Shows one of the operation's boxes, modally.
  std::function<void(std::string_view text)> showBox;
};

enum class SendOutcome {
  kRejected,  // a field was invalid, or the message too long for some name: its
              // box was shown, nothing sent or recorded, the dialog stays
  kSent,      // the last name's send succeeded
  kFailed,    // the last name's send failed, or there was no name to send to
};

// Runs the Send operation on fields. fields.receiverLine becomes the trimmed
// line (what is sent and recorded). After kSent and kFailed the dialog records
// the pair in the history (RecordSend) and hides itself.
//
// The size of every datagram is checked before the first one is sent (and
// before any name check): a message that would be too long for any of the
// names is refused as a whole with TooLongText.
//
// Only the last name's result counts: a failure of an earlier name is
// reported by its own box (name not found) or not at all.
SendOutcome RunSendOperation(SendFields& fields, const SendServices& services);

// After kSent and kFailed: the pair goes into the history (unless it is there
// already). True when the outcome is one that is recorded.
bool RecordSend(SendOutcome outcome, const SendFields& fields, SendHistory& history);

// Both in one call, as the dialog does them when it sends on its own thread.
SendOutcome RunSendOperation(SendFields& fields, SendHistory& history,
                             const SendServices& services);

}  // namespace vantrel
