#pragma once
// The name check over the NetBIOS name service and a TCP connection probe.
//
// FindNetBiosName(name) asks for NAME<00> (first 15 characters, upper case, blank-padded):
//   1. the static table (lmhosts);
//   2. each configured WINS server, unicast, 3 tries x 1.5 s; a negative answer ends the
//      WINS step;
//   3. a broadcast on every broadcast-capable interface in use, 3 tries x 250 ms.
// A positive answer, for a unique or a group name, means the name exists. With no usable
// interface (none up with an IPv4 address among the configured ones) or no socket, the
// check cannot be made at all: that is "reset failed", and the name counts as existing.
//
// ProbeNetworkName(name) is the connection probe: the address is the name itself when it is
// a dotted IPv4 address, else what the system resolver gives within a short time, else an
// lmhosts entry; then TCP 445, and 139 when 445 did not answer in time.
//   no address, network or host unreachable, no answer on either port  -> does not exist
//   connected, refused, any other error                                 -> exists
// A name that exists nowhere, with no WINS server, is reported within about one second in
// all (750 ms of broadcast plus the bounded resolver).
//
// ResolveMailslotTarget(name) gives where a mailslot write goes: the NetBIOS answer for
// NAME<00> (its first address; group or unique), else a dotted address or the system
// resolver's first address (unique). It reuses the answers of a check of the same name made
// within the last few seconds, so that one send costs one lookup.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "transport/Identity.h"
#include "transport/NameCheck.h"
#include "transport/NameService.h"

namespace vantrel {

inline constexpr uint16_t kNameServiceUdpPort = 137;

struct NameCheckTimings {
  int broadcastTries = 3;
  std::chrono::milliseconds broadcastWait{250};
  int winsTries = 3;
  std::chrono::milliseconds winsWait{1500};
  std::chrono::milliseconds connectTimeout{300};
  uint16_t nameServicePort = kNameServiceUdpPort;  // tests use another port
  std::vector<uint16_t> probePorts = {445, 139};
};

enum class NameLookupStatus {
  kFound,        // a positive answer (or an lmhosts entry)
  kNotFound,     // asked, and nobody answered positively
  kResetFailed,  // could not ask: no usable interface or no socket
};

enum class NameSource { kNone, kLmhosts, kWins, kBroadcast };

// What one NetBIOS lookup found: enough for a sender to choose a direct datagram to the
// address (unique name) or a group datagram to the subnet broadcasts (group name).
struct NameResolution {
  NameLookupStatus status = NameLookupStatus::kNotFound;
  NameSource source = NameSource::kNone;
  Ipv4Address address;  // the first address of the answer
  bool group = false;
  std::vector<NbAddressEntry> entries;  // every entry of the answer

  bool Found() const { return status == NameLookupStatus::kFound; }
};

// Resolves a host name with the system resolver within the timeout; empty when it gives
// nothing in time.
using BoundedHostResolver =
    std::function<std::vector<Ipv4Address>(std::string_view name, std::chrono::milliseconds)>;

// The answers of the last check, kept for ResolveMailslotTarget.
struct RememberedNameAnswers {
  std::string name;  // as asked, upper-cased
  std::chrono::steady_clock::time_point when;
  bool haveNetbios = false;
  NameResolution netbios;
  bool haveProbe = false;
  std::vector<Ipv4Address> probeAddresses;
};

class NameCheckImpl : public INameCheck {
 public:
  // network must outlive the check. Without a resolver, network.ResolveHostName is used
  // (unbounded); platform/linux/TcpHostResolver gives a bounded one.
  NameCheckImpl(Identity identity, INetwork& network, NameCheckTimings timings = {},
                BoundedHostResolver resolver = {},
                std::chrono::milliseconds resolveTimeout = std::chrono::milliseconds(250));

  // Non-zero when the name exists for NetBIOS or NetBIOS cannot be asked; 0 when not found.
  int FindNetBiosName(std::string_view name) override;
  // 1 when the name exists for the connection probe, 0 when it does not.
  int ProbeNetworkName(std::string_view name) override;
  std::optional<MailslotTarget> ResolveMailslotTarget(std::string_view name) override;

  // The lookup behind FindNetBiosName, for any suffix.
  NameResolution ResolveNetbiosName(std::string_view name, uint8_t suffix = kSuffixWorkstation);

  const Identity& identity() const { return identity_; }

 private:
  // Sends the query to each target and waits for a positive answer; tries x wait.
  NameResolution Ask(IUdpSocket& socket, const NetbiosName& name,
                     const std::vector<Ipv4Address>& targets, bool broadcast, int tries,
                     std::chrono::milliseconds wait, bool* negative);
  uint16_t NextTransactionId();
  // The addresses the probe uses for a name: literal, bounded resolver, lmhosts.
  std::vector<Ipv4Address> ProbeAddresses(std::string_view name);

  using Remembered = RememberedNameAnswers;
  Remembered* Recall(std::string_view name);
  Remembered& Remember(std::string_view name);

  Identity identity_;
  INetwork& network_;
  NameCheckTimings timings_;
  BoundedHostResolver resolver_;
  std::chrono::milliseconds resolveTimeout_;
  std::mt19937 random_;
  std::optional<Remembered> last_;
};

// How long a check's answers serve ResolveMailslotTarget.
inline constexpr std::chrono::seconds kRememberedAnswerLife{5};

}  // namespace vantrel
