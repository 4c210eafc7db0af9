#include "transport/NameResponder.h"

#include <utility>

namespace vantrel {

const char* ResponderVerdictText(ResponderVerdict verdict) {
  switch (verdict) {
    case ResponderVerdict::kPositive:
      return "positive answer";
    case ResponderVerdict::kNegative:
      return "negative answer";
    case ResponderVerdict::kNodeStatus:
      return "node status answer";
    case ResponderVerdict::kNotOurs:
      return "not our name";
    case ResponderVerdict::kNotOurInterface:
      return "arrived on an interface we do not serve";
    case ResponderVerdict::kOffSubnet:
      return "source outside our subnets";
    case ResponderVerdict::kDefended:
      return "defended our name";
    case ResponderVerdict::kNotAQuery:
      return "not a query";
    case ResponderVerdict::kMalformed:
      return "malformed";
  }
  return "?";
}

NameResponder::NameResponder(Identity identity, std::vector<NetworkInterface> interfaces)
    : identity_(std::move(identity)), interfaces_(std::move(interfaces)) {
  names_.push_back({identity_.ComputerNetbiosName(kSuffixWorkstation), false});
  names_.push_back({identity_.ComputerNetbiosName(kSuffixMessenger), false});
  names_.push_back({identity_.WorkgroupNetbiosName(), true});
  // A node that uses a WINS server is an H-node, otherwise a B-node.
  ont_ = identity_.winsServers.empty() ? kNbOntB : kNbOntH;
}

void NameResponder::SetInterfaces(std::vector<NetworkInterface> interfaces) {
  interfaces_ = std::move(interfaces);
}

const NameResponder::OwnName* NameResponder::FindOwn(const NetbiosName& name) const {
  // Compared without case: some askers do not upper-case the names they ask for.
  const NetbiosName asked = name.Canonical();
  // The computer's unique names come first, so a workgroup that is spelled like the
  // computer cannot turn COMPUTER<00> into a group name.
  for (const OwnName& own : names_) {
    if (own.name == asked) return &own;
  }
  return nullptr;
}

bool NameResponder::OnOurSubnets(Ipv4Address source) const {
  if (source.IsLoopback()) return true;  // this host asking itself
  for (const NetworkInterface& n : interfaces_) {
    if (!n.loopback && n.Contains(source)) return true;
  }
  return false;
}

ResponderAction NameResponder::DefendName(const NamePacket& packet, ResponderAction action) const {
  action.verdict = ResponderVerdict::kNotAQuery;
  if (packet.questions.size() != 1 || packet.additional.empty()) return action;
  const OwnName* own = FindOwn(packet.questions.front().name);
  if (own == nullptr || own->group) return action;  // a group name is shared by design
  const NsResourceRecord& claim = packet.additional.front();
  // Our own registration, heard back through the broadcast, is no claim.
  const std::optional<std::vector<NbAddressEntry>> entries = ParseNbRdata(claim.rdata);
  if (entries && !entries->empty()) {
    for (const NetworkInterface& n : interfaces_) {
      if (n.address == entries->front().address) return action;
    }
  }
  action.reply = BuildNegativeRegistrationResponse(packet.transactionId, claim.name, claim.rdata);
  action.verdict = ResponderVerdict::kDefended;
  return action;
}

bool NameResponder::IsUnknownLocalAddress(Ipv4Address local) const {
  if (local.IsAny() || local.IsLoopback()) return false;
  for (const NetworkInterface& nic : interfaces_) {
    if (nic.address == local) return false;
  }
  return true;
}

bool NameResponder::IsBroadcast(const NamePacket& packet, const QueryArrival& arrival) const {
  if (packet.IsBroadcast()) return true;
  if (arrival.destination == Ipv4Address::LimitedBroadcast()) return true;
  for (const NetworkInterface& nic : interfaces_) {
    if (nic.broadcastCapable && !arrival.destination.IsAny() &&
        nic.broadcast == arrival.destination) {
      return true;
    }
  }
  return false;
}

Ipv4Address NameResponder::AnswerAddress(const QueryArrival& arrival) const {
  if (!arrival.localAddress.IsAny() && !arrival.localAddress.IsLoopback()) {
    for (const NetworkInterface& nic : interfaces_) {
      if (nic.address == arrival.localAddress) return nic.address;
    }
    return Ipv4Address::Any();  // an interface we do not serve
  }
  // Asked over the loopback, or the arrival interface is unknown: the served interface on
  // the asker's subnet, else the first served one.
  for (const NetworkInterface& nic : interfaces_) {
    if (nic.Contains(arrival.source.address)) return nic.address;
  }
  if (!interfaces_.empty()) return interfaces_.front().address;
  if (arrival.localAddress.IsLoopback()) return arrival.localAddress;
  return Ipv4Address::Any();
}

ResponderAction NameResponder::Count(ResponderAction action) {
  switch (action.verdict) {
    case ResponderVerdict::kPositive:
      ++counters_.positive;
      break;
    case ResponderVerdict::kNegative:
      ++counters_.negative;
      break;
    case ResponderVerdict::kNodeStatus:
      ++counters_.nodeStatus;
      break;
    case ResponderVerdict::kNotOurs:
      ++counters_.notOurs;
      break;
    case ResponderVerdict::kNotOurInterface:
      ++counters_.notOurInterface;
      break;
    case ResponderVerdict::kOffSubnet:
      ++counters_.offSubnet;
      break;
    case ResponderVerdict::kDefended:
      ++counters_.defended;
      break;
    case ResponderVerdict::kNotAQuery:
      ++counters_.notAQuery;
      break;
    case ResponderVerdict::kMalformed:
      ++counters_.malformed;
      break;
  }
  return action;
}

ResponderAction NameResponder::Handle(std::span<const uint8_t> bytes, const QueryArrival& arrival) {
  ResponderAction action;
  action.to = arrival.source;
  std::optional<NamePacket> packet = ParseNamePacket(bytes);
  if (!packet || arrival.source.port == 0 || arrival.source.address.IsAny()) {
    action.verdict = ResponderVerdict::kMalformed;
    return Count(std::move(action));
  }
  Ipv4Address address = AnswerAddress(arrival);
  if (address.IsAny()) {
    action.verdict = ResponderVerdict::kNotOurInterface;
    return Count(std::move(action));
  }
  if (!OnOurSubnets(arrival.source.address)) {
    action.verdict = ResponderVerdict::kOffSubnet;
    return Count(std::move(action));
  }
  if (!packet->IsResponse() && packet->Opcode() == kNsOpcodeRegistration) {
    return Count(DefendName(*packet, std::move(action)));
  }
  NamePacketKind kind = ClassifyNamePacket(*packet);
  if (kind != NamePacketKind::NameQueryRequest && kind != NamePacketKind::NodeStatusRequest) {
    action.verdict = ResponderVerdict::kNotAQuery;
    return Count(std::move(action));
  }
  const NsQuestion& question = packet->questions.front();
  bool broadcast = IsBroadcast(*packet, arrival);
  const OwnName* own = FindOwn(question.name);

  if (kind == NamePacketKind::NameQueryRequest) {
    if (own != nullptr) {
      NbAddressEntry entry{static_cast<uint16_t>(ont_ | (own->group ? kNbFlagGroup : 0)), address};
      action.reply = BuildPositiveNameQueryResponse(packet->transactionId, question.name,
                                                    std::span(&entry, 1), kResponderTtl);
      action.verdict = ResponderVerdict::kPositive;
    } else if (broadcast || (packet->flags & kNsFlagRecursionDesired) != 0) {
      action.verdict = ResponderVerdict::kNotOurs;
    } else {
      action.reply = BuildNegativeNameQueryResponse(packet->transactionId, question.name);
      action.verdict = ResponderVerdict::kNegative;
    }
    return Count(std::move(action));
  }

  // Node status: only asked of one node, by its address.
  if (broadcast || (own == nullptr && !(question.name == NetbiosName::Wildcard()))) {
    action.verdict = ResponderVerdict::kNotOurs;
    return Count(std::move(action));
  }
  std::vector<NodeStatusName> names;
  for (const OwnName& n : names_) {
    names.push_back({n.name.Bytes(),
                     static_cast<uint16_t>(ont_ | kNameFlagActive | (n.group ? kNbFlagGroup : 0))});
  }
  action.reply = BuildNodeStatusResponse(packet->transactionId, question.name, names, {});
  action.verdict = ResponderVerdict::kNodeStatus;
  return Count(std::move(action));
}

}  // namespace vantrel
