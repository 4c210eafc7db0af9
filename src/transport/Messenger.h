#pragma once
// Writing one Messenger datagram to the mailslot "messngr" of another
// computer (or of every computer of a workgroup or domain).
//
// SendMessengerDatagram(sender, name, text), for a computer, workgroup or
// domain name (aliases are the caller's business):
//   1. name empty or exactly "~": 0, nothing sent;
//   2. a payload above kMaxMessengerPayload bytes: 0 (see below);
//   3. a name not beginning with "~" must exist: FindNetBiosName, and only when
//      that finds nothing ProbeNetworkName; when neither finds it, 0 with
//      LastFailure() kNotFound (the caller tells the user);
//   4. "opening \\name\mailslot\messngr" is resolving the name
//      (ResolveMailslotTarget); a name that resolves nowhere gives 0 silently
//      (so does a "~X" name nobody answers for);
//   5. one datagram: sender, 0x00, name, 0x00, text, exactly
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

#include "platform/Network.h"
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

// The size of the Messenger datagram for sender, name and text (each up to its
// first zero byte): the three and the two zero bytes between them.
size_t MessengerPayloadSize(std::string_view sender, std::string_view name, std::string_view text);

class Messenger {
 public:
  // Everything must outlive the messenger. endpoint may be null (sender-only).
  // One thread at a time may send.
  Messenger(INameCheck& check, INetwork& network, const Identity& identity,
            MailslotEndpoint* endpoint = nullptr);

  int SendMessengerDatagram(std::string_view sender, std::string_view name, std::string_view text);

  // Why the last SendMessengerDatagram returned 0 (kNone after a 1).
  SendFailure LastFailure() const { return lastFailure_; }

 private:
  int Fail(SendFailure failure) {
    lastFailure_ = failure;
    return 0;
  }

  INameCheck& check_;
  INetwork& network_;
  Identity identity_;
  MailslotEndpoint* endpoint_;
  uint16_t nextId_;
  SendFailure lastFailure_ = SendFailure::kNone;
};

}  // namespace vantrel
