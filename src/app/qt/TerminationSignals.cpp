#include "app/qt/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace vantrel::app {
namespace {

// The handlers write the signal number here; the event loop reads it.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int sig) {
  const int saved = errno;
  const char byte = static_cast<char>(sig);
  const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

}  // namespace

bool TerminationSignals::Install() {
  if (installed()) return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
    g_signalPipe[0] = g_signalPipe[1] = -1;
    return false;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
  return true;
}

bool TerminationSignals::installed() { return g_signalPipe[0] >= 0; }

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (!installed()) return;
  notifier_ = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::OnReadable() {
  char buf[16];
  int last = 0;
  ssize_t n;
  while ((n = ::read(g_signalPipe[0], buf, sizeof buf)) > 0) last = buf[n - 1];
  received_ = true;
  emit terminate(last);
}

}  // namespace vantrel::app
