#pragma once
// Per-user folders as the XDG base directory rules place them.

#include <sys/types.h>

#include <string>

namespace vantrel {

// ${XDG_CONFIG_HOME:-~/.config}: XDG_CONFIG_HOME when it is an absolute path,
// else .config in the home directory ($HOME, else the password database); empty
// when no home directory is known.
std::string ConfigHomeDir();

// mkdir -p: makes every missing folder of the absolute path `dir` with `mode`
// (less the umask); true when `dir` is a folder afterwards (errno set otherwise).
bool MakeDirs(const std::string& dir, mode_t mode);

}  // namespace vantrel
