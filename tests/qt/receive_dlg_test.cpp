// The receive window driven through its controls, menus and tool bar, on the
// in-memory registry and a scripted mailslot.

#include "receive/qt/ReceiveDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolBar>
#include <deque>
#include <memory>

#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/IconvCodePage.h"
#include "receive/SavedMessages.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "settings/Options.h"
#include "transport/Datagram.h"
#include "ui/TrayIcon.h"

namespace vantrel {
namespace {

MessageRecord Datagram(std::string_view sender, std::string_view receiver, std::string_view text,
                       std::string_view time = "2003-10-20 09:05:07") {
  return MessageRecord::FromDatagram(BuildMessengerDatagram(sender, receiver, text), time);
}

struct RecordingHook : IHookLibrary {
  std::vector<std::string> calls;
  int StartFunc(uintptr_t window) override {
    calls.push_back(window ? "start" : "start(null)");
    return 1;
  }
  int StopFunc() override {
    calls.push_back("stop");
    return 1;
  }
};

class ReceiveDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res::InitResources();
    system.computerName = "BOB";
  }

  ReceiveContext Context() {
    ReceiveContext c;
    c.registry = &reg;
    c.autostart = &autostart;
    c.system = &system;
    c.messageBox = &boxes;
    c.codePage = &codePage;
    c.isPopupCaptureMode = [this] { return captureMode; };
    c.readMessageSlot = [this](std::vector<MessageRecord>& list, int showResponse) {
      ++polls;
      timerActiveDuringPoll = timerActiveDuringPoll || dlg->pollTimer().isActive();
      while (!slot.empty()) {
        MessageRecord r = std::move(slot.front());
        slot.pop_front();
        if (showResponse || !IsAutomaticMessage(r.Fields().sender)) list.push_back(std::move(r));
      }
      return 1;
    };
    c.sendDatagram = [this](std::string_view s, std::string_view r, std::string_view t) {
      sent.push_back(std::string(s) + "|" + std::string(r) + "|" + std::string(t));
      return 1;
    };
    c.hook = &hook;
    c.trayOwner = &trayOwner;
    c.quit = &quit;
    c.trayAvailable = [this] { return trayAvailable; };
    c.makeSendDialog = [this](QWidget*) {
      auto d = std::make_unique<NullSendDialog>();
      sendDlg = d.get();
      return d;
    };
    c.showAbout = [this](QWidget*) { ++abouts; };
    return c;
  }

  CReceiveDlg& Make() {
    dlg = std::make_unique<CReceiveDlg>(Context());
    EXPECT_TRUE(dlg->Create());
    return *dlg;
  }

  // Puts datagrams into the mailslot and runs one poll.
  void Receive(std::vector<MessageRecord> records) {
    for (auto& r : records) slot.push_back(std::move(r));
    dlg->OnPoll();
  }

  QString Text(int id) {
    if (auto* label = ui::FindControl<QLabel>(dlg.get(), id)) return label->text();
    if (auto* edit = ui::FindControl<QPlainTextEdit>(dlg.get(), id)) return edit->toPlainText();
    return QStringLiteral("<no control %1>").arg(id);
  }
  QCheckBox* Box(int id) { return ui::FindControl<QCheckBox>(dlg.get(), id); }

