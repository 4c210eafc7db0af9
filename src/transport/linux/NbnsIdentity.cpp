#include "transport/linux/NbnsIdentity.h"

namespace vantrel::linux {

std::string LmhostsPathFor(const std::string& smbConfPath) {
  size_t slash = smbConfPath.rfind('/');
  if (slash == std::string::npos) return "lmhosts";
  return smbConfPath.substr(0, slash + 1) + "lmhosts";
}

Identity LoadIdentity(LinuxSystemInfo& system, const std::string& smbConfPath) {
  const SambaConfig& samba = system.Samba();
  return MakeIdentity(system.ComputerName(), system.Workgroup(), samba.Interfaces(),
                      samba.WinsServers(), LmhostsPathFor(smbConfPath));
}

Identity LoadIdentity(const std::string& smbConfPath) {
  SystemSources sources;
  sources.smbConfPath = smbConfPath;
  LinuxSystemInfo system(std::move(sources));
  return LoadIdentity(system, smbConfPath);
}

}  // namespace vantrel::linux
