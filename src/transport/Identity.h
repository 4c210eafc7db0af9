#pragma once
// Who this computer is on the NetBIOS network: its computer name, its workgroup, the
// interfaces it uses, its WINS servers and the static name table.
//
// On Linux these come from Samba's configuration ("netbios name", "workgroup",
// "interfaces", "wins server"), with the host name's first label as the computer name
// when "netbios name" is unset, "WORKGROUP" as the workgroup, and the lmhosts file beside
// smb.conf (platform/linux/NbnsIdentity builds it).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "transport/NetbiosName.h"

namespace vantrel {

inline constexpr std::string_view kDefaultLmhostsPath = "/etc/samba/lmhosts";

struct Identity {
  std::string computerName;  // NetBIOS form: upper case, 1 to 15 characters
  std::string workgroup;     // NetBIOS form
  // smb.conf "interfaces" items: names ("eth0"), name patterns ("eth*", "en?1"), addresses
  // ("198.18.0.11") and networks ("198.18.0.0/24", "198.18.0.0/255.255.255.0"); anything
  // after ';' is ignored. Empty: every interface that is up and is not a loopback.
  std::vector<std::string> interfaces;
  std::vector<Ipv4Address> winsServers;  // in the configured order
  size_t unusableWinsServers = 0;        // items that were not IPv4 addresses (not used)
  std::string lmhostsPath = std::string(kDefaultLmhostsPath);

  // COMPUTER<suffix>, unique.
  NetbiosName ComputerNetbiosName(uint8_t suffix) const;
  // WORKGROUP<00>, a group name.
  NetbiosName WorkgroupNetbiosName() const;
};

// Builds an identity from configuration values: names are put into NetBIOS form (upper
// case, cut to 15 characters); an empty computer name becomes "LOCALHOST" and an empty
// workgroup "WORKGROUP"; WINS items are IPv4 addresses, optionally behind a "tag:" prefix
// as Samba allows; other items are counted in unusableWinsServers and left out.
Identity MakeIdentity(std::string_view computerName, std::string_view workgroup,
                      std::vector<std::string> interfaces,
                      const std::vector<std::string>& winsServers,
                      std::string lmhostsPath = std::string(kDefaultLmhostsPath));

// True when one smb.conf "interfaces" item selects this interface address.
bool InterfaceMatches(const NetworkInterface& nic, std::string_view pattern);

// The interface addresses the identity uses: up, with an address, and selected by one of
// the patterns; with no patterns, every interface that is up and not a loopback. Order as
// in `all`.
std::vector<NetworkInterface> SelectInterfaces(const std::vector<NetworkInterface>& all,
                                               const std::vector<std::string>& patterns);

}  // namespace vantrel