  QAction* MenuAction(int id) {
    for (QAction* a : ui::FindActions(dlg->menuBar(), id))
      if (qobject_cast<QMenu*>(a->parent())) return a;
    return nullptr;
  }
  QAction* ToolAction(int id) {
    for (QAction* a : dlg->toolBar()->actions())
      if (ui::CommandId(a) == id) return a;
    return nullptr;
  }
  // Opens every drop-down of the menu bar as far as its update rules go.
  void ShowMenus() {
    for (QAction* top : dlg->menuBar()->actions())
      if (QMenu* m = top->menu()) emit m->aboutToShow();
  }
  void ShowWindow() {
    ui::ShowAndActivate(dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
  }
  bool Saved(int n) {
    RegValue v;
    return reg.QueryValue(RootKey::CurrentUser, SavedMessagesKeyPath(), SavedMessageValueName(n),
                          &v) == ERROR_SUCCESS;
  }
  uint32_t Option(std::string_view entry) { return Profile(reg).GetInt(kOptionSection, entry, 99); }

  fakes::FakeRegistry reg;
  fakes::FakeAutostart autostart;
  fakes::FakeSystemInfo system;
  fakes::RecordingMessageBox boxes;
  linux::IconvCodePage codePage;
  RecordingHook hook;
  ui::TrayOwner trayOwner;
  ui::QuitFlag quit;
  bool trayAvailable = true;
  int captureMode = 0;
  std::deque<MessageRecord> slot;
  std::vector<std::string> sent;
  int polls = 0;
  bool timerActiveDuringPoll = false;
  int abouts = 0;
  NullSendDialog* sendDlg = nullptr;
  std::unique_ptr<CReceiveDlg> dlg;
};

TEST_F(ReceiveDlgTest, FirstStartShowsNoMessageAndTheDefaults) {
  CReceiveDlg& d = Make();
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Tessivane"));
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("No message"));
  EXPECT_EQ(Text(res::IDC_MSG_ON), QString());
  EXPECT_EQ(Text(res::IDC_CURRENT_COUNT), QStringLiteral("Current: 0"));
  EXPECT_EQ(Text(res::IDC_TOTAL_COUNT), QStringLiteral("Total: 0"));
  EXPECT_TRUE(Box(res::IDC_AUTO_RESPOND)->isChecked());
  EXPECT_TRUE(Box(res::IDC_SHOW_RESPONSE)->isChecked());
  EXPECT_FALSE(d.windowIcon().isNull());

  // Mailslot mode: the poll runs every second, and nothing of capture mode.
  EXPECT_TRUE(d.pollTimer().isActive());
  EXPECT_EQ(d.pollTimer().interval(), 1000);
  EXPECT_TRUE(d.pollTimer().isSingleShot());
  EXPECT_TRUE(system.commands.empty());
  EXPECT_TRUE(hook.calls.empty());

  // The icon belongs to the receive window.
  ASSERT_NE(d.trayIcon(), nullptr);
  EXPECT_TRUE(d.trayIcon()->isOwner());
  ASSERT_NE(d.trayIcon()->systemTrayIcon(), nullptr);
  EXPECT_EQ(d.trayIcon()->systemTrayIcon()->toolTip(), QStringLiteral("Vantrel"));
}

