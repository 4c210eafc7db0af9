// libVantrel.so's StartFunc and StopFunc, the window endpoint, the spool and
// the capture helper (the built vantrel-capture), on a capture directory and
// a runtime directory of the test's own.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hook/linux/CaptureDir.h"
#include "hook/linux/CaptureFormat.h"
#include "hook/linux/WindowEndpoint.h"
#include "hook/linux/client/CaptureHookLibrary.h"
#include "hook/linux/lib/Vantrel.h"
#include "transport/PopupText.h"

namespace vantrel::capture {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The texts a window endpoint took, in order.
class Window {
 public:
  explicit Window(const std::string& dir, WindowGreeting greeting = {2, 1252},
                  uint64_t id = NewWindowId())
      : id_(id) {
    opened_ = endpoint_.Open(dir, id_, greeting, [this](std::string text) {
      std::lock_guard lock(mutex_);
      texts_.push_back(std::move(text));
      changed_.notify_all();
      return true;
    });
  }
  bool opened() const { return opened_; }
  uint64_t id() const { return id_; }
  WindowEndpoint& endpoint() { return endpoint_; }
  // Waits (at most 5 s) until n texts arrived; all of them.
  std::vector<std::string> WaitFor(size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 5s, [&] { return texts_.size() >= n; });
    return texts_;
  }
  std::vector<std::string> texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  uint64_t id_;
  WindowEndpoint endpoint_;
  bool opened_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> texts_;
};

class CaptureHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = (fs::temp_directory_path() / "vantrel-hook-XXXXXX").string();
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    base_ = base;
    capture_ = base_ + "/capture";
    runtime_ = base_ + "/runtime";
    ASSERT_EQ(mkdir(capture_.c_str(), 0755), 0);
    ASSERT_EQ(chmod(capture_.c_str(), 03733), 0);
    ASSERT_EQ(mkdir(runtime_.c_str(), 0700), 0);
    Save("VANTREL_CAPTURE_DIR", capture_);
    Save("XDG_RUNTIME_DIR", runtime_);
    Save("TZ", "UTC");
  }
  void TearDown() override {
    StopFunc();
    for (auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::error_code ec;
    fs::remove_all(base_, ec);
  }
  void Save(const std::string& name, const std::string& value) {
    const char* old = getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }

  std::optional<uint64_t> Registered() {
    std::optional<CaptureDir> dir = CaptureDir::Open(capture_);
    return dir ? ReadTarget(*dir) : std::nullopt;
  }
  // The target window of the user's shared state.
  uint64_t StoredTarget() {
    std::ifstream in(runtime_ + "/vantrel-hook/state", std::ios::binary);
    uint8_t b[8] = {};
    in.read(reinterpret_cast<char*>(b), 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
    return v;
  }
  std::vector<std::string> SpoolFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(capture_))
      if (ParseSpoolSlotName(e.path().filename().string())) names.push_back(e.path().filename());
    return names;
  }
  void Spool(const std::string& sender, uint64_t seconds, const std::string& body) {
    std::optional<CaptureDir> dir = CaptureDir::Open(capture_);
    ASSERT_TRUE(dir);
    CapturedMessage m;
    m.arrivalNs = seconds * 1000000000ull;
    m.sender = sender;
    m.receiver = "ALICE";
    m.body = body;
    ASSERT_EQ(SpoolMessage(*dir, m), SpoolResult::kSpooled);
  }

  std::string base_, capture_, runtime_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

PopupFields Fields(const std::string& text) { return ParsePopupText(text, 2, "t"); }

TEST_F(CaptureHookTest, StartTwiceGivesOneThenZeroAndKeepsTheFirstTarget) {
  EXPECT_EQ(StopFunc(), 1);  // nothing installed: 1 at once
  EXPECT_EQ(StartFunc(11), 1);
  EXPECT_EQ(Registered(), 11u);
  EXPECT_EQ(StoredTarget(), 11u);
  EXPECT_EQ(StartFunc(22), 0);
  EXPECT_EQ(Registered(), 11u);
  EXPECT_EQ(StoredTarget(), 11u);
  EXPECT_EQ(StopFunc(), 1);
  EXPECT_FALSE(Registered());
  EXPECT_EQ(StoredTarget(), 11u);  // the target stays stored
  EXPECT_EQ(StopFunc(), 1);
  EXPECT_EQ(StartFunc(33), 1);
  EXPECT_EQ(Registered(), 33u);
}

