#pragma once
// The [global] section of Samba's configuration file, as far as the program
// takes names from it: netbios name, workgroup, interfaces, wins server,
// server string.
//
// Read as Samba reads it: lines starting with ';' or '#' are comments; a line
// ending with a backslash continues on the next one; "[name]" starts a
// section ("global" or "globals", without case); "name = value" sets a
// parameter, the name compared without case and without blanks ("NetBIOS
// Name" is "netbiosname"), the value with surrounding white space removed; a
// later setting replaces an earlier one. Parameters before the first section
// are global. "include" is not followed. There are no comments behind values.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::linux {

inline constexpr std::string_view kDefaultSmbConfPath = "/etc/samba/smb.conf";
inline constexpr std::string_view kDefaultWorkgroup = "WORKGROUP";

class SambaConfig {
 public:
  // An empty configuration: every parameter unset.
  SambaConfig() = default;

  static SambaConfig Parse(std::string_view text);
  // A missing or unreadable file gives an empty configuration.
  static SambaConfig Load(const std::string& path);

  // A global parameter's value, or nothing when it is not set.
  std::optional<std::string> Global(std::string_view name) const;

  // "netbios name" as written; empty when unset.
  std::string NetbiosName() const;
  // "workgroup" upper-cased and cut to 15 characters; "WORKGROUP" when unset
  // or empty.
  std::string Workgroup() const;
  // "interfaces" and "wins server" as lists (see SplitSambaList).
  std::vector<std::string> Interfaces() const;
  std::vector<std::string> WinsServers() const;
  // "server string" as written; nothing when unset (Samba's own default,
  // "Samba %v", describes Samba, not this program).
  std::optional<std::string> ServerString() const;
  // "message command" as written; empty when unset.
  std::string MessageCommand() const;

 private:
  std::map<std::string, std::string> global_;  // canonical name -> value
};

// A parameter name as Samba compares it: lower case, blanks removed.
std::string CanonicalSambaName(std::string_view name);

// A Samba list: items separated by blanks, tabs, commas or semicolons; a
// double-quoted item may hold separators. Empty items are dropped.
std::vector<std::string> SplitSambaList(std::string_view text);

// A "server string" with the substitutions that make sense outside Samba:
// %h the host name, %L the NetBIOS name; %v (Samba's version) is dropped;
// any other "%x" stays as written. Surrounding blanks are removed.
std::string ExpandServerString(std::string_view text, std::string_view hostName,
                               std::string_view netbiosName);
// The file name of the capture helper, which smbd runs for every message it
// receives when smb.conf names it as the "message command".
inline constexpr std::string_view kCaptureHelperName = "vantrel-capture";

// True when a "message command" runs the capture helper: its first word, as
// the shell that smbd hands it to splits it (blanks separate words; '...'
// and "..." quote; a backslash escapes the next character outside '...'),
// is a full path whose last part is exactly "vantrel-capture". What follows
// (its arguments, usually "%f %s") does not matter.
bool RunsCaptureHelper(std::string_view messageCommand);

// Upper-cases ASCII letters and cuts to 15 characters, as NetBIOS names are.
std::string NetbiosNameForm(std::string_view name);

}  // namespace vantrel::linux
