#include "directory/linux/SmbNetworkDirectory.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vantrel::linux {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kProvider[] = "SMB";
// What one container lists at most, and the longest text kept: whatever the
// master browsers and the announcements say, memory stays bounded.
constexpr size_t kMaxEntriesPerContainer = 4096;
constexpr size_t kMaxAnnouncedHosts = 8192;
constexpr size_t kMaxText = 255;

std::atomic<int> g_runningJobs{0};

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::string Bounded(std::string text) {
  if (text.size() > kMaxText) text.resize(kMaxText);
  return text;
}

// What a job and its session share. The job thread holds it after the
// session is gone.
struct JobState {
  std::mutex m;
  std::condition_variable cv;
  Clock::time_point deadline;
  bool closed = false;  // the session is gone
  bool ended = false;   // the job answers nothing more
  bool workgroupsDone = false;
  std::optional<std::vector<SmbEntry>> workgroups;
  std::deque<std::string> requests;  // workgroups (UTF-8) whose servers are wanted
  std::set<std::string> requested;   // folded
  std::map<std::string, std::optional<std::vector<SmbEntry>>> servers;  // folded: done
};

void RunJob(std::shared_ptr<JobState> st, SmbBrowserBackend backend, int timeoutMs) {
  // A master browser that drops the connection while libsmbclient writes
  // gives this thread EPIPE, not a SIGPIPE that would end the process.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  // Counted up by the session that started it; counted down once the
  // browser is gone too.
  struct Count {
    ~Count() { --g_runningJobs; }
  } count;
  auto finishWorkgroups = [&](std::optional<std::vector<SmbEntry>> found) {
    {
      std::lock_guard<std::mutex> lock(st->m);
      st->workgroups = std::move(found);
      st->workgroupsDone = true;
    }
    st->cv.notify_all();
  };
  // One thread at a time in libsmbclient: the gate is held for each call
  // (and for making and freeing the browser), not while the job waits for
  // the walk. A job held up there keeps a later one out only until that
  // one's deadline.
  std::timed_mutex& gateMutex = *backend.gate;
  auto underGate = [&](auto&& call) {
    std::unique_lock<std::timed_mutex> gate(gateMutex, std::defer_lock);
    if (!gate.try_lock_until(st->deadline)) return false;
    call();
    return true;
  };
  std::unique_ptr<ISmbBrowser> browser;
  struct FreeUnderGate {
    std::timed_mutex& gate;
    std::unique_ptr<ISmbBrowser>& browser;
    ~FreeUnderGate() {
      if (!browser) return;
      std::lock_guard<std::timed_mutex> lock(gate);
      browser.reset();
    }
  } freeBrowser{gateMutex, browser};
  // Before the browser is freed (which may wait for the gate): the session
  // stops waiting for this job as soon as it returns.
  struct MarkEnded {
    JobState& st;
    ~MarkEnded() {
      {
        std::lock_guard<std::mutex> lock(st.m);
        st.ended = true;
      }
      st.cv.notify_all();
    }
  } markEnded{*st};

  std::optional<std::vector<SmbEntry>> workgroups;
  underGate([&] {
    {
      std::lock_guard<std::mutex> lock(st->m);
      if (st->closed) return;
    }
    if (backend.make) browser = backend.make(timeoutMs);
    if (browser) workgroups = browser->ListWorkgroups();
  });
  finishWorkgroups(std::move(workgroups));
  while (browser) {
    std::string workgroup;
    {
      std::unique_lock<std::mutex> lock(st->m);
      st->cv.wait_until(lock, st->deadline, [&] { return st->closed || !st->requests.empty(); });
      if (st->closed || st->requests.empty() || Clock::now() >= st->deadline) return;
      workgroup = std::move(st->requests.front());
      st->requests.pop_front();
    }
    std::optional<std::vector<SmbEntry>> found;
    if (!underGate([&] { found = browser->ListServers(workgroup); })) return;
    {
      std::lock_guard<std::mutex> lock(st->m);
      st->servers[Fold(workgroup)] = std::move(found);
    }
    st->cv.notify_all();
  }
}

class ListEnumeration final : public IResourceEnumeration {
 public:
  explicit ListEnumeration(std::vector<NetResource> items) : items_(std::move(items)) {}
  ResourceBatch ReadBatch(size_t bufferBytes) override {
    ResourceBatch batch;
    size_t used = 0;
    while (next_ < items_.size()) {
      const size_t bytes = NetResourceBytes(items_[next_]);
      if (bytes > bufferBytes - used) break;
      used += bytes;
      batch.entries.push_back(items_[next_++]);
    }
    if (!batch.entries.empty()) {
      batch.status = BatchStatus::kOk;
    } else {
      // Nothing left, or an entry larger than the whole buffer.
      batch.status = next_ < items_.size() ? BatchStatus::kError : BatchStatus::kNoMoreItems;
    }
    return batch;
  }