TEST_F(CaptureHookTest, AFailedInstallationStoresTheTargetAndBlocksNothing) {
  fs::remove_all(capture_);
  EXPECT_EQ(StartFunc(44), 0);
  EXPECT_EQ(StoredTarget(), 44u);
  EXPECT_EQ(StopFunc(), 1);
  // A capture directory of another user is not ours to register in.
  ASSERT_EQ(mkdir(capture_.c_str(), 03733), 0);
  ASSERT_EQ(chown(capture_.c_str(), 4242, 4242), 0);
  EXPECT_EQ(StartFunc(45), 0);
  EXPECT_FALSE(Registered());
  ASSERT_EQ(chown(capture_.c_str(), geteuid(), getegid()), 0);
  EXPECT_EQ(StartFunc(46), 1);
}

TEST_F(CaptureHookTest, OneStatePerUserSharedByItsProcesses) {
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char result = static_cast<char>('0' + StartFunc(77));
    (void)!write(toParent[1], &result, 1);
    char go;
    (void)!read(toChild[0], &go, 1);
    _exit(0);  // ends without StopFunc
  }
  char result = 0;
  ASSERT_EQ(read(toParent[0], &result, 1), 1);
  EXPECT_EQ(result, '1');
  EXPECT_EQ(Registered(), 77u);
  EXPECT_EQ(StartFunc(88), 0);  // installed by the other process
  EXPECT_EQ(StopFunc(), 0);     // which only it can undo
  EXPECT_EQ(Registered(), 77u);
  (void)!write(toChild[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  // A program that is gone leaves no hook installed.
  EXPECT_EQ(StartFunc(88), 1);
  EXPECT_EQ(Registered(), 88u);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(CaptureHookTest, SpooledMessagesComeAtTheNextStartInOrderOnce) {
  Spool("third", 3000, "3");
  Spool("first", 1000, "1");
  Spool("second", 2000, "2");
  // Not spool records: junk, and a link to a file that must not be read.
  std::ofstream(capture_ + "/spool-005") << "junk";
  fs::create_symlink("/etc/hostname", capture_ + "/spool-006");
  ASSERT_EQ(SpoolFiles().size(), 5u);

  Window window(capture_);
  ASSERT_TRUE(window.opened());
  EXPECT_EQ(StartFunc(window.id()), 1);
  std::vector<std::string> texts = window.WaitFor(3);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(Fields(texts[0]).sender, "first");
  EXPECT_EQ(Fields(texts[1]).sender, "second");
  EXPECT_EQ(Fields(texts[2]).sender, "third");
  EXPECT_EQ(Fields(texts[2]).receiver, "ALICE");
  EXPECT_EQ(Fields(texts[2]).text, "3");
  EXPECT_TRUE(SpoolFiles().empty());
  EXPECT_TRUE(fs::exists("/etc/hostname"));

  EXPECT_EQ(StopFunc(), 1);
  EXPECT_EQ(StartFunc(window.id()), 1);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(window.texts().size(), 3u);  // never twice
}

TEST_F(CaptureHookTest, SpoolStaysWhileNoWindowTakesIt) {
  Spool("bob", 1000, "kept");
  EXPECT_EQ(StartFunc(0x1234), 1);  // registered, but nobody listens as that window
  EXPECT_EQ(SpoolFiles().size(), 1u);
  EXPECT_EQ(StopFunc(), 1);
  Window window(capture_);
  EXPECT_EQ(StartFunc(window.id()), 1);
  ASSERT_EQ(window.WaitFor(1).size(), 1u);
  EXPECT_EQ(Fields(window.texts()[0]).text, "kept");
}

// ---- The capture helper --------------------------------------------------------

struct HelperRun {
  int status = -1;
  double seconds = 0;
};

constexpr uid_t kGuest = 65534;  // nobody, as smbd runs the helper

HelperRun RunHelper(const std::vector<std::string>& args, bool foreground, bool asGuest = false) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (asGuest && (setgroups(0, nullptr) != 0 || setgid(kGuest) != 0 || setuid(kGuest) != 0))
      _exit(126);
    if (foreground)
      setenv("VANTREL_CAPTURE_FOREGROUND", "1", 1);
    else
      unsetenv("VANTREL_CAPTURE_FOREGROUND");
    std::vector<char*> argv;
    std::string program = VANTREL_CAPTURE_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  HelperRun run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

TEST_F(CaptureHookTest, HelperDeliversToTheRegisteredWindowAndDeletesTheFile) {
  Window window(capture_);
  ASSERT_EQ(StartFunc(window.id()), 1);
  const std::string file = base_ + "/msg.1";
  std::ofstream(file, std::ios::binary) << "hello there\nsecond line\n";
  EXPECT_EQ(RunHelper({"bobuser", file}, true).status, 0);
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(window.WaitFor(1).size(), 1u);
  const PopupFields f = Fields(window.texts()[0]);
  EXPECT_EQ(f.sender, "bobuser");
  EXPECT_FALSE(f.receiver.empty());
  EXPECT_EQ(f.text, "hello there\r\nsecond line");

  // Detached: smbd gets control back at once, the text follows.
  std::ofstream(file, std::ios::binary) << "detached";
  const HelperRun run = RunHelper({"carol", file}, false);
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(run.seconds, 1.0);
  ASSERT_EQ(window.WaitFor(2).size(), 2u);
  EXPECT_EQ(Fields(window.texts()[1]).text, "detached");
}

// The guest account may pass through the capture directory, create spool
// files and connect to the window, but not list the directory.
TEST_F(CaptureHookTest, HelperWorksAsTheGuestAccount) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become the guest account";
  if (access(VANTREL_CAPTURE_PROGRAM, X_OK) != 0 ||
      RunHelper({"probe", "/nonexistent"}, true, true).status == 127)
    GTEST_SKIP() << "the guest account cannot run " << VANTREL_CAPTURE_PROGRAM;
  ASSERT_EQ(chmod(base_.c_str(), 0711), 0);
  // smbd's message files are in its temporary directory, like /tmp.
  const std::string tmp = base_ + "/tmp";
  ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
  ASSERT_EQ(chmod(tmp.c_str(), 01777), 0);
  const std::string file = tmp + "/msg.guest";
  const auto write = [&](const char* text) {
    std::ofstream(file, std::ios::binary) << text;
    ASSERT_EQ(chown(file.c_str(), kGuest, kGuest), 0);
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
  };
  // No window registered: spooled, in a file the directory's group may read.
  write("spooled by the guest");
  EXPECT_EQ(RunHelper({"bob", file}, true, true).status, 2);
  EXPECT_FALSE(fs::exists(file));
  const std::vector<std::string> spooled = SpoolFiles();
  ASSERT_EQ(spooled.size(), 1u);
  struct stat st {};
  ASSERT_EQ(stat((capture_ + "/" + spooled[0]).c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kGuest);
  EXPECT_EQ(st.st_gid, getegid());  // the directory's group, by its set-group-id bit
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Registered: handed over directly.
  Window window(capture_);
  ASSERT_EQ(StartFunc(window.id()), 1);
  write("delivered to the guest's peer");
  EXPECT_EQ(RunHelper({"bob", file}, true, true).status, 0);
  ASSERT_EQ(window.WaitFor(2).size(), 2u);
  EXPECT_EQ(Fields(window.texts()[0]).text, "spooled by the guest");
  EXPECT_EQ(Fields(window.texts()[1]).text, "delivered to the guest's peer");
}

// The window says how it reads pop-up texts; the helper writes them so.
TEST_F(CaptureHookTest, HelperWritesInTheWindowsLayoutAndCodePage) {
  Window window(capture_, WindowGreeting{1, 936});
  ASSERT_EQ(StartFunc(window.id()), 1);
  const std::string file = base_ + "/msg.zh";
  std::ofstream(file, std::ios::binary) << "\xE4\xBD\xA0\xE5\xA5\xBD";  // 你好 in UTF-8
  EXPECT_EQ(RunHelper({"bob", file}, true).status, 0);
  ASSERT_EQ(window.WaitFor(1).size(), 1u);
  const std::string text = window.texts()[0];
  EXPECT_EQ(text.substr(0, 3), "On ");
  const PopupFields f = ParsePopupText(text, kLanguageChinese, "t");
  EXPECT_EQ(f.sender, "bob");
  EXPECT_EQ(f.text, "\xC4\xE3\xBA\xC3");  // 你好 in code page 936
}

TEST_F(CaptureHookTest, HelperSpoolsWithoutATargetAndDropsWithoutADirectory) {
  const std::string file = base_ + "/msg.2";
  std::ofstream(file, std::ios::binary) << "while away";
  EXPECT_EQ(RunHelper({"bob", file}, true).status, 2);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(SpoolFiles().size(), 1u);
  // Sender missing (smbd's %f was empty): the one argument is the file.
  std::ofstream(file, std::ios::binary) << "anonymous";
  EXPECT_EQ(RunHelper({file}, true).status, 2);
  Window window(capture_);
  ASSERT_EQ(StartFunc(window.id()), 1);
  ASSERT_EQ(window.WaitFor(2).size(), 2u);
  EXPECT_EQ(Fields(window.texts()[0]).text, "while away");
  EXPECT_EQ(Fields(window.texts()[1]).sender, "_");
  EXPECT_EQ(StopFunc(), 1);

  fs::remove_all(capture_);
  std::ofstream(file, std::ios::binary) << "lost";
  EXPECT_EQ(RunHelper({"bob", file}, true).status, 3);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(RunHelper({}, true).status, 64);
}

TEST_F(CaptureHookTest, HelperTrustsNoFileAndNoPlantedRegistration) {
  Window window(capture_);
  ASSERT_EQ(StartFunc(window.id()), 1);
  // A FIFO and a link in place of the message file: not read, not followed.
  const std::string fifo = base_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const HelperRun run = RunHelper({"bob", fifo}, true);
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(run.seconds, 3.0);
  EXPECT_FALSE(fs::exists(fifo));
  const std::string secret = base_ + "/secret";
  std::ofstream(secret) << "secret";
  fs::create_symlink(secret, base_ + "/link");
  EXPECT_EQ(RunHelper({"bob", base_ + "/link"}, true).status, 0);
  ASSERT_EQ(window.WaitFor(2).size(), 2u);
  EXPECT_EQ(Fields(window.texts()[1]).text, "");
  EXPECT_TRUE(fs::exists(secret));

  // A registration that is not the directory owner's is not followed.
  ASSERT_EQ(chown((capture_ + "/target").c_str(), 4242, 4242), 0);
  const std::string file = base_ + "/msg";
  std::ofstream(file) << "spooled instead";
  EXPECT_EQ(RunHelper({"bob", file}, true).status, 2);
  EXPECT_EQ(window.texts().size(), 2u);
}

// ---- The window endpoint and the program's queue -------------------------------

int Connect(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

TEST_F(CaptureHookTest, EndpointRefusesMalformedRecordsAndStalledPeers) {
  Window window(capture_);
  ASSERT_TRUE(window.opened());
  const std::string path = capture_ + "/" + WindowEndpointName(window.id());
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0622u);

  const auto send = [&](std::vector<uint8_t> bytes) {
    const int fd = Connect(path);
    uint8_t greeting[kGreetingSize];
    EXPECT_EQ(recv(fd, greeting, sizeof greeting, MSG_WAITALL),
              static_cast<ssize_t>(kGreetingSize));
    EXPECT_TRUE(DecodeGreeting(greeting));
    (void)!write(fd, bytes.data(), bytes.size());
    uint8_t ack = 9;
    const ssize_t got = recv(fd, &ack, 1, 0);
    close(fd);
    return got == 1 ? static_cast<int>(ack) : -1;
  };
  std::vector<uint8_t> wrongData = EncodeCopyData("x");
  wrongData[0] = 1;
  EXPECT_EQ(send(wrongData), 0);
  std::vector<uint8_t> tooLong = EncodeCopyData(std::string(1024, 'x'));
  EXPECT_EQ(send(tooLong), 0);
  EXPECT_EQ(window.endpoint().counters().malformed.load(), 2u);
  // A peer that says nothing is cut off; the next one is served.
  const int stalled = Connect(path);
  EXPECT_EQ(send(EncodeCopyData("after the stall")), 1);
  close(stalled);
  EXPECT_EQ(window.endpoint().counters().timedOut.load(), 1u);
  ASSERT_EQ(window.WaitFor(1).size(), 1u);
  EXPECT_EQ(window.texts()[0], "after the stall");

  // Closing removes the socket.
  window.endpoint().Close();
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(CaptureHookTest, ProgramQueueIsBoundedAndKeepsOrder) {
  CaptureHookConfig config;
  config.captureDir = capture_;
  config.queueMax = 2;
  CaptureHookLibrary hook(config);
  int notified = 0;
  hook.SetCopyDataNotifier([&] { ++notified; });
  ASSERT_EQ(hook.StartFunc(0xBEEF), 1);
  std::optional<CaptureDir> dir = CaptureDir::Open(capture_);
  ASSERT_TRUE(dir);
  CapturedMessage m;
  m.sender = "bob";
  m.receiver = "ALICE";
  for (const char* body : {"one", "two", "three"}) {
    m.body = body;
    EXPECT_EQ(DeliverToWindow(*dir, hook.endpointId(), m, 2s),
              m.body == "three" ? Delivery::kRefused : Delivery::kDelivered);
  }
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(hook.droppedForFullQueue(), 1u);
  CapturedCopyData item;
  ASSERT_TRUE(hook.TakeCopyData(item));
  EXPECT_EQ(item.window, 0xBEEFu);
  EXPECT_EQ(item.dwData, 0u);
  EXPECT_EQ(Fields(item.bytes).text, "one");
  ASSERT_TRUE(hook.TakeCopyData(item));
  EXPECT_EQ(Fields(item.bytes).text, "two");
  EXPECT_FALSE(hook.TakeCopyData(item));
  EXPECT_EQ(hook.StopFunc(), 1);
  EXPECT_FALSE(hook.endpoint().isOpen());
}

}  // namespace
}  // namespace vantrel::capture
