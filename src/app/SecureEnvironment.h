#pragma once
// The environment of a privileged start. Installed from the package, Vantrel
// carries the capability to bind the NetBIOS ports below 1024; the loader then
// runs it in secure mode (AT_SECURE) and drops the variables the C library
// knows to be dangerous, but the GUI libraries read many more that name code
// to load: plug-in folders (QT_PLUGIN_PATH), GTK and GIO modules, graphics
// drivers. Any local user could make the program load their code with its
// capability. So a privileged start keeps only the variables a desktop program
// needs to find its display, session, settings and language, and drops the
// rest, as sudo resets the environment. An ordinary start changes nothing.

#include <string>
#include <vector>

namespace vantrel::app {

// Whether a variable (its name) may stay in a privileged start.
bool IsSafeVariable(const std::string& name);

// The entries ("NAME=value") of env that may stay.
std::vector<std::string> SafeEnvironment(const std::vector<std::string>& env);

// True when the process runs in secure mode (file capabilities, setuid).
bool StartedPrivileged();

// In a privileged start, replaces the environment with SafeEnvironment of it;
// otherwise does nothing. Call first thing in main, before any library reads
// the environment. Returns whether it changed anything.
bool KeepOnlySafeEnvironment();

}  // namespace vantrel::app
