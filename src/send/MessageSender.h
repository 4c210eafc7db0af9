#pragma once
// SendMessengerDatagram as the program and vantrel-send use it: the receiver
// is looked up in the address book (ResolveAlias), the transport checks the
// name and sends, and a name the network does not know is told to the user in
// the box "Sorry, can't find name "<name>" in network." (not when the sender
// is an automatic one, beginning with "~"). The box is shown before the call
// returns, as soon as the name check has failed.
//
// Sender, receiver and text are bytes in the system code page; the box gets
// UTF-8, converted once here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "settings/Profile.h"
#include "transport/Messenger.h"

namespace vantrel {

// The box for a name nobody answers for; name is UTF-8.
std::string CantFindNameText(std::string_view name);

class MessageSender {
 public:
  // Everything must outlive the sender. Like the messenger, one thread at a
  // time may use it.
  MessageSender(const Profile& profile, Messenger& messenger, IMessageBox& box, ICodePage& codePage,
                uint32_t ansiCodePage);

  // 1 when the datagram left this computer, 0 when nothing was sent.
  int SendMessengerDatagram(std::string_view sender, std::string_view receiver,
                            std::string_view text);

  // The size the datagram to receiver would have: its sender, the name the
  // address book gives, its text and the two zero bytes.
  size_t PayloadSize(std::string_view sender, std::string_view receiver,
                     std::string_view text) const;

  // Why the last send returned 0 (kNone after a 1), and the name it used.
  SendFailure LastFailure() const { return lastFailure_; }
  const std::string& LastName() const { return lastName_; }

 private:
  const Profile& profile_;
  Messenger& messenger_;
  IMessageBox& box_;
  ICodePage& codePage_;
  uint32_t ansiCodePage_;
  SendFailure lastFailure_ = SendFailure::kNone;
  std::string lastName_;
};

}  // namespace vantrel
