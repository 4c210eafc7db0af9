#include "transport/Messenger.h"

#include <random>
#include <vector>

#include "transport/Datagram.h"
#include "transport/MailslotEndpoint.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

// The string up to its first zero byte.
std::string_view UpToZero(std::string_view s) {
  size_t zero = s.find('\0');
  return zero == std::string_view::npos ? s : s.substr(0, zero);
}

// The address our datagram to `to` leaves from: the interface whose subnet
// holds it, else the first interface in use.
Ipv4Address SourceAddressFor(Ipv4Address to, const std::vector<NetworkInterface>& nics) {
  if (to.IsLoopback()) return to;
  for (const NetworkInterface& n : nics) {
    if (n.Contains(to)) return n.address;
  }
  return nics.empty() ? Ipv4Address::Any() : nics.front().address;
}

}  // namespace

const char* SendFailureText(SendFailure failure) {
  switch (failure) {
    case SendFailure::kNone:
      return "sent";
    case SendFailure::kNoReceiver:
      return "no receiver";
    case SendFailure::kTooLong:
      return "message too long";
    case SendFailure::kNotFound:
      return "name not found in the network";
    case SendFailure::kCannotOpen:
      return "cannot reach the receiver's mailslot";
    case SendFailure::kSendRefused:
      return "the system refused to send";
  }
  return "?";
}

size_t MessengerPayloadSize(std::string_view sender, std::string_view name, std::string_view text) {
  return UpToZero(sender).size() + UpToZero(name).size() + UpToZero(text).size() + 2;
}

Messenger::Messenger(INameCheck& check, INetwork& network, const Identity& identity,
                     MailslotEndpoint* endpoint)
    : check_(check),
      network_(network),
      identity_(identity),
      endpoint_(endpoint),
      nextId_(static_cast<uint16_t>(std::random_device{}())) {}

int Messenger::SendMessengerDatagram(std::string_view senderIn, std::string_view nameIn,
                                     std::string_view textIn) {
  lastFailure_ = SendFailure::kNone;
  const std::string_view sender = UpToZero(senderIn);
  const std::string name(UpToZero(nameIn));
  const std::string_view text = UpToZero(textIn);

  // 1. No receiver.
  if (name.empty() || name == "~") return Fail(SendFailure::kNoReceiver);

  // 2. What no Windows peer would take is not sent at all.
  std::vector<uint8_t> payload = BuildMessengerDatagram(sender, name, text);
  if (payload.size() > kMaxMessengerPayload) return Fail(SendFailure::kTooLong);

  // 3. The name check; names beginning with "~" are not checked.
  if (!IsAutomaticMessage(name) && check_.FindNetBiosName(name) == 0 &&
      check_.ProbeNetworkName(name) == 0) {
    return Fail(SendFailure::kNotFound);
  }

  // 4. Open: where does the write go?
  std::optional<MailslotTarget> target = check_.ResolveMailslotTarget(name);
  if (!target || (!target->group && target->address.IsAny())) {
    return Fail(SendFailure::kCannotOpen);
  }
  std::vector<NetworkInterface> nics =
      SelectInterfaces(network_.Interfaces(), identity_.interfaces);

  // Where to, and from which address each copy says it comes.
  struct Copy {
    SocketAddress to;
    Ipv4Address from;
  };
  std::vector<Copy> copies;
  if (target->group) {
    for (const NetworkInterface& n : nics) {
      if (n.up && !n.loopback && n.broadcastCapable && !n.broadcast.IsAny()) {
        copies.push_back({{n.broadcast, kNetbiosDatagramPort}, n.address});
      }
    }
  } else {
    copies.push_back(
        {{target->address, kNetbiosDatagramPort}, SourceAddressFor(target->address, nics)});
  }
  if (copies.empty()) return Fail(SendFailure::kCannotOpen);

  // The socket: the mailslot's own (port 138) while we hold it, else a fresh one.
  std::unique_ptr<IUdpSocket> own;
  IUdpSocket* socket = endpoint_ != nullptr ? endpoint_->Socket() : nullptr;
  if (socket == nullptr) {
    UdpOptions options;
    options.broadcast = true;
    own = network_.BindUdp({Ipv4Address::Any(), 0}, options).socket;
    socket = own.get();
  }
  if (socket == nullptr) return Fail(SendFailure::kCannotOpen);

  // 5. One datagram per destination.
  std::vector<uint8_t> smb = BuildMailslotWrite(kMessengerMailslot, payload);
  NetbiosDatagram header;
  header.type = target->group ? kDgmDirectGroup : kDgmDirectUnique;
  header.flags = kDgmFlagFirst | kDgmNodeB;
  header.id = nextId_++;
  header.sourcePort = kNetbiosDatagramPort;
  header.source = NetbiosName::FromName(identity_.computerName, kSuffixWorkstation);
  header.destination = NetbiosName::FromName(name, kSuffixWorkstation);
  bool anySent = false;
  for (const Copy& c : copies) {
    header.sourceIp = c.from;
    std::vector<uint8_t> frame = BuildNetbiosDatagram(header, smb);
    if (socket->SendTo(c.to, frame)) anySent = true;
  }
  if (!anySent) return Fail(SendFailure::kSendRefused);
  return 1;
}

}  // namespace vantrel
