#pragma once
// One receiving copy per user. The receive window opens a local server named
// after the program's title and the user id; a second start connects to it,
// asks the first copy to bring its window to the front and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace vantrel::app {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The request a second start sends to the first copy.
  static constexpr char kActivateRequest[] = "ShowAndActivate\n";

  // "Tessivane-" followed by the user id.
  static QString ServerName();

  explicit SingleInstance(QString name = ServerName(), QObject* parent = nullptr);
  ~SingleInstance() override;

  const QString& name() const { return name_; }

  // Asks a running copy that listens on name to show its window. True when
  // such a copy accepted the request; false when none runs (a socket file
  // left behind by a copy that crashed counts as none).
  static bool ActivateRunning(const QString& name, int timeoutMs = 1000);

  // Opens the server, accessible to this user only. A socket file left
  // behind by a copy that is gone is removed first. False when another live
  // copy holds the name or the server cannot be opened.
  bool Listen();
  bool isListening() const { return server_.isListening(); }

 signals:
  // A second start asked this copy to bring its window to the front.
  void activateRequested();

 private:
  void OnNewConnection();

  QString name_;
  QLocalServer server_;
};

}  // namespace vantrel::app
