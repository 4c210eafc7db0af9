// The Send dialog driven by control id: fields, limits, keys, the Send
// operation with a recording send function, quick answers and the history.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "directory/NetEnum.h"
#include "fakes/FakeNetworkDirectory.h"
#include "platform/linux/IconvCodePage.h"
#include "res/ResourceIds.h"
#include "send/SendQueue.h"
#include "send/qt/SendDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/QuitFlag.h"
#include "ui/TextCodec.h"
#include "ui/TrayIcon.h"
#include "ui/TrayOwner.h"

namespace vantrel {
namespace {

using Log = std::vector<std::string>;

// A network whose one provider lists the domains.
class ListedDirectory : public fakes::FakeNetworkDirectory {
 public:
  std::vector<std::string> domains;
  std::unique_ptr<INetworkSession> OpenSession() override {
    top = {fakes::Provider("SMB")};
    for (const std::string& d : domains) top[0].children.push_back(fakes::Domain(d));
    return FakeNetworkDirectory::OpenSession();
  }
};

class SendDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetMessageBoxHook(
        [this](const QString& text) { log.push_back("box " + text.toStdString()); });
    // The receive window owns the icon; the dialog under test is its Send dialog.
    trayOwner.Add(&owner);
    owner.setGeometry(100, 100, 500, 400);
  }
  void TearDown() override {
    delete dlg.data();  // before the services it uses go
    ui::SetMessageBoxHook({});
  }

  // A send function that behaves like SendMessengerDatagram: a name it cannot
  // find gets the "can't find name" box and the result 0.
  SendDlgServices Services() {
    SendDlgServices s;
    s.sendDatagram = [this](std::string_view sender, std::string_view name, std::string_view text) {
      log.push_back("send " + std::string(sender) + ">" + std::string(name) + ":" +
                    std::string(text));
      if (reachable.count(std::string(name))) return 1;
      ui::ShowMessageBox(QStringLiteral("Sorry, can't find name \"%1\" in network.")
                             .arg(QString::fromStdString(std::string(name))));
      return 0;
    };
    s.directory = &directory;
    s.isPopupCaptureMode = [this] { return captureMode; };
    s.computerName = [this] { return computerName; };
    s.quitFlag = &quit;
    s.trayOwner = &trayOwner;
    s.trayAvailable = [] { return true; };
    return s;
  }

  CSendDlg* Make() {
    dlg = new CSendDlg(&owner, Services());
    return dlg;
  }
  // Shown and active, as after the receive window's Send command.
  CSendDlg* MakeShown() {
    Make();
    dlg->show();
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    return dlg;
  }

  QLineEdit* receiver() const { return ui::FindControl<QLineEdit>(dlg, res::IDC_RECEIVER); }
  QPlainTextEdit* message() const { return ui::FindControl<QPlainTextEdit>(dlg, res::IDC_MESSAGE); }
  QLineEdit* sender() const { return ui::FindControl<QLineEdit>(dlg, res::IDC_SENDER); }
  QPushButton* button(int id) const { return ui::FindControl<QPushButton>(dlg, id); }
  void Click(int id) const { QTest::mouseClick(button(id), Qt::LeftButton); }

  // Fills the two fields as the user would and presses Send; the Cancel that
  // the Send operation posts is then handled.
  void Send(const QString& to, const QString& text) {
    receiver()->setText(to);
    message()->setPlainText(text);
    Click(res::IDC_SEND);
    QCoreApplication::processEvents();
  }
  void Reshow() {
    dlg->show();
    QCoreApplication::processEvents();
  }

  QWidget owner;
  ui::QuitFlag quit;
  ui::TrayOwner trayOwner;
  ListedDirectory directory;
  std::set<std::string> reachable = {"BOB", "ALICE", "HOME", "LAB", "..", "X"};
  int captureMode = 0;
  std::string computerName = "PC1";
  Log log;
  QPointer<CSendDlg> dlg;
};

