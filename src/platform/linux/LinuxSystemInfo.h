#pragma once
// System information on Linux: the computer name from Samba's configuration
// or the host name, the language and code page from the locale, the wall
// clock, the running program's path.
//
// The platform family: Linux has an operating-system messenger service only
// where Samba runs, and smbd hands each message it receives to its smb.conf
// "message command". So Linux reports the NT family when that command runs
// the program's capture helper (vantrel-capture), and the 95/98 family
// otherwise.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemInfo.h"
#include "platform/linux/SambaConfig.h"

namespace vantrel::linux {

// Where the system information comes from; tests replace any of them.
struct SystemSources {
  std::string smbConfPath = std::string(kDefaultSmbConfPath);
  // The host name; empty function: gethostname().
  std::function<std::string()> hostName;
  // Environment lookup; empty function: getenv(). Nothing for an unset variable.
  std::function<std::optional<std::string>(const char* name)> environment;
  // The link that names the running program.
  std::string selfExeLink = "/proc/self/exe";
};

class LinuxSystemInfo : public ISystemInfo {
 public:
  // Reads Samba's configuration, the host name and the locale once, here.
  // Without a clock the wall clock is used.
  explicit LinuxSystemInfo(SystemSources sources = {}, IClock* clock = nullptr);
  ~LinuxSystemInfo() override;

  std::string ComputerName() override;
  uint32_t PlatformId() override;
  uint16_t DefaultLanguageId() override;
  uint32_t AnsiCodePage() override;
  std::string LocalTimeText() override;
  std::string ModuleFileName() override;
  // Records the command line and reports success (33); nothing is run: the
  // beep-service commands have no Linux counterpart, and Samba's "net" tool
  // must not be started with them.
  uint32_t RunCommand(std::string_view commandLine) override;
  // Calls the beep handler (the GUI sets it to the application's beep).
  void Beep() override;

  void SetBeepHandler(std::function<void()> handler);
  std::vector<std::string> RecordedCommands() const;
  // The Samba configuration read at construction (workgroup, WINS, interfaces).
  const SambaConfig& Samba() const { return samba_; }
  std::string Workgroup() const { return samba_.Workgroup(); }
  // The comment this computer announces itself with: smb.conf's "server
  // string" with %h and %L filled in (UTF-8, as smb.conf is written); empty
  // when it is unset.
  std::string ServerComment() const;
  // The locale name the language was taken from ("C" when none is set).
  const std::string& LocaleName() const { return locale_; }

 private:
  SystemSources sources_;
  std::unique_ptr<IClock> ownClock_;
  IClock* clock_;
  SambaConfig samba_;
  std::string computerName_;
  std::string hostName_;
  std::string locale_;
  uint16_t languageId_;
  uint32_t codePage_;
  mutable std::mutex mutex_;  // guards commands_ and beep_
  std::vector<std::string> commands_;
  std::function<void()> beep_;
};

// The platform identifier a Samba configuration gives: NT when its "message
// command" runs the capture helper, else 95/98.
uint32_t PlatformIdFor(const SambaConfig& samba);

// The computer name: the NetBIOS name when set, else the host name's first
// label; upper-cased and cut to 15 characters; "LOCALHOST" when both are empty.
std::string ComputerNameFrom(std::string_view netbiosName, std::string_view hostName);

// The locale in effect for messages: LC_ALL, LC_MESSAGES, LANG, the first
// that is set and not empty; "C" otherwise.
std::string LocaleFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& environment);

// The Windows language identifier of a locale name such as "de_DE.UTF-8",
// "sr_RS@latin" or "ja": by language and territory, then by language alone;
// 1033 for C, POSIX and unknown languages.
uint16_t LanguageIdFromLocale(std::string_view locale);

// The ANSI code page Windows assigns to a language identifier (1252 for
// Western languages and for those without an ANSI code page).
uint32_t AnsiCodePageForLanguage(uint16_t languageId);

}  // namespace vantrel::linux
