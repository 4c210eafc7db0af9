#pragma once
// The name check a sender asks before it writes to a remote mailslot, and the
// resolution that decides where the write goes.
//
// SendMessengerDatagram calls, for a name that does not begin with "~":
//   FindNetBiosName(name); only when that returns 0, ProbeNetworkName(name);
// and then, for every name it sends to (also one beginning with "~"):
//   ResolveMailslotTarget(name).
// All three get the name after its translation through the address book, as
// typed (case and length unchanged); cutting to the 15-character NetBIOS form
// is theirs to do.

#include <optional>
#include <string_view>

#include "platform/Ipv4Address.h"

namespace vantrel {

// Where a mailslot write to a name goes.
struct MailslotTarget {
  Ipv4Address address;  // the unique name's address (unused for a group)
  bool group = false;   // a group name (workgroup, domain): sent to the subnet broadcasts
};

class INameCheck {
 public:
  virtual ~INameCheck() = default;

  // Non-zero when the name exists for NetBIOS, a unique or a group name, or
  // when NetBIOS cannot be asked at all; 0 when the query found nothing.
  virtual int FindNetBiosName(std::string_view name) = 0;

  // 1 when the name exists for the connection probe, 0 when it does not.
  virtual int ProbeNetworkName(std::string_view name) = 0;

  // Opening "\\name\mailslot\messngr": NAME<00> by NetBIOS resolution (unique
  // or group), else a dotted IPv4 address or what the system resolver gives
  // (unique). nullopt when the name resolves nowhere: the mailslot cannot be
  // opened. An implementation may reuse the answer of the check just made for
  // the same name, so that one send costs one lookup.
  virtual std::optional<MailslotTarget> ResolveMailslotTarget(std::string_view name) = 0;
};

}  // namespace vantrel
