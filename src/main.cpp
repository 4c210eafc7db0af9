// Entry point of Vantrel. The application object does the rest: it opens the
// settings hive, chooses the operating mode, starts the main window in the
// notification area and runs until the icon menu's Exit, the end of the
// session or SIGTERM, SIGINT or SIGHUP, saving the messages on the way out.

#include <QApplication>

#include "app/SecureEnvironment.h"
#include "app/qt/MessengerApp.h"
#include "app/qt/TerminationSignals.h"

int main(int argc, char** argv) {
  // Started with the capability for the low ports: nothing from the caller's
  // environment may name code for the libraries below to load.
  vantrel::app::KeepOnlySafeEnvironment();
  // Before anything else, so that a signal never ends the program without
  // saving the messages and closing the hive.
  vantrel::app::TerminationSignals::Install();
  QApplication app(argc, argv);
  return vantrel::app::RunMessenger();
}
