#include "app/qt/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <thread>

namespace vantrel::app {
namespace {

QString UniqueName() {
  return QStringLiteral("TessivaneTest-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
}

TEST(SingleInstanceTest, NameCarriesTitleAndUser) {
  EXPECT_TRUE(SingleInstance::ServerName().startsWith(QStringLiteral("Tessivane-")));
  EXPECT_GT(SingleInstance::ServerName().size(), QStringLiteral("Tessivane-").size());
}

TEST(SingleInstanceTest, SecondStartAsksTheFirstToShowItself) {
  const QString name = UniqueName();
  EXPECT_FALSE(SingleInstance::ActivateRunning(name, 200));  // nobody runs yet

  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  QSignalSpy spy(&first, &SingleInstance::activateRequested);

  // The second start blocks on its socket, so it runs where the first
  // copy's event loop can still turn.
  bool answered = false;
  std::thread second([&] { answered = SingleInstance::ActivateRunning(name, 2000); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 3000));
  second.join();
  EXPECT_TRUE(answered);

  // A second server on the same name is refused while the first lives.
  SingleInstance other(name);
  EXPECT_FALSE(other.Listen());
}

TEST(SingleInstanceTest, GarbageFromAPeerIsNotARequest) {
  const QString name = UniqueName();
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  QSignalSpy spy(&first, &SingleInstance::activateRequested);
  std::thread peer([&] {
    QLocalSocket s;
    s.connectToServer(name);
    if (!s.waitForConnected(2000)) return;
    s.write(QByteArray(500, 'x'));
    s.write("\nShow\n");
    s.waitForBytesWritten(2000);
    s.disconnectFromServer();
  });
  peer.join();
  QTest::qWait(200);
  EXPECT_EQ(spy.count(), 0);
}

TEST(SingleInstanceTest, SocketLeftByACrashedCopyIsTakenOver) {
  const QString name = UniqueName();
  // A socket file that nobody listens on, as a killed copy leaves it.
  const QString path = QDir(QDir::tempPath()).filePath(name);
  {
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  EXPECT_FALSE(SingleInstance::ActivateRunning(name, 200));
  SingleInstance first(name);
  EXPECT_TRUE(first.Listen());
  EXPECT_TRUE(first.isListening());
}

}  // namespace
}  // namespace vantrel::app
