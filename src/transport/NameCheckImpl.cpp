#include "transport/NameCheckImpl.h"

#include <algorithm>

#include "platform/AsciiCase.h"
#include "transport/Lmhosts.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

// The name as asked, compared as the name service compares (upper case, 15 characters).
bool SameName(const NetbiosName& answered, const NetbiosName& asked) {
  NetbiosName a = NetbiosName::FromName(answered.Name(), answered.Suffix());
  return a.SetScope(answered.Scope()) && a == asked;
}

}  // namespace

NameCheckImpl::NameCheckImpl(Identity identity, INetwork& network, NameCheckTimings timings,
                             BoundedHostResolver resolver,
                             std::chrono::milliseconds resolveTimeout)
    : identity_(std::move(identity)),
      network_(network),
      timings_(std::move(timings)),
      resolver_(std::move(resolver)),
      resolveTimeout_(resolveTimeout),
      random_(std::random_device{}()) {}

uint16_t NameCheckImpl::NextTransactionId() {
  return static_cast<uint16_t>(std::uniform_int_distribution<unsigned>(1, 0xFFFF)(random_));
}

NameResolution NameCheckImpl::Ask(IUdpSocket& socket, const NetbiosName& name,
                                  const std::vector<Ipv4Address>& targets, bool broadcast,
                                  int tries, std::chrono::milliseconds wait, bool* negative) {
  NameResolution result;
  const uint16_t id = NextTransactionId();
  const std::vector<uint8_t> query = BuildNameQueryRequest(id, name, broadcast);
  std::vector<uint8_t> buffer(1500);
  for (int attempt = 0; attempt < tries; ++attempt) {
    for (Ipv4Address target : targets) socket.SendTo({target, timings_.nameServicePort}, query);
    const auto deadline = Clock::now() + wait;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || !socket.WaitReadable(left)) break;
      SocketAddress from;
      while (auto n = socket.ReceiveFrom(buffer, &from)) {
        if (*n > buffer.size()) continue;  // longer than any name service packet
        auto packet = ParseNamePacket(std::span<const uint8_t>(buffer.data(), *n));
        if (!packet || packet->transactionId != id || !packet->IsResponse()) continue;
        if (!broadcast && std::find(targets.begin(), targets.end(), from.address) ==
                              targets.end()) {
          continue;  // a unicast question is answered by the server asked
        }
        NamePacketKind kind = ClassifyNamePacket(*packet);
        if (kind == NamePacketKind::NegativeNameQueryResponse && !broadcast &&
            !packet->answers.empty() && SameName(packet->answers.front().name, name)) {
          // The server knows the name does not exist; no point asking it again.
          if (negative != nullptr) *negative = true;
          return result;
        }
        if (kind != NamePacketKind::PositiveNameQueryResponse) continue;
        const NsResourceRecord& answer = packet->answers.front();
        if (!SameName(answer.name, name)) continue;
        auto entries = ParseNbRdata(answer.rdata);
        if (!entries || entries->empty()) continue;
        result.status = NameLookupStatus::kFound;
        result.source = broadcast ? NameSource::kBroadcast : NameSource::kWins;
        result.entries = std::move(*entries);
        result.address = result.entries.front().address;
        result.group = result.entries.front().IsGroup();
        return result;
      }
    }
  }
  return result;
}

NameResolution NameCheckImpl::ResolveNetbiosName(std::string_view name, uint8_t suffix) {
  NameResolution result;
  const NetbiosName asked = NetbiosName::FromName(name, suffix);

  LmhostsTable table = ReadLmhostsFile(identity_.lmhostsPath);
  if (auto address = table.Find(name, suffix)) {
    result.status = NameLookupStatus::kFound;
    result.source = NameSource::kLmhosts;
    result.address = *address;
    result.entries.push_back({kNbOntB, *address});
    return result;
  }

  std::vector<NetworkInterface> nics = SelectInterfaces(network_.Interfaces(), identity_.interfaces);
  std::vector<Ipv4Address> broadcasts;
  for (const NetworkInterface& nic : nics) {
    if (!nic.broadcastCapable || nic.broadcast.IsAny()) continue;
    if (std::find(broadcasts.begin(), broadcasts.end(), nic.broadcast) == broadcasts.end()) {
      broadcasts.push_back(nic.broadcast);
    }
  }
  if (nics.empty() || (broadcasts.empty() && identity_.winsServers.empty())) {
    result.status = NameLookupStatus::kResetFailed;
    return result;
  }
  UdpOptions options;
  options.broadcast = true;
  UdpBindResult bound = network_.BindUdp({Ipv4Address::Any(), 0}, options);
  if (!bound.socket) {
    result.status = NameLookupStatus::kResetFailed;
    return result;
  }

  // WINS servers in order; a negative answer from one is final for the WINS step.
  for (Ipv4Address server : identity_.winsServers) {
    bool negative = false;
    result = Ask(*bound.socket, asked, {server}, false, timings_.winsTries, timings_.winsWait,
                 &negative);
    if (result.Found() || negative) break;
  }
  if (result.Found()) return result;

  if (!broadcasts.empty()) {
    result = Ask(*bound.socket, asked, broadcasts, true, timings_.broadcastTries,
                 timings_.broadcastWait, nullptr);
  }
  return result;
}