TEST_F(SendDlgTest, StartsHiddenWithEveryControlTheSenderAndTheTips) {
  Make();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Send"));
  EXPECT_FALSE(dlg->windowIcon().isNull());
  for (int id : {res::IDC_SEND, res::IDC_OTHERS, res::IDC_CLEAR, res::IDC_HISTORY_PREV,
                 res::IDC_HISTORY_DELETE, res::IDC_HISTORY_NEXT, res::IDC_QUICK_OK,
                 res::IDC_QUICK_THANKS, res::IDC_QUICK_YES, res::IDC_QUICK_NO}) {
    EXPECT_NE(button(id), nullptr) << id;
  }
  ASSERT_TRUE(receiver() && message() && sender());

  EXPECT_EQ(sender()->text(), QStringLiteral("PC1"));
  EXPECT_TRUE(sender()->isHidden());
  EXPECT_EQ(sender()->maxLength(), CSendDlg::kSenderLimit);
  EXPECT_FALSE(button(res::IDC_CLEAR)->isEnabled());
  EXPECT_FALSE(button(res::IDC_OTHERS)->isEnabled());  // no Select Receiver dialog wired

  EXPECT_EQ(button(res::IDC_OTHERS)->toolTip(), QStringLiteral("Others"));
  EXPECT_EQ(button(res::IDC_HISTORY_NEXT)->toolTip(), QStringLiteral("Next"));
  EXPECT_EQ(button(res::IDC_HISTORY_PREV)->toolTip(), QStringLiteral("Previous"));
  EXPECT_EQ(button(res::IDC_HISTORY_DELETE)->toolTip(), QStringLiteral("Delete"));
  EXPECT_TRUE(button(res::IDC_SEND)->toolTip().isEmpty());
  EXPECT_TRUE(button(res::IDC_QUICK_OK)->toolTip().isEmpty());
  EXPECT_TRUE(receiver()->toolTip().isEmpty());

  // The receive window owns the icon; its Send dialog adds none.
  EXPECT_FALSE(dlg->trayIcon()->isOwner());
  EXPECT_EQ(dlg->trayIcon()->systemTrayIcon(), nullptr);
  EXPECT_EQ(dlg->otherHomeMenuBar(), nullptr);
}

TEST_F(SendDlgTest, AComputerWithoutANameSendsAsNoBody) {
  computerName.clear();
  Make();
  EXPECT_EQ(sender()->text(), QStringLiteral("NoBody"));
  Send(QStringLiteral("BOB"), QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"send NoBody>BOB:hi"}));
}

TEST_F(SendDlgTest, ReceiverIsUpperCasedWhileTypingAndTheCursorStays) {
  MakeShown();
  QTest::keyClicks(receiver(), "bob ali");
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB ALI"));
  receiver()->setCursorPosition(3);
  QTest::keyClicks(receiver(), "x");
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOBX ALI"));
  EXPECT_EQ(receiver()->cursorPosition(), 4);
  QTest::keyClicks(receiver(), "y");
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOBXY ALI"));

  // One character for one: a letter whose upper case is two letters stays as
  // it is, so what is typed next lands behind it.
  receiver()->clear();
  for (const QString& typed : {QString::fromUtf8("\xC3\xA9"), QString::fromUtf8("\xC3\x9F")}) {
    QTest::sendKeyEvent(QTest::Click, receiver(), Qt::Key_unknown, typed, Qt::NoModifier);
  }
  QTest::keyClicks(receiver(), "b");
  EXPECT_EQ(receiver()->text(), QString::fromUtf8("\xC3\x89\xC3\x9F"
                                                  "B"));
  EXPECT_EQ(receiver()->cursorPosition(), 3);
}

TEST_F(SendDlgTest, MessageTakesAtMost400Characters) {
  MakeShown();
  message()->setFocus();
  QTest::keyClicks(message(), QString(405, QLatin1Char('m')));
  EXPECT_EQ(message()->toPlainText().size(), CSendDlg::kMessageLimit);
  message()->selectAll();
  message()->insertPlainText(QString(450, QLatin1Char('p')));  // a paste
  EXPECT_EQ(message()->toPlainText(), QString(400, QLatin1Char('p')));
}