TEST_F(ReceiveDlgTest, UpdateRulesWithAnEmptyStore) {
  Make();
  ShowMenus();
  for (int id : {res::ID_MESSAGE_DELETE, res::ID_MESSAGE_DELETE_ALL, res::ID_MESSAGE_PREVIOUS,
                 res::ID_MESSAGE_NEXT}) {
    EXPECT_FALSE(MenuAction(id)->isEnabled()) << id;
    EXPECT_FALSE(ToolAction(id)->isEnabled()) << id;
  }
  for (int id : {res::ID_MESSAGE_SEND, res::ID_MESSAGE_RESPONSE}) {
    EXPECT_TRUE(MenuAction(id)->isEnabled()) << id;
    EXPECT_TRUE(ToolAction(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(MenuAction(res::ID_MESSAGE_EXIT)->isEnabled());
  EXPECT_TRUE(MenuAction(res::ID_HELP_ABOUT)->isEnabled());
  EXPECT_FALSE(MenuAction(res::ID_OPTION_USER_INFO)->isEnabled());  // no dialog yet
  EXPECT_FALSE(MenuAction(res::ID_OPTION_AUTO_START)->isChecked());
  EXPECT_TRUE(MenuAction(res::ID_OPTION_AUTO_POPUP)->isChecked());
  EXPECT_FALSE(MenuAction(res::ID_OPTION_AUTO_BEEP)->isChecked());
  EXPECT_FALSE(MenuAction(res::ID_OPTION_AUTO_BEEP)->isChecked());

  // The tool bar: six buttons with their tips, a separator before Send.
  QStringList tips;
  for (QAction* a : dlg->toolBar()->actions()) tips << (a->isSeparator() ? "|" : a->toolTip());
  EXPECT_EQ(tips.join(','), QStringLiteral("Delete,Previous,Next,Delete All,|,Send,Response"));

  // Response with nothing to answer only shows the Send dialog.
  MenuAction(res::ID_MESSAGE_RESPONSE)->trigger();
  EXPECT_EQ(sendDlg->shows(), 1);
  EXPECT_EQ(sendDlg->receiverLineSets(), 0);
}

TEST_F(ReceiveDlgTest, UserInfoOpensWhatTheApplicationGivesModallyOverTheWindow) {
  std::vector<QWidget*> owners;
  ReceiveContext c = Context();
  c.showUserInfo = [&owners](QWidget* owner) { owners.push_back(owner); };
  dlg = std::make_unique<CReceiveDlg>(std::move(c));
  ASSERT_TRUE(dlg->Create());
  ShowMenus();
  ASSERT_TRUE(MenuAction(res::ID_OPTION_USER_INFO)->isEnabled());
  MenuAction(res::ID_OPTION_USER_INFO)->trigger();
  EXPECT_TRUE(dlg->OnCommand(res::ID_OPTION_USER_INFO));
  EXPECT_EQ(owners, (std::vector<QWidget*>{dlg.get(), dlg.get()}));
}

TEST_F(ReceiveDlgTest, ThreeMessagesBrowseAndDelete) {
  Make();
  Receive({Datagram("ALICE", "BOB", "one"), Datagram("CAROL", "BOB", "two"),
           Datagram("DAVE", "BOB", "three")});
  EXPECT_EQ(dlg->store().total(), 3u);
  EXPECT_EQ(dlg->store().current(), 3u);
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("From DAVE to BOB"));
  EXPECT_EQ(Text(res::IDC_MSG_ON), QStringLiteral("On 2003-10-20 09:05:07"));
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("three"));
  EXPECT_EQ(Text(res::IDC_CURRENT_COUNT), QStringLiteral("Current: 3"));
  EXPECT_EQ(Text(res::IDC_TOTAL_COUNT), QStringLiteral("Total: 3"));

  // At the newest: Next off, Previous on, on the tool bar at once and in the
  // menu when it opens.
  EXPECT_FALSE(ToolAction(res::ID_MESSAGE_NEXT)->isEnabled());
  EXPECT_TRUE(ToolAction(res::ID_MESSAGE_PREVIOUS)->isEnabled());
  ShowMenus();
  EXPECT_FALSE(MenuAction(res::ID_MESSAGE_NEXT)->isEnabled());
  EXPECT_TRUE(MenuAction(res::ID_MESSAGE_DELETE)->isEnabled());

  ToolAction(res::ID_MESSAGE_PREVIOUS)->trigger();
  ToolAction(res::ID_MESSAGE_PREVIOUS)->trigger();
  EXPECT_EQ(dlg->store().current(), 1u);
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("one"));
  EXPECT_FALSE(ToolAction(res::ID_MESSAGE_PREVIOUS)->isEnabled());
  EXPECT_FALSE(dlg->OnCommand(res::ID_MESSAGE_PREVIOUS));  // disabled: nothing happens
  EXPECT_EQ(dlg->store().current(), 1u);
  ToolAction(res::ID_MESSAGE_NEXT)->trigger();
  EXPECT_EQ(Text(res::IDC_CURRENT_COUNT), QStringLiteral("Current: 2"));

  // At position 2, Delete leaves position 2, now the former third message.
  MenuAction(res::ID_MESSAGE_DELETE)->trigger();
  EXPECT_EQ(dlg->store().total(), 2u);
  EXPECT_EQ(dlg->store().current(), 2u);
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("three"));
  EXPECT_EQ(Text(res::IDC_TOTAL_COUNT), QStringLiteral("Total: 2"));
  // The deletion is saved at once.
  EXPECT_TRUE(Saved(0));
  EXPECT_TRUE(Saved(1));
  EXPECT_FALSE(Saved(2));

  // At the last position, Delete shows the new last one.
  Receive({Datagram("ERIN", "BOB", "four")});
  ASSERT_EQ(dlg->store().current(), 3u);
  ToolAction(res::ID_MESSAGE_DELETE)->trigger();
  EXPECT_EQ(dlg->store().current(), 2u);
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("three"));
}