NameCheckImpl::Remembered* NameCheckImpl::Recall(std::string_view name) {
  if (!last_ || last_->name != AsciiUpper(name) ||
      Clock::now() - last_->when > kRememberedAnswerLife) {
    return nullptr;
  }
  return &*last_;
}

NameCheckImpl::Remembered& NameCheckImpl::Remember(std::string_view name) {
  if (Recall(name) == nullptr) {
    last_.emplace();
    last_->name = AsciiUpper(name);
    last_->when = Clock::now();
  }
  return *last_;
}

int NameCheckImpl::FindNetBiosName(std::string_view name) {
  NameResolution r = ResolveNetbiosName(name, kSuffixWorkstation);
  Remembered& memo = Remember(name);
  memo.haveNetbios = true;
  memo.netbios = r;
  return r.status == NameLookupStatus::kNotFound ? 0 : 1;
}

std::optional<MailslotTarget> NameCheckImpl::ResolveMailslotTarget(std::string_view name) {
  if (name.empty()) return std::nullopt;
  NameResolution netbios;
  std::vector<Ipv4Address> addresses;
  bool haveAddresses = false;
  if (Remembered* memo = Recall(name)) {
    if (memo->haveNetbios) netbios = memo->netbios;
    haveAddresses = memo->haveProbe;
    addresses = memo->probeAddresses;
    if (!memo->haveNetbios && !memo->haveProbe) netbios = ResolveNetbiosName(name);
  } else {
    netbios = ResolveNetbiosName(name);
  }
  if (netbios.Found() && !netbios.address.IsAny()) {
    return MailslotTarget{netbios.address, netbios.group};
  }
  if (!haveAddresses) addresses = ProbeAddresses(name);
  if (addresses.empty()) return std::nullopt;
  return MailslotTarget{addresses.front(), false};
}

std::vector<Ipv4Address> NameCheckImpl::ProbeAddresses(std::string_view name) {
  std::vector<Ipv4Address> addresses;
  if (auto literal = Ipv4Address::Parse(name)) {
    addresses.push_back(*literal);
  } else {
    addresses = resolver_ ? resolver_(name, resolveTimeout_) : network_.ResolveHostName(name);
  }
  if (addresses.empty()) {
    LmhostsTable table = ReadLmhostsFile(identity_.lmhostsPath);
    if (auto a = table.Find(name, 0x20)) {
      addresses.push_back(*a);
    } else if (auto b = table.Find(name, kSuffixWorkstation)) {
      addresses.push_back(*b);
    }
  }
  return addresses;
}

int NameCheckImpl::ProbeNetworkName(std::string_view name) {
  if (name.empty()) return 0;
  std::vector<Ipv4Address> addresses = ProbeAddresses(name);
  Remembered& memo = Remember(name);
  memo.haveProbe = true;
  memo.probeAddresses = addresses;
  if (addresses.empty()) return 0;  // bad network name
  for (uint16_t port : timings_.probePorts) {
    switch (network_.TcpConnect({addresses.front(), port}, timings_.connectTimeout)) {
      case TcpConnectResult::Connected:
      case TcpConnectResult::Refused:
      case TcpConnectResult::Other:
        return 1;
      case TcpConnectResult::Unreachable:
        return 0;  // no network / bad network path
      case TcpConnectResult::TimedOut:
        break;  // try the next port
    }
  }
  return 0;  // nothing answered: bad network path
}

}  // namespace vantrel