TEST_F(SendDlgTest, EnterInTheReceiverLineSendsEnterInTheMessageMakesANewLine) {
  MakeShown();
  message()->setFocus();
  QTest::keyClicks(message(), "one");
  QTest::keyClick(message(), Qt::Key_Return);
  QTest::keyClicks(message(), "two");
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("one\ntwo"));
  EXPECT_TRUE(log.empty());

  receiver()->setFocus();
  QTest::keyClicks(receiver(), "bob");
  QTest::keyClick(receiver(), Qt::Key_Return);
  // Line breaks go out as CR LF.
  EXPECT_EQ(log, (Log{"send PC1>BOB:one\r\ntwo"}));
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(SendDlgTest, TabFollowsTheOrderOfTheTemplate) {
  SendDlgServices s = Services();
  s.selectReceivers = [](QWidget*) { return std::optional<QString>(); };  // enables "..."
  dlg = new CSendDlg(&owner, std::move(s));
  dlg->show();
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
  EXPECT_EQ(QApplication::focusWidget(), receiver());  // first in the order
  QTest::keyClicks(receiver(), "bob");                 // so that Clear takes focus

  std::vector<int> order;
  for (int i = 0; i < 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.push_back(ui::ControlId(QApplication::focusWidget()));
  }
  EXPECT_EQ(order,
            (std::vector<int>{res::IDC_MESSAGE, res::IDC_SEND, res::IDC_OTHERS, res::IDC_CLEAR,
                              res::IDC_HISTORY_PREV, res::IDC_HISTORY_DELETE, res::IDC_HISTORY_NEXT,
                              res::IDC_QUICK_OK, res::IDC_QUICK_THANKS, res::IDC_QUICK_YES,
                              res::IDC_QUICK_NO, res::IDC_RECEIVER}));
}

TEST_F(SendDlgTest, SendTrimsTheLineSplitsAtBlanksAndRecordsTheTrimmedLine) {
  MakeShown();
  const QString typed = QStringLiteral("  BOB   ALICE ");
  Send(typed, QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"send PC1>BOB:hi", "send PC1>ALICE:hi"}));
  ASSERT_EQ(dlg->history().size(), 1u);
  EXPECT_EQ(dlg->history().pairs()[0].receiverLine, "BOB   ALICE");
  EXPECT_EQ(receiver()->text(), typed);  // the field keeps the line as typed
  EXPECT_FALSE(dlg->isVisible());        // hidden by the posted Cancel

  // A tab is part of a name; only blanks separate.
  log.clear();
  Send(QStringLiteral("\tBOB\tX ALICE"), QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"send PC1>BOB\tX:hi", "box Sorry, can't find name \"BOB\tX\" in network.",
                      "send PC1>ALICE:hi"}));
}

TEST_F(SendDlgTest, InvalidFieldsShowTheirBoxAndTheDialogStays) {
  MakeShown();
  Send(QStringLiteral("   "), QStringLiteral("hi"));
  Send(QStringLiteral("BOB"), QString());
  EXPECT_EQ(log,
            (Log{"box Please select a valid reciever.", "box Please input an valid message."}));
  EXPECT_TRUE(dlg->history().empty());
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(message()->toPlainText(), QString());

  sender()->setText(QString());  // cannot happen through the hidden field, but is checked
  log.clear();
  Send(QStringLiteral("BOB"), QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"box Invalid sender."}));
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(SendDlgTest, DotDotGoesToEveryDomainAndOnlyWhenAlone) {
  directory.domains = {"HOME", "LAB"};
  MakeShown();
  Send(QStringLiteral(" .. "), QStringLiteral("all"));
  EXPECT_EQ(log, (Log{"send PC1>HOME:all", "send PC1>LAB:all"}));
  EXPECT_EQ(dlg->history().pairs().back().receiverLine, "..");

  log.clear();
  Reshow();
  Send(QStringLiteral(".. BOB"), QStringLiteral("all"));
  EXPECT_EQ(log, (Log{"send PC1>..:all", "send PC1>BOB:all"}));

  log.clear();
  directory.domains.clear();
  Reshow();
  Send(QStringLiteral(".."), QStringLiteral("nobody"));
  EXPECT_EQ(log, (Log{"box Sorry, send failed."}));
  EXPECT_EQ(dlg->history().size(), 3u);
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(SendDlgTest, OnlyTheLastNamesResultIsReported) {
  reachable = {"BOB"};
  MakeShown();
  Send(QStringLiteral("BOB ALICE"), QStringLiteral("hi"));
  EXPECT_EQ(log,
            (Log{"send PC1>BOB:hi", "send PC1>ALICE:hi",
                 "box Sorry, can't find name \"ALICE\" in network.", "box Sorry, send failed."}));
  log.clear();
  Reshow();
  Send(QStringLiteral("ALICE BOB"), QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"send PC1>ALICE:hi", "box Sorry, can't find name \"ALICE\" in network.",
                      "send PC1>BOB:hi"}));

  // In pop-up capture mode a failed send is not reported.
  captureMode = 1;
  log.clear();
  Reshow();
  Send(QStringLiteral("ALICE"), QStringLiteral("hi"));
  EXPECT_EQ(log, (Log{"send PC1>ALICE:hi", "box Sorry, can't find name \"ALICE\" in network."}));
}

