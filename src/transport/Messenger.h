#pragma once
// Writing one Messenger datagram to the mailslot "messngr" of another
// computer (or of every computer of a workgroup or domain).
//
// SendMessengerDatagram(sender, receiver, text):
//   1. receiver empty or exactly "~": 0, nothing sent, nothing shown;
//   2. the name is ResolveAlias(receiver) (the address book's "Alias1");
//   3. a payload above kMaxMessengerPayload bytes: 0 (see below);
//   4. a name not beginning with "~" must exist: FindNetBiosName, and only when
//      that finds nothing ProbeNetworkName; when neither finds it, the box
//      "Sorry, can't find name "<name>" in network." (not for a sender
//      beginning with "~") and 0;
//   5. "opening \\name\mailslot\messngr" is resolving the name
//      (ResolveMailslotTarget); a name that resolves nowhere gives 0 silently
//      (so does a "~X" name nobody answers for);
//   6. one datagram: sender, 0x00, name, 0x00, text, exactly
//      len(sender) + len(name) + len(text) + 2 bytes, in an SMB mailslot write
//      to \MAILSLOT\MESSNGR, in a NetBIOS datagram from COMPUTER<00>, source
//      port 138, to NAME<00>:
//        unique name -> DIRECT_UNIQUE to the resolved address, UDP 138;
//        group name  -> DIRECT_GROUP to the subnet broadcast of every
//                       broadcast-capable interface in use, UDP 138.
//      Sent from the mailslot's own socket (port 138) while we own it, else
//      from a fresh socket on a free port; SOURCE_PORT says 138 either way, the
//      port peers answer datagrams to (the mailslot protocol has no replies).
//   1 when the datagram left on at least one interface, 0 when nothing was
//   sent (also when the system refused every send).
//
// Each string is taken as zero-terminated: it ends at its first zero byte.
// Text is bytes in the system code page, as the caller encoded it.
//
// Size limit. The mailslot protocol does not fragment; Windows peers discard
// a mailslot write whose data exceeds 424 bytes (for a 7-character mailslot
// name such as MESSNGR), while Samba and this program accept larger ones.
// A message that part of the network silently drops must not be reported as
// sent, so payloads above 424 bytes are refused with 0 (LastFailure() says
// kTooLong) and nothing goes on the wire. The frame then stays within 512
// bytes of SMB, one unfragmented UDP datagram.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/MessageBox.h"
#include "platform/Network.h"
#include "receive/Profile.h"
#include "transport/Identity.h"
#include "transport/NameCheck.h"

namespace vantrel {

class MailslotEndpoint;

// Largest Messenger datagram (sender, name, text and the two zero bytes) that
// every peer accepts.
inline constexpr size_t kMaxMessengerPayload = 424;

enum class SendFailure {
  kNone,         // sent
  kNoReceiver,   // receiver empty or "~"
  kTooLong,      // payload above kMaxMessengerPayload
  kNotFound,     // neither name check found the name
  kCannotOpen,   // the name resolves nowhere, no usable interface, or no socket
  kSendRefused,  // the system refused every send
};

const char* SendFailureText(SendFailure failure);

class Messenger {
 public:
  // Everything must outlive the messenger. endpoint may be null (sender-only).
  Messenger(const Profile& profile, INameCheck& check, INetwork& network, IMessageBox& box,
            const Identity& identity, MailslotEndpoint* endpoint = nullptr);

  int SendMessengerDatagram(std::string_view sender, std::string_view receiver,
                            std::string_view text);

  // Why the last SendMessengerDatagram returned 0 (kNone after a 1).
  SendFailure LastFailure() const { return lastFailure_; }
  // The name the last send used, after the address book.
  const std::string& LastName() const { return lastName_; }

 private:
  int Fail(SendFailure failure) {
    lastFailure_ = failure;
    return 0;
  }

  const Profile& profile_;
  INameCheck& check_;
  INetwork& network_;
  IMessageBox& box_;
  Identity identity_;
  MailslotEndpoint* endpoint_;
  uint16_t nextId_;
  SendFailure lastFailure_ = SendFailure::kNone;
  std::string lastName_;
};

}  // namespace vantrel
