#pragma once
// The computer's NetBIOS identity on Linux: computer name and workgroup as the system
// information reports them, "interfaces" and "wins server" from Samba's configuration,
// and the lmhosts file in the same folder as smb.conf.

#include <string>

#include "platform/linux/LinuxSystemInfo.h"
#include "transport/Identity.h"

namespace vantrel::linux {

Identity LoadIdentity(LinuxSystemInfo& system, const std::string& smbConfPath);

// Reads smb.conf at smbConfPath and the real host name.
Identity LoadIdentity(const std::string& smbConfPath = std::string(kDefaultSmbConfPath));

// The lmhosts file that belongs to a configuration file: "lmhosts" in its folder.
std::string LmhostsPathFor(const std::string& smbConfPath);

}  // namespace vantrel::linux