TEST_F(SendDlgTest, TypedTextIsSentInTheSystemCodePage) {
  linux::IconvCodePage iconv;
  const ui::TextCodec codec(iconv, 1252);
  SendDlgServices s = Services();
  s.codec = &codec;
  computerName = "K\xD6LN";  // in code page 1252
  dlg = new CSendDlg(&owner, std::move(s));
  EXPECT_EQ(sender()->text(), QString::fromUtf8("K\xC3\x96LN"));
  reachable.insert("J\xDCRGEN");
  Send(QString::fromUtf8("j\xC3\xBCrgen"), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                             "e\n\xE2\x82\xAC"));
  EXPECT_EQ(log, (Log{"send K\xD6LN>J\xDCRGEN:Gr\xFC\xDF"
                      "e\r\n\x80"}));
}

TEST_F(SendDlgTest, HistoryKeepsOnePairForAMessageInAnotherCase) {
  MakeShown();
  Send(QStringLiteral("BOB"), QString::fromUtf8("Hello \xC3\xA4rger"));
  Reshow();
  Send(QStringLiteral("BOB"), QString::fromUtf8("HELLO \xC3\x84RGER"));
  ASSERT_EQ(dlg->history().size(), 1u);
  EXPECT_EQ(QString::fromStdString(dlg->history().pairs()[0].message),
            QString::fromUtf8("Hello \xC3\xA4rger"));
  EXPECT_EQ(log.size(), 2u);  // both were sent
}

TEST_F(SendDlgTest, EleventhSendDropsTheOldestAndPreviousStopsThere) {
  MakeShown();
  for (int i = 1; i <= 11; ++i) {
    Reshow();
    Send(QStringLiteral("BOB"), QStringLiteral("m%1").arg(i));
  }
  EXPECT_EQ(dlg->history().size(), 10u);
  Reshow();
  for (int i = 0; i < 10; ++i) Click(res::IDC_HISTORY_PREV);
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("m2"));
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB"));
  EXPECT_EQ(dlg->history().position(), 1u);

  // At the oldest pair "<" does nothing, not even to what was typed since.
  message()->setPlainText(QStringLiteral("typed"));
  Click(res::IDC_HISTORY_PREV);
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("typed"));
  Click(res::IDC_HISTORY_NEXT);
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("m3"));
}

TEST_F(SendDlgTest, DeleteShowsTheFollowingPairAndEmptiesTheFieldsAtTheEnd) {
  MakeShown();
  for (const char* text : {"a", "b", "c"}) {
    Reshow();
    Send(QStringLiteral("BOB"), QString::fromLatin1(text));
  }
  Reshow();
  Click(res::IDC_HISTORY_PREV);  // b
  Click(res::IDC_HISTORY_DELETE);
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("c"));  // the pair that followed
  Click(res::IDC_HISTORY_DELETE);
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("a"));  // the newest went: the one before
  Click(res::IDC_HISTORY_DELETE);
  EXPECT_EQ(message()->toPlainText(), QString());
  EXPECT_EQ(receiver()->text(), QString());
  EXPECT_TRUE(dlg->history().empty());

  // With nothing left, X leaves what is typed.
  receiver()->setText(QStringLiteral("ALICE"));
  Click(res::IDC_HISTORY_DELETE);
  EXPECT_EQ(receiver()->text(), QStringLiteral("ALICE"));
  EXPECT_EQ(sender()->text(), QStringLiteral("PC1"));  // never touched by the history
}

