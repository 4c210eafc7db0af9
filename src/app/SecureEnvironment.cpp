#include "app/SecureEnvironment.h"

#include <sys/auxv.h>

#include <cstdlib>
#include <string_view>

extern char** environ;

namespace vantrel::app {
namespace {

// Exact names that may stay: the display and session, the user's folders,
// language and time, and the few Qt settings that only choose among what is
// installed (no paths).
constexpr std::string_view kSafeNames[] = {
    "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME",
    "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CURRENT_DESKTOP",
    "XDG_SESSION_TYPE", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "HOME", "USER", "LOGNAME",
    "SHELL", "PATH", "LANG", "LANGUAGE", "TZ", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
    "QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
    "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI"};

}  // namespace

bool IsSafeVariable(const std::string& name) {
  if (name.rfind("LC_", 0) == 0) return true;  // the locale categories
  for (std::string_view safe : kSafeNames) {
    if (name == safe) return true;
  }
  return false;
}

std::vector<std::string> SafeEnvironment(const std::vector<std::string>& env) {
  std::vector<std::string> kept;
  for (const std::string& entry : env) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    if (IsSafeVariable(entry.substr(0, eq))) kept.push_back(entry);
  }
  return kept;
}

bool StartedPrivileged() { return getauxval(AT_SECURE) != 0; }

bool KeepOnlySafeEnvironment() {
  if (!StartedPrivileged()) return false;
  std::vector<std::string> all;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) all.emplace_back(*e);
  const std::vector<std::string> kept = SafeEnvironment(all);
  if (kept.size() == all.size()) return false;
  clearenv();
  for (const std::string& entry : kept) {
    const size_t eq = entry.find('=');
    setenv(entry.substr(0, eq).c_str(), entry.c_str() + eq + 1, 1);
  }
  return true;
}

}  // namespace vantrel::app
