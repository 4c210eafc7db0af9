#include "receive/Options.h"

#include "receive/RegAccess.h"

namespace vantrel {

OptionFlags LoadOptions(const Profile& profile) {
  OptionFlags flags;
  flags.autoRespond = profile.GetInt(kOptionSection, kOptAutoRespond, kOptionDefault) != 0;
  flags.showResponse = profile.GetInt(kOptionSection, kOptShowResponse, kOptionDefault) != 0;
  flags.autoPopup = profile.GetInt(kOptionSection, kOptAutoPopup, kOptionDefault) != 0;
  flags.autoBeep = false;
  return flags;
}

bool WriteOption(Profile& profile, std::string_view entry, bool flag) {
  return profile.WriteInt(kOptionSection, entry, flag ? 1 : 0);
}

bool ReadAutostartFlag(IRegistry& reg) {
  CRegAccess run(reg, RootKey::LocalMachine);
  run.OpenKey(RootKey::LocalMachine, kRunKeyPath);
  std::string program;
  // Only a value that fits the 200-byte buffer counts; a longer one reads as
  // absent, and a toggle then writes the value afresh.
  bool flag = run.ReadString(kAutostartValue, program) == 1;
  run.CloseKey();
  return flag;
}

bool ToggleAutostart(IRegistry& reg, ISystemInfo& system, bool& flag) {
  CRegAccess run(reg, RootKey::LocalMachine);
  run.OpenKey(RootKey::LocalMachine, kRunKeyPath);  // a failure shows in the calls below
  int changed = flag ? run.DeleteValue(kAutostartValue)
                     : run.WriteString(kAutostartValue, system.ModuleFileName());
  run.CloseKey();
  flag = !flag;
  return changed == 1;
}

}  // namespace vantrel
