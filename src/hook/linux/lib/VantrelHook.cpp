// libVantrel.so: StartFunc and StopFunc on Linux.
//
// The "shell hook" here is the registration of a window endpoint in the
// capture directory, where the capture helper run by smbd looks for the
// window to hand each message to. What Windows keeps in the library's shared
// section is kept once per user, in the user's runtime directory
// ($XDG_RUNTIME_DIR/vantrel-hook, else ${TMPDIR:-/tmp}/vantrel-hook-<uid>,
// mode 0700), so every process of the user sees the same:
//
//   state      the target window (8 bytes) and the hook handle (4 bytes,
//              the installing process's id; 0 when none is installed)
//   installed  held locked (flock) by the process that installed the hook
//              for as long as it is installed; a process that ends without
//              StopFunc releases it with its last descriptor, so a hook is
//              never left installed by a program that is gone
//
// The installing process keeps its descriptor of "installed" (each loaded
// copy keeps its own, as each keeps its own instance handle on Windows).

#include "hook/linux/lib/Vantrel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "hook/linux/CaptureDir.h"
#include "hook/linux/CaptureFormat.h"
#include "platform/UniqueFd.h"

namespace {

using namespace vantrel::capture;
using vantrel::UniqueFd;

constexpr auto kLockWait = std::chrono::milliseconds(3000);
constexpr auto kDeliveryTimeout = std::chrono::milliseconds(2000);

std::mutex g_mutex;
int g_installFd = -1;      // this process holds the installation
uint64_t g_installed = 0;  // the window it installed for

struct State {
  uint64_t target = 0;
  uint32_t handle = 0;
};

// The user's state folder, made when missing; only when it is a real folder
// of this user that nobody else may enter.
int OpenUserStateDir() {
  std::string path;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    path = std::string(runtime) + "/vantrel-hook";
  } else {
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vantrel-hook-" +
           std::to_string(geteuid());
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int OpenFileIn(int dir, const char* name) {
  const int fd = openat(dir, name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);
    return -1;
  }
  return fd;
}

State ReadState(int fd) {
  uint8_t b[12] = {};
  State s;
  if (pread(fd, b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return s;
  for (int i = 7; i >= 0; --i) s.target = (s.target << 8) | b[i];
  for (int i = 11; i >= 8; --i) s.handle = (s.handle << 8) | b[i];
  return s;
}

void WriteState(int fd, const State& s) {
  uint8_t b[12];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(s.target >> (8 * i));
  for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<uint8_t>(s.handle >> (8 * i));
  (void)!pwrite(fd, b, sizeof b, 0);
}

// Installs: the spooled messages go to the window, oldest first, then the
// window is registered. Both under the directory's lock, so that the helper
// neither delivers a newer message before the spooled ones nor spools one
// that this drain would miss.
bool Install(uint64_t window) {
  std::optional<CaptureDir> dir = CaptureDir::Open(CaptureDirPath());
  if (!dir || dir->owner() != geteuid()) return false;
  DirLock lock(*dir, kLockWait);
  DrainSpool(*dir, [&](const CapturedMessage& message) {
    return DeliverToWindow(*dir, window, message, kDeliveryTimeout) == Delivery::kDelivered;
  });
  return WriteTarget(*dir, window);
}

// Removes the registration of the window; true when none names it afterwards.
bool Uninstall(uint64_t window) {
  std::optional<CaptureDir> dir = CaptureDir::Open(CaptureDirPath());
  if (!dir) return true;  // no directory, no registration
  // The lock waits for a helper that is handing a message over right now.
  DirLock lock(*dir, kLockWait);
  return RemoveTarget(*dir, window);
}

}  // namespace

extern "C" int StartFunc(uint64_t window) {
  std::lock_guard guard(g_mutex);
  UniqueFd dir(OpenUserStateDir());
  if (dir.get() < 0) return 0;
  UniqueFd state(OpenFileIn(dir.get(), "state"));
  if (state.get() < 0 || flock(state.get(), LOCK_EX) != 0) return 0;

  if (g_installFd >= 0) return 0;  // installed by this process
  UniqueFd installed(OpenFileIn(dir.get(), "installed"));
  if (installed.get() < 0) return 0;
  if (flock(installed.get(), LOCK_EX | LOCK_NB) != 0) return 0;  // by another process

  State s = ReadState(state.get());
  s.target = window;  // kept even when the installation fails
  s.handle = 0;
  WriteState(state.get(), s);
  if (!Install(window)) return 0;  // "installed" is closed, and so unlocked
  s.handle = static_cast<uint32_t>(getpid());
  WriteState(state.get(), s);
  g_installFd = installed.release();
  g_installed = window;
  return 1;
}

extern "C" int StopFunc(void) {
  std::lock_guard guard(g_mutex);
  UniqueFd dir(OpenUserStateDir());
  if (g_installFd < 0) {
    // Installed by no process of this user, or by another one, which only it
    // can undo.
    if (dir.get() < 0) return 1;
    UniqueFd installed(openat(dir.get(), "installed", O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (installed.get() < 0) return 1;
    return flock(installed.get(), LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
  }
  if (!Uninstall(g_installed)) return 0;  // the handle stays; a later call tries again
  if (dir.get() >= 0) {
    UniqueFd state(OpenFileIn(dir.get(), "state"));
    if (state.get() >= 0 && flock(state.get(), LOCK_EX) == 0) {
      State s = ReadState(state.get());
      s.handle = 0;
      WriteState(state.get(), s);
    }
  }
  close(g_installFd);
  g_installFd = -1;
  g_installed = 0;
  return 1;
}