 private:
  std::vector<NetResource> items_;
  size_t next_ = 0;
};

struct Computer {
  std::string name;
  std::string comment;
};

class SmbSession final : public INetworkSession {
 public:
  SmbSession(ICodePage& codePage, IAnnouncementSource* announcements, SmbBrowseOptions options,
             SmbBrowserBackend backend)
      : codePage_(codePage),
        announcements_(announcements),
        options_(std::move(options)),
        backend_(std::move(backend)),
        st_(std::make_shared<JobState>()) {}

  ~SmbSession() override {
    {
      std::lock_guard<std::mutex> lock(st_->m);
      st_->closed = true;
    }
    st_->cv.notify_all();
  }

  std::unique_ptr<IResourceEnumeration> OpenEnum(const NetResource* container) override {
    Start();
    std::vector<NetResource> items;
    if (!container) {
      NetResource provider;
      provider.display = ResourceDisplay::kNetwork;
      provider.usage = kResourceUsageContainer;
      provider.provider = kProvider;
      items.push_back(std::move(provider));
    } else if (container->display == ResourceDisplay::kNetwork &&
               container->provider == kProvider) {
      for (std::string& workgroup : Workgroups()) {
        NetResource r;
        r.display = ResourceDisplay::kDomain;
        r.usage = kResourceUsageContainer;
        r.remoteName = std::move(workgroup);
        r.provider = kProvider;
        items.push_back(std::move(r));
      }
    } else if (container->display == ResourceDisplay::kDomain && container->remoteName) {
      for (Computer& computer : Computers(*container->remoteName)) {
        NetResource r;
        r.display = ResourceDisplay::kServer;
        r.usage = kResourceUsageContainer;
        r.remoteName = "\\\\" + computer.name;
        if (!computer.comment.empty()) r.comment = std::move(computer.comment);
        r.provider = kProvider;
        items.push_back(std::move(r));
      }
    } else {
      return nullptr;  // computers and anything else are not opened
    }
    return std::make_unique<ListEnumeration>(std::move(items));
  }

  // The master browser of the domain is asked; a named server is not used.
  ServerListResult ServerList(std::string_view, std::string_view domain,
                              size_t preferredMaxBytes) override {
    Start();
    ServerListResult result;
    result.available = true;
    std::vector<ServerInfo> servers;
    for (Computer& computer : Computers(std::string(domain))) {
      // The server list gives every computer a comment, empty or not.
      servers.push_back({std::move(computer.name), std::move(computer.comment)});
    }
    result.servers = CutToPreferredSize(std::move(servers), preferredMaxBytes);
    return result;
  }

 private:
  void Start() {
    if (started_) return;
    started_ = true;
    start_ = Clock::now();
    {
      std::lock_guard<std::mutex> lock(st_->m);
      st_->deadline = start_ + options_.budget;
    }
    if (announcements_) announcements_->RequestAnnouncements();
    ++g_runningJobs;
    try {
      std::thread(RunJob, st_, backend_, options_.smbTimeoutMs).detach();
    } catch (const std::system_error&) {
      --g_runningJobs;
      std::lock_guard<std::mutex> lock(st_->m);
      st_->ended = true;  // no thread: the announcements alone
    }
  }

  std::string ToCodePage(const std::string& utf8) {
    return Bounded(codePage_.FromUtf8(options_.codePage, utf8).bytes);
  }

  std::vector<SmbEntry> BrowsedWorkgroups() {
    std::unique_lock<std::mutex> lock(st_->m);
    st_->cv.wait_until(lock, st_->deadline, [&] { return st_->workgroupsDone || st_->ended; });
    if (!st_->workgroups) return {};
    return *st_->workgroups;
  }

  std::vector<SmbEntry> BrowsedServers(const std::string& workgroupUtf8) {
    const std::string key = Fold(workgroupUtf8);
    std::unique_lock<std::mutex> lock(st_->m);
    if (st_->requested.insert(key).second) {
      st_->requests.push_back(workgroupUtf8);
      st_->cv.notify_all();
    }
    st_->cv.wait_until(lock, st_->deadline,
                       [&] { return st_->servers.count(key) != 0 || st_->ended; });
    auto it = st_->servers.find(key);
    if (it == st_->servers.end() || !it->second) return {};
    return *it->second;
  }

