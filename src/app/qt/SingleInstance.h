#pragma once
// One receiving copy per user. The receive window opens a local server named
// after the program's title and the user id; a second start connects to it,
// asks the first copy to bring its window to the front and ends.
//
// The same server answers "vantrel-send --list": the request kListRequest is
// answered with the network name list after a refresh
// (EncodeNetworkListReply), then the connection is closed. At most
// kMaxPendingListRequests wait at once (more are closed at once), and one
// that has no answer after kListAnswerTimeoutMs is closed unanswered.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "directory/NetworkList.h"

class QLocalSocket;

namespace vantrel::app {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The request a second start sends to the first copy.
  static constexpr char kActivateRequest[] = "ShowAndActivate\n";

  // What answers a list request: called on the user-interface thread, once
  // per request; it calls reply exactly once, on that thread, with the list,
  // or with null to close the connection without an answer.
  using ListReply = std::function<void(const NetworkNameList* list)>;
  using ListProvider = std::function<void(ListReply reply)>;
  static constexpr int kMaxPendingListRequests = 8;
  static constexpr int kListAnswerTimeoutMs = 10000;

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
  // The path of the server's socket (empty before Listen).
  QString fullServerName() const { return server_.fullServerName(); }

  // Without a provider a list request is closed unanswered (the asker then
  // enumerates by itself).
  void SetListProvider(ListProvider provider) { listProvider_ = std::move(provider); }

 signals:
  // A second start asked this copy to bring its window to the front.
  void activateRequested();

 private:
  void OnNewConnection();
  void AnswerList(QLocalSocket* socket);

  QString name_;
  QLocalServer server_;
  ListProvider listProvider_;
  // Requests waiting for their answer; shared with the answers, which may
  // come after this object is gone.
  std::shared_ptr<int> pendingLists_ = std::make_shared<int>(0);
};

}  // namespace vantrel::app
