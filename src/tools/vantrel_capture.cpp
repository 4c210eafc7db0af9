// vantrel-capture: hands a message that smbd received (net send, smbclient -M)
// to the Vantrel program in pop-up capture mode. smbd runs it through the
// smb.conf line
//
//   message command = /full/path/vantrel-capture %f %s
//
// as the guest account, with %f the sender's name as the client gave it and
// %s the file smbd wrote the message into. The last argument is always taken
// as the file, the first of two or more as the sender; nothing else on the
// command line means anything (the sender is the client's to choose).
//
// It reads the file (at most kBodyMax bytes; any bytes), deletes it and
// returns at once; a child of its own hands the message on: to the window
// registered in the capture directory when one listens, else into the spool,
// where the program's next StartFunc finds it. Every wait is bounded and the
// child ends within kChildLimitSeconds in any case. No shell is run.
//
// With VANTREL_CAPTURE_FOREGROUND=1 in its environment it hands the message on
// itself and exits with what happened: 0 delivered, 2 spooled, 3 dropped (no
// capture directory, or the spool full), 64 no file named.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "hook/linux/CaptureDir.h"
#include "hook/linux/CaptureFormat.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SambaConfig.h"

namespace {

using namespace vantrel::capture;

constexpr int kDelivered = 0;
constexpr int kSpooled = 2;
constexpr int kDropped = 3;
constexpr int kUsage = 64;
constexpr unsigned kChildLimitSeconds = 20;

// The message file's bytes, at most kBodyMax of them. Only a regular file is
// read (never through a link, never a FIFO that could hold us).
std::string ReadMessageFile(const char* path) {
  std::string body;
  const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return body;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    body.resize(kBodyMax);
    size_t got = 0;
    while (got < body.size()) {
      const ssize_t r = read(fd, body.data() + got, body.size() - got);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    body.resize(got);
  }
  close(fd);
  return body;
}

// This computer's own name, as the program names it.
std::string ComputerName() {
  vantrel::linux::SambaConfig samba =
      vantrel::linux::SambaConfig::Load(std::string(vantrel::linux::kDefaultSmbConfPath));
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return vantrel::linux::ComputerNameFrom(samba.NetbiosName(), host);
}

int HandOn(const CapturedMessage& message) {
  std::optional<CaptureDir> dir = CaptureDir::Open(CaptureDirPath());
  if (!dir) return kDropped;
  // Without the lock (someone holds it too long) it goes on all the same.
  DirLock lock(*dir, std::chrono::milliseconds(3000));
  if (std::optional<uint64_t> window = ReadTarget(*dir)) {
    if (DeliverToWindow(*dir, *window, message, std::chrono::milliseconds(3000)) ==
        Delivery::kDelivered)
      return kDelivered;
  }
  return SpoolMessage(*dir, message) == SpoolResult::kSpooled ? kSpooled : kDropped;
}

void DetachStandardFiles() {
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) return;
  for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
  if (null > 2) close(null);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return kUsage;
  const char* file = argv[argc - 1];

  CapturedMessage message;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  message.arrivalNs =
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  if (argc >= 3) message.sender = std::string(argv[1]).substr(0, kNameMax);
  message.body = ReadMessageFile(file);
  unlink(file);
  message.receiver = ComputerName().substr(0, kNameMax);

  const char* foreground = std::getenv("VANTREL_CAPTURE_FOREGROUND");
  if (foreground && std::strcmp(foreground, "1") == 0) return HandOn(message);

  // smbd waits for this process; the child does the rest.
  signal(SIGCHLD, SIG_IGN);
  const pid_t child = fork();
  if (child != 0) return child < 0 ? HandOn(message) : 0;
  setsid();
  DetachStandardFiles();
  alarm(kChildLimitSeconds);
  _exit(HandOn(message));
}