TEST_F(ReceiveDlgTest, DeletingTheLastMessageHidesTheWindow) {
  Make();
  Receive({Datagram("ALICE", "BOB", "only")});
  ShowWindow();
  MenuAction(res::ID_MESSAGE_DELETE)->trigger();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("No message"));
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QString());
  EXPECT_EQ(Text(res::IDC_CURRENT_COUNT), QStringLiteral("Current: 0"));
  EXPECT_EQ(Text(res::IDC_TOTAL_COUNT), QStringLiteral("Total: 0"));
  EXPECT_FALSE(Saved(0));

  Receive({Datagram("ALICE", "BOB", "a"), Datagram("CAROL", "BOB", "b")});
  ShowWindow();
  MenuAction(res::ID_MESSAGE_DELETE_ALL)->trigger();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->store().RecordCount(), 0u);
  EXPECT_EQ(Text(res::IDC_TOTAL_COUNT), QStringLiteral("Total: 0"));
  RegValue v;
  EXPECT_EQ(reg.OpenKey(RootKey::CurrentUser, SavedMessagesKeyPath()), ERROR_SUCCESS);
  EXPECT_FALSE(Saved(0));
}

TEST_F(ReceiveDlgTest, ArrivalsAreSavedAndComeBackAfterARestart) {
  Make();
  Receive({Datagram("ALICE", "BOB", "first"), Datagram("~CAROL", "BOB", "I've got it")});
  EXPECT_TRUE(Saved(0));
  EXPECT_FALSE(Saved(1));  // automatic answers are never saved
  EXPECT_EQ(polls, 1);
  EXPECT_FALSE(timerActiveDuringPoll);
  EXPECT_TRUE(dlg->pollTimer().isActive());  // started again after the poll

  dlg.reset();
  Make();
  EXPECT_EQ(dlg->store().total(), 1u);
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("From ALICE to BOB"));
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("first"));
}

TEST_F(ReceiveDlgTest, ArrivalsPopUpBeepAndAnswerAsTheOptionsSay) {
  Make();
  EXPECT_FALSE(dlg->isVisible());
  Receive({Datagram("ALICE", "BOB", "hello")});
  EXPECT_TRUE(dlg->isVisible());  // Auto Popup is on at a first start
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], "~BOB|ALICE|I've got your message on 2003-10-20 09:05:07.");
  EXPECT_EQ(system.beeps, 0);

  // Auto Respond off (the box), Auto Popup off, Auto Beep on (the menu).
  QTest::mouseClick(Box(res::IDC_AUTO_RESPOND), Qt::LeftButton);
  MenuAction(res::ID_OPTION_AUTO_POPUP)->trigger();
  MenuAction(res::ID_OPTION_AUTO_BEEP)->trigger();
  dlg->hide();
  Receive({Datagram("CAROL", "BOB", "again")});
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(sent.size(), 1u);
  EXPECT_EQ(system.beeps, 1);
}

