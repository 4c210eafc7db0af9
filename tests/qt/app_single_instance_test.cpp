#include "app/qt/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <optional>
#include <thread>

#include "directory/linux/RunningProgram.h"

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

// The Qt-free client of vantrel-send finds the socket where Qt put it.
TEST(SingleInstanceTest, ThePosixPathIsWhereQtListens) {
  const QString name = UniqueName();
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  EXPECT_EQ(first.fullServerName().toStdString(), linux::LocalServerPath(name.toStdString()));
  EXPECT_EQ(linux::LocalServerPath("X", "/tmp//a/./b/../"), "/tmp/a/X");
  EXPECT_EQ(linux::LocalServerPath("X", ""), "/tmp/X");
  EXPECT_EQ(linux::LocalServerPath("/run/x", "/tmp"), "/run/x");
  EXPECT_EQ(SingleInstance::ServerName().toStdString(), linux::InstanceServerName());
}

// Asks for the list from another thread while this one turns the event loop.
std::optional<NetworkNameList> AskFromAThread(const QString& name, int waitMs = 5000) {
  std::optional<NetworkNameList> answer;
  std::atomic<bool> done{false};
  std::thread client([&] {
    answer = linux::AskRunningProgramForList(linux::LocalServerPath(name.toStdString()),
                                             std::chrono::milliseconds(waitMs));
    done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, waitMs + 2000));
  client.join();
  return answer;
}

TEST(SingleInstanceTest, ListRequestIsAnsweredWithTheListOnceItIsReady) {
  const QString name = UniqueName();
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  QSignalSpy spy(&first, &SingleInstance::activateRequested);
  const NetworkNameList list = {"LAB", "\\\\SAMBA Lab file server", "HOME"};
  int asked = 0;
  first.SetListProvider([&](SingleInstance::ListReply reply) {
    ++asked;
    // The answer comes later, from the event loop, as after a refresh.
    QTimer::singleShot(100, [reply, &list] { reply(&list); });
  });
  EXPECT_EQ(AskFromAThread(name), list);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(spy.count(), 0);  // a list request does not bring the window up

  // An empty list is an answer too; a provider that gives up closes unanswered.
  first.SetListProvider([](SingleInstance::ListReply reply) {
    const NetworkNameList none;
    reply(&none);
  });
  EXPECT_EQ(AskFromAThread(name), NetworkNameList{});
  first.SetListProvider([](SingleInstance::ListReply reply) { reply(nullptr); });
  EXPECT_EQ(AskFromAThread(name), std::nullopt);

  // Without a provider nobody answers, at once; showing the window still works.
  first.SetListProvider({});
  EXPECT_EQ(AskFromAThread(name, 1000), std::nullopt);
  bool answered = false;
  std::thread second([&] { answered = SingleInstance::ActivateRunning(name, 2000); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 3000));
  second.join();
  EXPECT_TRUE(answered);
}

TEST(SingleInstanceTest, ListRequestsWaitingAtOnceAreBounded) {
  const QString name = UniqueName();
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  std::vector<SingleInstance::ListReply> held;
  first.SetListProvider([&](SingleInstance::ListReply reply) { held.push_back(reply); });
  std::vector<std::unique_ptr<QLocalSocket>> peers;
  for (int i = 0; i < SingleInstance::kMaxPendingListRequests + 3; ++i) {
    auto peer = std::make_unique<QLocalSocket>();
    peer->connectToServer(name);
    ASSERT_TRUE(peer->waitForConnected(2000));
    peer->write(kListRequest.data(), static_cast<qint64>(kListRequest.size()));
    peer->flush();
    peers.push_back(std::move(peer));
  }
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return held.size() >= SingleInstance::kMaxPendingListRequests; }, 2000));
  QTest::qWait(200);
  EXPECT_EQ(held.size(), static_cast<size_t>(SingleInstance::kMaxPendingListRequests));
  // Answering frees the places again, even after the asker has gone.
  peers.clear();
  const NetworkNameList list = {"LAB"};
  for (SingleInstance::ListReply& reply : held) reply(&list);
  held.clear();
  first.SetListProvider([&](SingleInstance::ListReply reply) { reply(&list); });
  EXPECT_EQ(AskFromAThread(name), list);
}

}  // namespace
}  // namespace vantrel::app