  // The announced computers, read once a session (after the settle time),
  // with this computer among them.
  const std::vector<AnnouncedHost>& Announced() {
    if (announced_) return *announced_;
    const Clock::time_point settle = std::min(start_ + options_.announcementSettle, Deadline());
    std::this_thread::sleep_until(settle);
    std::vector<AnnouncedHost> hosts;
    if (announcements_) hosts = announcements_->AnnouncedHosts();
    if (hosts.size() > kMaxAnnouncedHosts) hosts.resize(kMaxAnnouncedHosts);
    if (!options_.localHost.computer.empty()) hosts.push_back(options_.localHost);
    for (AnnouncedHost& host : hosts) {
      host.workgroup = Bounded(std::move(host.workgroup));
      host.computer = Bounded(std::move(host.computer));
      host.comment = Bounded(std::move(host.comment));
    }
    announced_ = std::move(hosts);
    return *announced_;
  }

  Clock::time_point Deadline() {
    std::lock_guard<std::mutex> lock(st_->m);
    return st_->deadline;
  }

  static void SortNoCase(std::vector<Computer>& list) {
    std::stable_sort(list.begin(), list.end(), [](const Computer& a, const Computer& b) {
      return CNetEnum::CompareNoCase(a.name, b.name) < 0;
    });
  }

  std::vector<std::string> Workgroups() {
    std::vector<std::string> result;
    std::set<std::string> seen;
    for (const SmbEntry& entry : BrowsedWorkgroups()) {
      std::string name = ToCodePage(entry.name);
      if (name.empty() || !seen.insert(Fold(name)).second) continue;
      utf8Workgroups_[Fold(name)] = entry.name;
      result.push_back(std::move(name));
    }
    std::vector<Computer> extra;
    for (const AnnouncedHost& host : Announced()) {
      if (host.workgroup.empty() || !seen.insert(Fold(host.workgroup)).second) continue;
      extra.push_back({host.workgroup, {}});
    }
    SortNoCase(extra);
    for (Computer& w : extra) result.push_back(std::move(w.name));
    if (result.size() > kMaxEntriesPerContainer) result.resize(kMaxEntriesPerContainer);
    return result;
  }

  std::vector<Computer> Computers(const std::string& workgroup) {
    const std::string key = Fold(workgroup);
    auto known = utf8Workgroups_.find(key);
    const std::string utf8 = known != utf8Workgroups_.end()
                                 ? known->second
                                 : codePage_.ToUtf8(options_.codePage, workgroup).utf8;
    std::vector<Computer> result;
    std::set<std::string> seen;
    for (const SmbEntry& entry : BrowsedServers(utf8)) {
      std::string name = ToCodePage(entry.name);
      if (name.empty() || !seen.insert(Fold(name)).second) continue;
      result.push_back({std::move(name), ToCodePage(entry.comment)});
    }
    std::vector<Computer> extra;
    for (const AnnouncedHost& host : Announced()) {
      if (host.computer.empty() || Fold(host.workgroup) != key) continue;
      if (!seen.insert(Fold(host.computer)).second) continue;
      extra.push_back({host.computer, host.comment});
    }
    SortNoCase(extra);
    for (Computer& c : extra) result.push_back(std::move(c));
    if (result.size() > kMaxEntriesPerContainer) result.resize(kMaxEntriesPerContainer);
    return result;
  }

  ICodePage& codePage_;
  IAnnouncementSource* announcements_;
  const SmbBrowseOptions options_;
  SmbBrowserBackend backend_;
  std::shared_ptr<JobState> st_;
  bool started_ = false;
  Clock::time_point start_;
  std::optional<std::vector<AnnouncedHost>> announced_;
  std::map<std::string, std::string> utf8Workgroups_;  // folded code-page name: as browsed
};

}  // namespace

SmbBrowserBackend LibSmbBackend() {
  static const auto gate = std::make_shared<std::timed_mutex>();
  SmbBrowserBackend backend;
  backend.make = [](int timeoutMs) -> std::unique_ptr<ISmbBrowser> {
    return std::make_unique<LibSmbBrowser>(timeoutMs);
  };
  backend.gate = gate;
  return backend;
}

SmbNetworkDirectory::SmbNetworkDirectory(ICodePage& codePage, IAnnouncementSource* announcements,
                                         SmbBrowseOptions options, SmbBrowserBackend backend)
    : codePage_(codePage),
      announcements_(announcements),
      options_(std::move(options)),
      backend_(std::move(backend)) {
  if (!backend_.gate) backend_.gate = std::make_shared<std::timed_mutex>();
  if (options_.announcementSettle > options_.budget) options_.announcementSettle = options_.budget;
}

std::unique_ptr<INetworkSession> SmbNetworkDirectory::OpenSession() {
  return std::make_unique<SmbSession>(codePage_, announcements_, options_, backend_);
}

int SmbNetworkDirectory::RunningJobs() { return g_runningJobs.load(); }

}  // namespace vantrel::linux