TEST_F(ReceiveDlgTest, CheckBoxesAndOptionCommandsWriteTheOptions) {
  reg.CreateKey(RootKey::LocalMachine, kRunKeyPath);
  Make();
  ShowWindow();
  QTest::mouseClick(Box(res::IDC_AUTO_RESPOND), Qt::LeftButton);
  EXPECT_EQ(Option(kOptAutoRespond), 0u);
  EXPECT_FALSE(dlg->autoRespond());
  QTest::mouseClick(Box(res::IDC_SHOW_RESPONSE), Qt::LeftButton);
  EXPECT_EQ(Option(kOptShowResponse), 0u);
  QTest::mouseClick(Box(res::IDC_SHOW_RESPONSE), Qt::LeftButton);
  EXPECT_EQ(Option(kOptShowResponse), 1u);

  MenuAction(res::ID_OPTION_AUTO_POPUP)->trigger();
  EXPECT_EQ(Option(kOptAutoPopup), 0u);
  ShowMenus();
  EXPECT_FALSE(MenuAction(res::ID_OPTION_AUTO_POPUP)->isChecked());

  // Auto Beep: on starts the beep service, off stops it; never stored.
  MenuAction(res::ID_OPTION_AUTO_BEEP)->trigger();
  MenuAction(res::ID_OPTION_AUTO_BEEP)->trigger();
  EXPECT_EQ(system.commands, (std::vector<std::string>{"net start  beep", "net stop  beep"}));
  EXPECT_EQ(Option("AutoBeep"), 99u);

  // Auto Start writes an entry that starts the program's path, then removes it.
  MenuAction(res::ID_OPTION_AUTO_START)->trigger();
  EXPECT_TRUE(dlg->autoStart());
  EXPECT_EQ(autostart.program, "/usr/bin/Vantrel");
  ShowMenus();
  EXPECT_TRUE(MenuAction(res::ID_OPTION_AUTO_START)->isChecked());
  MenuAction(res::ID_OPTION_AUTO_START)->trigger();
  EXPECT_FALSE(autostart.program);

  // The next start shows what was stored.
  dlg.reset();
  Make();
  EXPECT_FALSE(Box(res::IDC_AUTO_RESPOND)->isChecked());
  EXPECT_TRUE(Box(res::IDC_SHOW_RESPONSE)->isChecked());
  EXPECT_FALSE(dlg->autoPopup());
  EXPECT_FALSE(dlg->autoBeep());
}

TEST_F(ReceiveDlgTest, CapturedPopupsAreStoredOnceUntilDeleted) {
  Make();
  const std::string popup =
      "Message from ALICE to BOB on 20.10.2003 10:00:00\r\n\r\nLunch at noon?";
  CopyDataRecord rec{0, static_cast<uint32_t>(popup.size()), popup.data()};
  dlg->OnCopyData(rec);
  ASSERT_EQ(dlg->store().total(), 1u);
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("From ALICE to BOB"));
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("Lunch at noon?"));

  // The same text again, in another case: ignored.
  std::string shouted = popup;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  CopyDataRecord again{0, static_cast<uint32_t>(shouted.size()), shouted.data()};
  dlg->OnCopyData(again);
  EXPECT_EQ(dlg->store().total(), 1u);
  EXPECT_EQ(sent.size(), 1u);  // and not answered again

  // After Delete it counts as new again.
  MenuAction(res::ID_MESSAGE_DELETE)->trigger();
  dlg->OnCopyData(rec);
  EXPECT_EQ(dlg->store().total(), 1u);
  MenuAction(res::ID_MESSAGE_DELETE_ALL)->trigger();
  dlg->OnCopyData(again);
  EXPECT_EQ(dlg->store().total(), 1u);

  // A null text stores nothing but still runs the arrival handling.
  CopyDataRecord none{0, 50, nullptr};
  dlg->OnCopyData(none);
  EXPECT_EQ(dlg->store().total(), 1u);
}

TEST_F(ReceiveDlgTest, CapturedAutomaticAnswersFollowShowResponse) {
  Make();
  QTest::mouseClick(Box(res::IDC_SHOW_RESPONSE), Qt::LeftButton);  // off
  const std::string popup = "Message from ~ALICE to BOB on 20.10.2003 10:00:00\r\nI've got it";
  CopyDataRecord rec{0, static_cast<uint32_t>(popup.size()), popup.data()};
  dlg->OnCopyData(rec);
  EXPECT_EQ(dlg->store().total(), 0u);
  EXPECT_EQ(dlg->lastCapturedText(), popup);  // counts as seen even though dropped

  QTest::mouseClick(Box(res::IDC_SHOW_RESPONSE), Qt::LeftButton);  // on
  const std::string other = "Message from ~ALICE to BOB on 20.10.2003 10:00:01\r\nI've got it";
  CopyDataRecord rec2{0, static_cast<uint32_t>(other.size()), other.data()};
  dlg->OnCopyData(rec2);
  ASSERT_EQ(dlg->store().total(), 1u);
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("From ALICE to BOB"));
  EXPECT_TRUE(sent.empty());  // automatic answers are never answered

  // Response puts the sender without its mark into the Send dialog.
  MenuAction(res::ID_MESSAGE_RESPONSE)->trigger();
  EXPECT_EQ(sendDlg->receiverLine(), "ALICE");
  EXPECT_EQ(sendDlg->shows(), 1);
  ToolAction(res::ID_MESSAGE_SEND)->trigger();
  EXPECT_EQ(sendDlg->shows(), 2);
  EXPECT_EQ(sendDlg->receiverLineSets(), 1);
}

