#pragma once
// Browse lists from the master browsers of the network, through libsmbclient:
// the workgroups ("smb://") and the servers of one workgroup
// ("smb://WORKGROUP/"). Names and comments are UTF-8, as libsmbclient gives
// them.
//
// libsmbclient asks a browse list over SMB1 only (the RAP NetServerEnum2 call
// of the master browser). Each LibSmbBrowser has a context of its own that
// logs in without credentials (anonymous, never a password, no Kerberos, no
// credential cache) and allows NT1 for its connections. The protocol range is
// a setting of libsmbclient's loaded configuration, so it holds for every
// libsmbclient context of this process (only the browser uses libsmbclient
// here); nothing is written to smb.conf or ~/.smb, so the user's other Samba
// clients keep their own settings. libsmbclient's log goes nowhere (it would
// otherwise print on standard output).
//
// The calls block. libsmbclient's time-out bounds each wait for a connection
// or an answer, but not every step: a master browser that the name service
// lists but that cannot be reached keeps a call for about ten seconds. Callers
// that need a time limit run the browser on a thread they can abandon
// (SmbNetworkDirectory does). A browser is used by one thread at a time, and
// libsmbclient by one browser at a time (SmbNetworkDirectory's LibSmbBackend
// holds the lock for that).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::linux {

struct SmbEntry {
  std::string name;
  std::string comment;
};

class ISmbBrowser {
 public:
  virtual ~ISmbBrowser() = default;
  // The workgroups and domains the master browsers know; nullopt: none could
  // be asked.
  virtual std::optional<std::vector<SmbEntry>> ListWorkgroups() = 0;
  // The servers of one workgroup, from its master browser; nullopt: it could
  // not be asked.
  virtual std::optional<std::vector<SmbEntry>> ListServers(std::string_view workgroup) = 0;
};

class LibSmbBrowser final : public ISmbBrowser {
 public:
  // timeoutMs: libsmbclient's time-out for a connection and for each answer.
  explicit LibSmbBrowser(int timeoutMs);
  ~LibSmbBrowser() override;
  LibSmbBrowser(const LibSmbBrowser&) = delete;
  LibSmbBrowser& operator=(const LibSmbBrowser&) = delete;

  std::optional<std::vector<SmbEntry>> ListWorkgroups() override;
  std::optional<std::vector<SmbEntry>> ListServers(std::string_view workgroup) override;

 private:
  std::optional<std::vector<SmbEntry>> List(const std::string& url, unsigned int type);
  struct Context;
  std::unique_ptr<Context> context_;
};

// "smb://" followed by the workgroup, percent-encoded, and "/".
std::string WorkgroupUrl(std::string_view workgroup);

}  // namespace vantrel::linux
