#pragma once
// The network directory of the Linux program: the browse lists of the master
// browsers (through an ISmbBrowser, libsmbclient in production) merged with
// the computers that announce themselves (IAnnouncementSource) and with this
// computer itself.
//
// What CNetEnum walks: the top of the network holds one provider, "SMB"; the
// provider holds the workgroups and domains; each of them holds its
// computers ("\\NAME", with their comments); computers are not opened. The
// server list of a domain is the same list of computers.
//
// Merging. Workgroups come in the order the master browsers give them, then
// those only known from announcements (and this computer's), sorted without
// case. A workgroup's computers come in the browse list's order, then those
// only known from announcements (and this computer, in its workgroup),
// sorted without case, each with its announced comment. Names compare
// without case: nothing is listed twice, and the browse list's entry wins.
// Everything handed out is in the system code page.
//
// Time limit. A session (one enumeration) starts at its first call: it asks
// the announcing computers to announce themselves (RequestAnnouncements) and
// starts a job thread that asks the master browsers, the workgroups at once
// and each workgroup's computers when the walk opens it. The session waits
// for the job only until its deadline (options.budget after its start);
// whatever has not come by then is left out, and the announced computers
// are merged in all the same. A job that libsmbclient holds up beyond the
// deadline is abandoned: its thread owns its browser and its results and
// touches nothing else, so it finishes (or waits for libsmbclient's lock
// only until the session's deadline) and ends alone; its results are
// dropped. Only one job uses libsmbclient at a time.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "directory/AnnouncedHost.h"
#include "directory/NetEnum.h"
#include "directory/linux/SmbBrowser.h"
#include "platform/CodePage.h"

namespace vantrel::linux {

struct SmbBrowseOptions {
  // The longest a session waits for the master browsers, from its start.
  std::chrono::milliseconds budget{2500};
  // libsmbclient's time-out for a connection and for each answer.
  int smbTimeoutMs = 1000;
  // The announcements are read no earlier than this after the start of a
  // session (within the budget): time for a listener that has only just
  // started to hear them.
  std::chrono::milliseconds announcementSettle{0};
  // The system code page that the names are handed out in.
  uint32_t codePage = kWesternCodePage;
  // This computer (name and workgroup in the system code page); listed in
  // its workgroup whatever the master browsers say. Empty name: none.
  AnnouncedHost localHost;
};

// How jobs get a browser, and the lock they hold while they use it.
struct SmbBrowserBackend {
  std::function<std::unique_ptr<ISmbBrowser>(int timeoutMs)> make;
  std::shared_ptr<std::timed_mutex> gate;
};

// libsmbclient, with the process's one lock.
SmbBrowserBackend LibSmbBackend();

class SmbNetworkDirectory final : public INetworkDirectory {
 public:
  // announcements may be null (no announced computers).
  SmbNetworkDirectory(ICodePage& codePage, IAnnouncementSource* announcements,
                      SmbBrowseOptions options, SmbBrowserBackend backend = LibSmbBackend());

  std::unique_ptr<INetworkSession> OpenSession() override;

  // Job threads of this process still running (abandoned ones included).
  static int RunningJobs();

 private:
  ICodePage& codePage_;
  IAnnouncementSource* announcements_;
  SmbBrowseOptions options_;
  SmbBrowserBackend backend_;
};

}  // namespace vantrel::linux
