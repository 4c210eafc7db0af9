#include "app/qt/SingleInstance.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include "directory/linux/RunningProgram.h"

namespace vantrel::app {
namespace {
// A request line is short; anything longer is not ours and is dropped.
constexpr qint64 kMaxRequest = 64;
}  // namespace

QString SingleInstance::ServerName() {
  // The same name vantrel-send asks for its list.
  return QString::fromStdString(linux::InstanceServerName());
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() { server_.close(); }

bool SingleInstance::ActivateRunning(const QString& name, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name, QIODevice::WriteOnly);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kActivateRequest);
  const bool written = socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return written;
}

bool SingleInstance::Listen() {
  if (server_.isListening()) return true;
  // A live copy answers on the name. A socket file that nobody answers on was
  // left by a copy that is gone. (Qt binds a private socket and renames it
  // over the name, so listening alone would not notice a live copy.)
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(500)) {
    probe.abort();
    return false;
  }
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto handle = [this, socket] {
      if (socket->property("vantrelHandled").toBool()) return;  // one request a connection
      if (!socket->canReadLine()) {
        // Drop a peer that sends more than a request without ending it.
        if (socket->bytesAvailable() > kMaxRequest) socket->abort();
        return;
      }
      const QByteArray line = socket->readLine(kMaxRequest + 1);
      socket->setProperty("vantrelHandled", true);
      if (line == QByteArray(kListRequest.data(), static_cast<qsizetype>(kListRequest.size()))) {
        AnswerList(socket);
        return;
      }
      if (line == kActivateRequest) emit activateRequested();
      socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, handle);
    if (socket->bytesAvailable() > 0) handle();
  }
}

void SingleInstance::AnswerList(QLocalSocket* socket) {
  if (!listProvider_ || *pendingLists_ >= kMaxPendingListRequests) {
    socket->disconnectFromServer();
    return;
  }
  ++*pendingLists_;
  QPointer<QLocalSocket> guard(socket);
  // Closed unanswered when the answer takes too long.
  QTimer::singleShot(kListAnswerTimeoutMs, socket, [socket] { socket->abort(); });
  auto answered = std::make_shared<bool>(false);
  listProvider_([guard, answered, pending = pendingLists_](const NetworkNameList* list) {
    if (*answered) return;
    *answered = true;
    --*pending;
    if (!guard) return;
    if (list) {
      const std::string reply = EncodeNetworkListReply(*list);
      guard->write(reply.data(), static_cast<qint64>(reply.size()));
    }
    guard->disconnectFromServer();
  });
}

}  // namespace vantrel::app
