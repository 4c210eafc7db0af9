// The built Vantrel program, started on a private config folder: it makes the
// settings hive with the program key and ends with status 0 on a termination
// signal, also while its one-time message about a damaged hive is showing.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/TempConfigHome.h"

extern char** environ;

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;
using namespace std::chrono_literals;

const std::string kProgram = std::string(VANTREL_BINARY_DIR) + "/src/Vantrel";

// Starts the program with its own config folder and temporary folder (so its
// single-copy socket is its own too) and, where the test may, in a network
// namespace of its own, so that the ports it takes never clash with other tests.
pid_t StartProgram(const std::string& configHome) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string_view kv(*e);
    if (kv.starts_with("XDG_CONFIG_HOME=") || kv.starts_with("QT_QPA_PLATFORM=") ||
        kv.starts_with("TMPDIR="))
      continue;
    env.emplace_back(kv);
  }
  env.push_back("XDG_CONFIG_HOME=" + configHome);
  env.push_back("TMPDIR=" + configHome);
  env.push_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string arg0 = kProgram;
  char* argv[] = {arg0.data(), nullptr};
  pid_t pid = fork();
  if (pid == 0) {
    // Without the privilege the program cannot take the privileged NetBIOS
    // ports either, so running on the host's network is harmless then.
    unshare(CLONE_NEWNET);
    execve(kProgram.c_str(), argv, envp.data());
    _exit(127);
  }
  return pid;
}

// Whether the hive at path holds the program key (read-only, from outside).
bool HasProgramKey(const std::string& path) {
  if (!std::filesystem::exists(path)) return false;
  sqlite3* db = nullptr;
  bool found = false;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT 1 FROM reg_keys WHERE folded = "
                           "'SOFTWARE\\KORBELUND\\TESSIVANE'",
                           -1, &s, nullptr) == SQLITE_OK)
      found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return found;
}

// Waits for the child to end; -1 when it is still running after the timeout.
int WaitForExit(pid_t pid, std::chrono::milliseconds timeout, int* status) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) return 0;
    std::this_thread::sleep_for(20ms);
  }
  return -1;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kProgram))
      GTEST_SKIP() << "the Vantrel program is not built (" << kProgram
                   << "); build the target Vantrel first";
  }
  // Starts the program, waits for the program key, sends the signal and
  // expects a clean exit.
  void RunUntilSignal(int sig) {
    pid_t pid = StartProgram(home.dir());
    ASSERT_GT(pid, 0);
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!HasProgramKey(home.hivePath()) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(50ms);
    bool ready = HasProgramKey(home.hivePath());
    // Let the event loop (and any message box) come up before the signal.
    std::this_thread::sleep_for(300ms);
    kill(pid, sig);
    int status = 0;
    if (WaitForExit(pid, 20s, &status) != 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "the program did not end on signal " << sig;
    }
    EXPECT_TRUE(ready) << "the program key never appeared";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  TempConfigHome home;
};

class ProgramSignalTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramSignalTest, MakesTheHiveAndEndsCleanlyOnTheSignal) {
  RunUntilSignal(GetParam());
  // Closed properly: the log was folded back into the file.
  EXPECT_FALSE(std::filesystem::exists(home.hivePath() + "-wal"));
  EXPECT_TRUE(HasProgramKey(home.hivePath()));
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

TEST_F(ProgramTest, ADamagedHiveIsPutAsideAndTheProgramStillEndsCleanly) {
  std::filesystem::create_directories(home.dir() + "/Korbelund");
  const std::string garbage(3000, '\x5a');
  WriteFileBytes(home.hivePath(), garbage);
  RunUntilSignal(SIGTERM);
  int aside = 0;
  for (const auto& e : std::filesystem::directory_iterator(home.dir() + "/Korbelund")) {
    if (e.path().filename().string().starts_with("registry.sqlite.corrupt-")) {
      ++aside;
      EXPECT_EQ(ReadFileBytes(e.path().string()), garbage);
    }
  }
  EXPECT_EQ(aside, 1);
}

}  // namespace
}  // namespace vantrel
