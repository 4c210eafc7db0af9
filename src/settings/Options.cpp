#include "settings/Options.h"

#include <optional>
#include <string>

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

bool ReadAutostartFlag(IAutostart& autostart) {
  const std::optional<std::string> program = autostart.Program();
  return program && program->size() < kAutostartProgramBuffer;
}

bool ToggleAutostart(IAutostart& autostart, ISystemInfo& system, bool& flag) {
  const bool changed = autostart.Switch(!flag, system.ModuleFileName());
  flag = !flag;
  return changed;
}

}  // namespace vantrel
