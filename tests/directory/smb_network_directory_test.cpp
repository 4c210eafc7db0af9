#include "directory/linux/SmbNetworkDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "directory/NetEnum.h"
#include "platform/linux/IconvCodePage.h"

namespace vantrel::linux {
namespace {

using namespace std::chrono_literals;
using List = std::vector<std::string>;

class FakeAnnouncements : public IAnnouncementSource {
 public:
  std::vector<AnnouncedHost> hosts;
  std::atomic<int> requests{0};
  std::vector<AnnouncedHost> AnnouncedHosts() override { return hosts; }
  void RequestAnnouncements() override { ++requests; }
};

// What the fake master browsers say, shared with the browsers the jobs make.
// A blocked network holds every call until it is released.
struct FakeBrowse {
  std::mutex m;
  std::condition_variable cv;
  bool blocked = false;
  std::optional<std::vector<SmbEntry>> workgroups;
  std::map<std::string, std::vector<SmbEntry>> servers;
  std::vector<std::string> calls;
  int made = 0;

  void WaitIfBlocked() {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return !blocked; });
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(m);
      blocked = false;
    }
    cv.notify_all();
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(m);
    return calls;
  }
};

class FakeBrowser : public ISmbBrowser {
 public:
  explicit FakeBrowser(std::shared_ptr<FakeBrowse> net) : net_(std::move(net)) {}
  std::optional<std::vector<SmbEntry>> ListWorkgroups() override {
    Log("workgroups");
    net_->WaitIfBlocked();
    std::lock_guard<std::mutex> lock(net_->m);
    return net_->workgroups;
  }
  std::optional<std::vector<SmbEntry>> ListServers(std::string_view workgroup) override {
    Log("servers " + std::string(workgroup));
    net_->WaitIfBlocked();
    std::lock_guard<std::mutex> lock(net_->m);
    auto it = net_->servers.find(std::string(workgroup));
    if (it == net_->servers.end()) return std::nullopt;
    return it->second;
  }

 private:
  void Log(std::string call) {
    std::lock_guard<std::mutex> lock(net_->m);
    net_->calls.push_back(std::move(call));
  }
  std::shared_ptr<FakeBrowse> net_;
};

class SmbDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.gate = std::make_shared<std::timed_mutex>();
    backend.make = [net = net](int) -> std::unique_ptr<ISmbBrowser> {
      {
        std::lock_guard<std::mutex> lock(net->m);
        ++net->made;
      }
      return std::make_unique<FakeBrowser>(net);
    };
    options.codePage = 1252;
    options.budget = 5s;  // the fake answers at once unless it is blocked
  }
  void TearDown() override {
    net->Release();
    // Abandoned jobs end once their browser answers.
    for (int i = 0; i < 500 && SmbNetworkDirectory::RunningJobs() > 0; ++i) {
      std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(SmbNetworkDirectory::RunningJobs(), 0);
  }

  SmbNetworkDirectory Make() { return SmbNetworkDirectory(codePage, &announced, options, backend); }

  std::shared_ptr<FakeBrowse> net = std::make_shared<FakeBrowse>();
  SmbBrowserBackend backend;
  SmbBrowseOptions options;
  IconvCodePage codePage;
  FakeAnnouncements announced;
};

TEST_F(SmbDirectoryTest, BrowseListsAnnouncementsAndThisComputerMergeWithoutDuplicates) {
  net->workgroups = std::vector<SmbEntry>{{"LAB", "SAMBA"}, {"HOME", "ALICE"}};
  net->servers["LAB"] = {{"SAMBA", "Lab file server"}, {"bob", ""}};
  net->servers["HOME"] = {{"ALICE", "Front desk"}};
  announced.hosts = {{"LAB", "CARL", "Carl's"},
                     {"lab", "samba", "announced comment"},  // listed already: browse list wins
                     {"NEWWG", "ZED", ""},
                     {"HOME", "ALICE", "other"},
                     {"AAA", "", ""}};  // a workgroup without a computer name
  options.localHost = {"LAB", "PC1", ""};
  SmbNetworkDirectory directory = Make();

  EXPECT_EQ(RefreshNetworkList(directory, false),
            (List{"LAB", "\\\\bob", "\\\\CARL Carl's", "\\\\PC1", "\\\\SAMBA Lab file server",
                  "HOME", "\\\\ALICE Front desk", "AAA", "NEWWG", "\\\\ZED"}));
  EXPECT_EQ(announced.requests, 1);  // at the start of each refresh

  // The server list keeps the browse list's order, then the announced ones
  // sorted; every computer has a comment there, so an empty one leaves a blank.
  EXPECT_EQ(RefreshNetworkList(directory, true),
            (List{"LAB", "\\\\SAMBA Lab file server", "\\\\bob ", "\\\\CARL Carl's", "\\\\PC1 ",
                  "HOME", "\\\\ALICE Front desk", "AAA", "NEWWG", "\\\\ZED "}));
  EXPECT_EQ(announced.requests, 2);
}