TEST_F(ReceiveDlgTest, OversizedCapturedTextIsCutNeverOverrun) {
  Make();
  std::string popup = "Message from ALICE to BOB on 20.10.2003 10:00:00\r\n";
  popup += std::string(5000, 'x');
  // Exactly the announced bytes, no terminator behind them.
  std::vector<char> bytes(popup.begin(), popup.end());
  CopyDataRecord rec{0, static_cast<uint32_t>(bytes.size()), bytes.data()};
  dlg->OnCopyData(rec);
  ASSERT_EQ(dlg->store().total(), 1u);
  EXPECT_EQ(dlg->lastCapturedText().size(), 1023u);
  const size_t body = 1023 - (popup.find('\n') + 1);
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QString(static_cast<qsizetype>(body), QLatin1Char('x')));
}

TEST_F(ReceiveDlgTest, CloseEscEnterExitAndMinimiseOnlyHide) {
  Make();
  auto hiddenAfter = [&](const std::function<void()>& action) {
    ShowWindow();
    action();
    QApplication::processEvents();
    return !dlg->isVisible() && !dlg->isDestroyed() && dlg->pollTimer().isActive();
  };
  EXPECT_TRUE(hiddenAfter([&] { dlg->close(); }));
  EXPECT_TRUE(hiddenAfter([&] { QTest::keyClick(dlg.get(), Qt::Key_Escape); }));
  EXPECT_TRUE(hiddenAfter([&] { QTest::keyClick(dlg.get(), Qt::Key_Return); }));
  EXPECT_TRUE(hiddenAfter([&] {
    // Enter while the message text has the focus is still the OK command.
    auto* edit = ui::FindControl<QPlainTextEdit>(dlg.get(), res::IDC_MSG_TEXT);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Enter);
  }));
  EXPECT_TRUE(hiddenAfter([&] { MenuAction(res::ID_MESSAGE_EXIT)->trigger(); }));
  EXPECT_TRUE(hiddenAfter([&] { dlg->showMinimized(); }));

  // Still receiving.
  Receive({Datagram("ALICE", "BOB", "still here")});
  EXPECT_EQ(dlg->store().total(), 1u);
}

TEST_F(ReceiveDlgTest, ExitFromTheIconMenuSavesAndEndsTheWindow) {
  Make();
  Receive({Datagram("ALICE", "BOB", "keep me")});
  reg.DeleteKey(RootKey::CurrentUser, SavedMessagesKeyPath());  // lost behind our back
  QSignalSpy destroyed(dlg.get(), &CReceiveDlg::windowDestroyed);

  // The icon menu's Show brings the window up; its Exit ends it.
  QMenu* menu = dlg->trayIcon()->menu();
  menu->actions()[0]->trigger();
  EXPECT_TRUE(dlg->isVisible());
  menu->actions()[2]->trigger();
  EXPECT_EQ(abouts, 1);
  menu->actions()[4]->trigger();
  EXPECT_TRUE(quit.isSet());
  EXPECT_TRUE(QTest::qWaitFor([&] { return destroyed.count() == 1; }, 1000));
  EXPECT_TRUE(dlg->isDestroyed());
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->pollTimer().isActive());
  EXPECT_EQ(dlg->trayIcon()->systemTrayIcon(), nullptr);
  EXPECT_EQ(dlg->store().RecordCount(), 0u);
  EXPECT_EQ(dlg->sendDialog(), nullptr);
  EXPECT_TRUE(Saved(0));
  // Destroyed means destroyed: no more commands or polls.
  EXPECT_FALSE(dlg->OnCommand(res::ID_MESSAGE_SEND));
  const int before = polls;
  dlg->OnPoll();
  EXPECT_EQ(polls, before);
}