TEST_F(SendDlgTest, QuickAnswersReplaceTheMessageAndSend) {
  MakeShown();
  message()->setPlainText(QStringLiteral("typed"));
  Click(res::IDC_QUICK_YES);
  EXPECT_EQ(log, (Log{"box Please select a valid reciever."}));
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("Yes."));
  EXPECT_TRUE(dlg->isVisible());

  const std::pair<int, const char*> quick[] = {{res::IDC_QUICK_OK, "OK!"},
                                               {res::IDC_QUICK_THANKS, "Thanks!"},
                                               {res::IDC_QUICK_YES, "Yes."},
                                               {res::IDC_QUICK_NO, "No."}};
  for (const auto& [id, text] : quick) {
    log.clear();
    Reshow();
    receiver()->setText(QStringLiteral("BOB"));
    Click(id);
    EXPECT_EQ(log, (Log{std::string("send PC1>BOB:") + text}));
  }
  EXPECT_EQ(dlg->history().size(), 4u);
}

TEST_F(SendDlgTest, ClearIsDisabledWhicheverWayTheLineBecameEmpty) {
  MakeShown();
  QPushButton* clear = button(res::IDC_CLEAR);
  // Typing.
  QTest::keyClicks(receiver(), "b");
  EXPECT_TRUE(clear->isEnabled());
  QTest::keyClick(receiver(), Qt::Key_Backspace);
  EXPECT_FALSE(clear->isEnabled());
  // Clear.
  QTest::keyClicks(receiver(), "bob");
  Click(res::IDC_CLEAR);
  EXPECT_EQ(receiver()->text(), QString());
  EXPECT_FALSE(clear->isEnabled());
  // SetReceiverLine, both ways; it empties the message.
  message()->setPlainText(QStringLiteral("old"));
  dlg->SetReceiverLine(QStringLiteral("ALICE"));
  EXPECT_TRUE(clear->isEnabled());
  EXPECT_EQ(message()->toPlainText(), QString());
  dlg->SetReceiverLine(QString());
  EXPECT_FALSE(clear->isEnabled());
  // The history.
  Send(QStringLiteral("BOB"), QStringLiteral("hi"));
  Reshow();
  receiver()->clear();
  EXPECT_FALSE(clear->isEnabled());
  Click(res::IDC_HISTORY_DELETE);  // the history shows the pair...
  EXPECT_FALSE(clear->isEnabled());
  EXPECT_EQ(receiver()->text(), QString());  // ...of which there is none left
  Send(QStringLiteral("BOB"), QStringLiteral("hi"));
  Reshow();
  receiver()->clear();
  Send(QStringLiteral("ALICE"), QStringLiteral("hi"));
  Reshow();
  Click(res::IDC_HISTORY_PREV);
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB"));
  EXPECT_TRUE(clear->isEnabled());
}

TEST_F(SendDlgTest, SetReceiverLineUpperCasesLikeTyping) {
  Make();
  dlg->SetReceiverLine(QStringLiteral("bob"));
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB"));
}

TEST_F(SendDlgTest, SelectReceiversReplacesTheLineOnOkOnly) {
  std::optional<QString> answer;
  QWidget* askedParent = nullptr;
  SendDlgServices s = Services();
  s.selectReceivers = [&](QWidget* parent) {
    askedParent = parent;
    return answer;
  };
  dlg = new CSendDlg(&owner, std::move(s));
  ASSERT_TRUE(button(res::IDC_OTHERS)->isEnabled());
  receiver()->setText(QStringLiteral("BOB"));
  message()->setPlainText(QStringLiteral("keep"));
  button(res::IDC_OTHERS)->click();  // cancelled
  EXPECT_EQ(askedParent, dlg.data());
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB"));
  answer = QStringLiteral("ALICE CARL");
  button(res::IDC_OTHERS)->click();
  EXPECT_EQ(receiver()->text(), QStringLiteral("ALICE CARL"));
  EXPECT_EQ(message()->toPlainText(), QStringLiteral("keep"));
}

