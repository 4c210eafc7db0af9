#pragma once
// SIGTERM, SIGINT and SIGHUP as events of the event loop. The handlers only
// write the signal number into a socket pair; a notifier on the other end
// turns it into the terminate() signal, so the program saves its messages and
// ends cleanly instead of dying where it stands.
//
//   TerminationSignals::Install();          // first thing in main()
//   QApplication app(argc, argv);
//   TerminationSignals signals(&app);       // after the application exists
//   connect(&signals, &TerminationSignals::terminate, ...);

#include <QObject>

class QSocketNotifier;

namespace vantrel::app {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; false when the socket pair cannot be made (the
  // signals then keep their default action). Safe to call more than once.
  static bool Install();
  static bool installed();

  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  // A termination signal has arrived since this object was made.
  bool received() const { return received_; }

 signals:
  void terminate(int signalNumber);

 private:
  void OnReadable();

  QSocketNotifier* notifier_ = nullptr;
  bool received_ = false;
};

}  // namespace vantrel::app