TEST_F(ReceiveDlgTest, WithQuitSetTheCloseButtonDestroys) {
  Make();
  ShowWindow();
  quit.Set();
  QSignalSpy destroyed(dlg.get(), &CReceiveDlg::windowDestroyed);
  dlg->close();
  EXPECT_EQ(destroyed.count(), 1);
}

TEST_F(ReceiveDlgTest, EndOfSessionSaves) {
  Make();
  Receive({Datagram("ALICE", "BOB", "a")});
  reg.DeleteKey(RootKey::CurrentUser, SavedMessagesKeyPath());
  dlg->OnQueryEndSession();
  // The saver writes only what changed since its last save; a key lost in
  // between is not noticed, so the session end must not rely on it.
  EXPECT_TRUE(Saved(0));
}

TEST_F(ReceiveDlgTest, PopupCaptureModeStopsTheBeepServiceAndInstallsTheHook) {
  captureMode = 1;
  Make();
  EXPECT_FALSE(dlg->pollTimer().isActive());
  EXPECT_EQ(system.commands, std::vector<std::string>{"net stop  beep"});
  EXPECT_EQ(hook.calls, std::vector<std::string>{"start"});
  // Toggling Auto Beep runs its commands in this mode too.
  MenuAction(res::ID_OPTION_AUTO_BEEP)->trigger();
  EXPECT_EQ(system.commands.back(), "net start  beep");
  dlg->DestroyWindow();
  EXPECT_EQ(system.commands.back(), "net start  beep");
  EXPECT_EQ(hook.calls, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(ReceiveDlgTest, TextsFromTheNetworkAreDecodedAndNeverMarkup) {
  Make();
  // "Jürgen" and "Grüße" in code page 1252; a sender that tries markup.
  Receive({Datagram("J\xDCRGEN", "BOB",
                    "Gr\xFC\xDF"
                    "e\r\nzweite Zeile"),
           Datagram("<b>EVE</b>", "BOB", "<img src=x>")});
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QStringLiteral("From <b>EVE</b> to BOB"));
  auto* from = ui::FindControl<QLabel>(dlg.get(), res::IDC_MSG_FROM);
  EXPECT_EQ(from->textFormat(), Qt::PlainText);
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QStringLiteral("<img src=x>"));
  ToolAction(res::ID_MESSAGE_PREVIOUS)->trigger();
  EXPECT_EQ(Text(res::IDC_MSG_FROM), QString::fromUtf8("From J\u00dcRGEN to BOB"));
  EXPECT_EQ(Text(res::IDC_MSG_TEXT), QString::fromUtf8("Gr\u00fc\u00dfe\nzweite Zeile"));
}

TEST_F(ReceiveDlgTest, WithoutANotificationAreaMinimisingKeepsTheWindowOnTheTaskBar) {
  trayAvailable = false;
  Make();
  EXPECT_TRUE(dlg->trayIcon()->usesOtherHome());
  // The menu bar carries Show, About and Exit.
  QList<QAction*> exits = ui::FindActions(dlg->menuBar(), res::ID_TRAY_EXIT);
  ASSERT_EQ(exits.size(), 1);
  ShowWindow();
  dlg->showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(dlg->isMinimized());
  MenuAction(res::ID_MESSAGE_EXIT)->trigger();
  EXPECT_TRUE(dlg->isVisible());
  QList<QAction*> abouts = ui::FindActions(dlg->menuBar(), res::ID_TRAY_ABOUT);
  ASSERT_EQ(abouts.size(), 1);
  abouts[0]->trigger();
  EXPECT_EQ(this->abouts, 1);  // once, not once per route
  exits[0]->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->isDestroyed(); }, 1000));
}

}  // namespace
}  // namespace vantrel
