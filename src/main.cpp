// Entry point of Vantrel: opens the settings hive (making it and the program key
// on a first start), tells the user once when a damaged hive had to be put
// aside, and runs the event loop until it quits or SIGTERM, SIGINT or SIGHUP
// arrives; the hive is closed on the way out.

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>

#include "platform/linux/SqliteRegistry.h"
#include "receive/Profile.h"
#include "ui/MessageBox.h"

namespace {

// Signal handlers write the signal number here; the event loop reads it.
int g_signalPipe[2] = {-1, -1};

void OnTerminate(int sig) {
  int saved = errno;
  char byte = static_cast<char>(sig);
  ssize_t ignored = write(g_signalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

// Installed before anything else, so a signal never ends the program without
// closing the hive.
bool InstallTerminationPipe() {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
    return false;
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool signalsCaught = InstallTerminationPipe();

  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QString::fromLatin1(vantrel::kRegistryCompany));
  QCoreApplication::setApplicationName(QString::fromLatin1(vantrel::kProfileName));
  // The program lives on without a window; closing a message box must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  vantrel::HiveOpenResult settings = vantrel::OpenHive(vantrel::DefaultHivePath());
  settings.hive->CreateKey(vantrel::RootKey::CurrentUser, vantrel::kProgramKey);

  QSocketNotifier* notifier = nullptr;
  if (signalsCaught) {
    notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
      char buf[16];
      while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
      }
      // Leaves every running loop, a message box's included.
      QCoreApplication::exit(0);
    });
  }
  if (!settings.message.empty()) {
    QString text = QString::fromLocal8Bit(settings.message.data(),
                                          static_cast<qsizetype>(settings.message.size()));
    // Shown from inside the event loop, so that a signal can end it too.
    QTimer::singleShot(0, &app, [text] { vantrel::ui::ShowMessageBox(text); });
  }

  int rc = QApplication::exec();
  settings.hive->Close();
  return rc;
}