TEST_F(SmbDirectoryTest, DomainsAloneDoNotAskForServersAndNamesComeInTheCodePage) {
  net->workgroups = std::vector<SmbEntry>{{"CAF\xC3\x89", ""}};  // "CAFÉ" in UTF-8
  net->servers["CAF\xC3\x89"] = {{"K\xC3\x96NIG", "B\xC3\xBCro"}};
  SmbNetworkDirectory directory = Make();

  CNetEnum domains(directory);
  domains.EnumDomains();
  EXPECT_EQ(domains.List(), (List{"CAF\xC9"}));
  EXPECT_EQ(net->Calls(), (List{"workgroups"}));

  // The servers are asked by the name as browsed, and handed out in CP1252.
  EXPECT_EQ(RefreshNetworkList(directory, false), (List{"CAF\xC9", "\\\\K\xD6NIG B\xFCro"}));
  EXPECT_EQ(net->Calls().back(), "servers CAF\xC3\x89");
}

TEST_F(SmbDirectoryTest, WithoutBrowserOrAnnouncementsOnlyThisComputerIsListed) {
  backend.make = [](int) { return std::unique_ptr<ISmbBrowser>(); };
  options.localHost = {"WORKGROUP", "PC1", ""};
  SmbNetworkDirectory directory(codePage, nullptr, options, backend);
  EXPECT_EQ(RefreshNetworkList(directory, false), (List{"WORKGROUP", "\\\\PC1"}));

  options.localHost = {};
  SmbNetworkDirectory nothing(codePage, nullptr, options, backend);
  EXPECT_EQ(RefreshNetworkList(nothing, false), List{});
}

TEST_F(SmbDirectoryTest, AHeldUpBrowserIsAbandonedAtTheDeadlineAndKeepsTheNextOneOutOnlyThatLong) {
  net->workgroups = std::vector<SmbEntry>{{"LAB", ""}};
  net->servers["LAB"] = {{"SAMBA", ""}};
  net->blocked = true;
  announced.hosts = {{"LAB", "CARL", ""}};
  options.budget = 150ms;
  SmbNetworkDirectory directory = Make();

  // The refresh ends with what the announcements say (it would hang here
  // if it waited for the browser).
  EXPECT_EQ(RefreshNetworkList(directory, false), (List{"LAB", "\\\\CARL"}));
  EXPECT_EQ(SmbNetworkDirectory::RunningJobs(), 1);

  // The first job still holds libsmbclient: the next refresh does not make a
  // second browser and ends at its own deadline.
  EXPECT_EQ(RefreshNetworkList(directory, false), (List{"LAB", "\\\\CARL"}));
  {
    std::lock_guard<std::mutex> lock(net->m);
    EXPECT_EQ(net->made, 1);
  }

  net->Release();
  for (int i = 0; i < 500 && SmbNetworkDirectory::RunningJobs() > 0; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(SmbNetworkDirectory::RunningJobs(), 0);
  options.budget = 5s;
  SmbNetworkDirectory patient = Make();
  EXPECT_EQ(RefreshNetworkList(patient, false), (List{"LAB", "\\\\CARL", "\\\\SAMBA"}));
}

TEST_F(SmbDirectoryTest, ContainersAndTextsStayBounded) {
  std::vector<SmbEntry> many;
  for (int i = 0; i < 5000; ++i) many.push_back({"S" + std::to_string(10000 + i), ""});
  net->workgroups = std::vector<SmbEntry>{{"BIG", ""}};
  net->servers["BIG"] = many;
  announced.hosts = {{"BIG", std::string(1000, 'X'), std::string(100000, 'c')}};
  SmbNetworkDirectory directory = Make();
  const List list = RefreshNetworkList(directory, false);
  ASSERT_EQ(list.size(), 1u + 4096);
  for (const std::string& entry : list) EXPECT_LE(entry.size(), kMaxNetworkEntry);
}

TEST(SmbBrowser, WorkgroupUrlEncodesAllButPlainCharacters) {
  EXPECT_EQ(WorkgroupUrl("LAB"), "smb://LAB/");
  EXPECT_EQ(WorkgroupUrl("MY GROUP/%"), "smb://MY%20GROUP%2F%25/");
  EXPECT_EQ(WorkgroupUrl("CAF\xC3\x89"), "smb://CAF%C3%89/");
}

}  // namespace
}  // namespace vantrel::linux