TEST_F(SendDlgTest, AMessageTooLongForOneDatagramIsRefusedBeforeAnythingIsSent) {
  // Two bytes a character in the system code page (CP936): 300 characters fit
  // the 400-character field but not the 424 bytes of one datagram.
  linux::IconvCodePage iconv;
  ui::TextCodec codec(iconv, 936);
  SendDlgServices s = Services();
  s.codec = &codec;
  s.payloadSize = [this](std::string_view sender, std::string_view name, std::string_view text) {
    log.push_back("measure " + std::string(name) + " " + std::to_string(text.size()));
    return sender.size() + name.size() + text.size() + 2;
  };
  dlg = new CSendDlg(&owner, std::move(s));
  dlg->show();
  const QString chinese(300, QChar(0x4E2D));
  Send(QStringLiteral("BOB NOBODY"), chinese);
  // Every name is measured in wire bytes first; the larger excess (3 + 6 +
  // 600 + 2 = 611 bytes for NOBODY) is named; no name check, nothing sent,
  // the dialog keeps its text and stays, the history is untouched.
  EXPECT_EQ(log, (Log{"measure BOB 600", "measure NOBODY 600", "box " + TooLongText(611 - 424)}));
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(message()->toPlainText(), chinese);
  EXPECT_TRUE(dlg->history().empty());

  // Line breaks count as the CR LF they are sent as: 424 bytes exactly go.
  log.clear();
  const QString fits =
      QString(200, QChar(0x4E2D)) + QLatin1Char('\n') + QString(14, QLatin1Char('y'));
  Send(QStringLiteral("BOB"), fits);  // 3 + 3 + (400 + 2 + 14) + 2 = 424
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "measure BOB 416");
  EXPECT_EQ(log[1].rfind("send PC1>BOB:", 0), 0u);
}

// A send that takes its time (the name check of an absent name can take a
// second) runs off the user-interface thread: the window keeps handling
// events meanwhile, and the end of the send comes back to it.
TEST_F(SendDlgTest, SendsInTheBackgroundWhileTheWindowKeepsRunning) {
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false;
  std::atomic<bool> onOtherThread{false};
  const std::thread::id uiThread = std::this_thread::get_id();
  SendQueue queue;
  SendDlgServices s = Services();
  s.sendDatagram = [&](std::string_view, std::string_view name, std::string_view) {
    onOtherThread = std::this_thread::get_id() != uiThread;
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return release; });
    return name == "NOBODY" ? 0 : 1;
  };
  s.runInBackground = [&queue](std::function<void()> job) { return queue.Post(std::move(job)); };
  dlg = new CSendDlg(&owner, std::move(s));
  dlg->show();
  receiver()->setText(QStringLiteral("BOB"));
  message()->setPlainText(QStringLiteral("slow"));
  Click(res::IDC_SEND);
  EXPECT_TRUE(dlg->isSending());
  // The event loop runs while the send waits: a timer fires, a second Send
  // press is ignored.
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);
  // (the send stays blocked until released below, however long this takes)
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 5000));
  EXPECT_TRUE(dlg->isSending());
  Click(res::IDC_SEND);
  EXPECT_TRUE(dlg->isVisible());
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  cv.notify_all();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->isSending(); }, 5000));
  QCoreApplication::processEvents();
  EXPECT_TRUE(onOtherThread);
  EXPECT_FALSE(dlg->isVisible());  // hidden after the send, as ever
  ASSERT_EQ(dlg->history().size(), 1u);
  EXPECT_EQ(dlg->history().pairs()[0].receiverLine, "BOB");

  // A box asked for on the send's thread shows on this one, and the send
  // waits for it: "Sorry, send failed." after the absent name.
  Reshow();
  Send(QStringLiteral("NOBODY"), QStringLiteral("x"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->isSending(); }, 5000));
  EXPECT_EQ(log.back(), "box Sorry, send failed.");
  queue.Stop();
}

}  // namespace
}  // namespace vantrel
