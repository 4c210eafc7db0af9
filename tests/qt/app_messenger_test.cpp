// The application object's start-up on fakes: the mode, the boxes, the main
// window started in the notification area, one receiving copy, the end.

#include "app/qt/MessengerApp.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/qt/SingleInstance.h"
#include "directory/linux/RunningProgram.h"
#include "fakes/FakeNetworkDirectory.h"
#include "fakes/FakeSystem.h"
#include "qt/AppTest.h"
#include "receive/SavedMessages.h"
#include "res/ResourceIds.h"
#include "send/qt/SendDlg.h"
#include "transport/Datagram.h"
#include "ui/TrayIcon.h"

namespace vantrel::app {
namespace {

class MessengerAppTest : public widgettest::AppTest {
 protected:
  MessengerAppTest() : AppTest("TessivaneAppTest") {}

  AppServices Services() {
    AppServices s = AppTest::Services();
    s.openMessageSlot = [this] {
      ++slotOpens;
      if (slotResult == SlotOpenResult::kOpened) slotHeld = true;
      return slotResult;
    };
    s.slotHeld = [this] { return slotHeld; };
    s.readMessageSlot = [this](std::vector<MessageRecord>& list, int) {
      for (auto& r : arriving) list.push_back(std::move(r));
      arriving.clear();
      return 1;
    };
    s.startReceiving = [this] { ++receivingStarts; };
    s.programPath = "/opt/vantrel/Vantrel";
    return s;
  }

  // A box that notes what had happened when it was shown.
  struct ProbeBox : fakes::RecordingMessageBox {
    std::function<void()> onShow;
    void Show(std::string_view text) override {
      if (onShow) onShow();
      RecordingMessageBox::Show(text);
    }
  } noticeProbe;
  int slotOpensAtNotice = -1;
  int receivingAtNotice = -1;
  SlotOpenResult slotResult = SlotOpenResult::kOpened;
  bool slotHeld = false;
  int slotOpens = 0;
  int receivingStarts = 0;
  std::vector<MessageRecord> arriving;
};

TEST_F(MessengerAppTest, MailslotModeStartsTheReceiveWindowInTheNotificationArea) {
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.mode(), OperatingMode::kMailslot);
  EXPECT_EQ(slotOpens, 1);
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_NE(app.receiveWindow(), nullptr);
  EXPECT_EQ(app.mainWindow(), app.receiveWindow());
  QApplication::processEvents();
  EXPECT_FALSE(app.receiveWindow()->isVisible());
  EXPECT_TRUE(app.receiveWindow()->pollTimer().isActive());
  EXPECT_TRUE(app.receiveWindow()->trayIcon()->isOwner());
  EXPECT_EQ(receivingStarts, 1);
  ASSERT_NE(app.singleInstance(), nullptr);
  EXPECT_TRUE(app.singleInstance()->isListening());

  // Its Send dialog is the real one, hidden, and has no icon of its own.
  SendDialogPort* port = app.receiveWindow()->sendDialog();
  ASSERT_NE(port, nullptr);
  auto* send = qobject_cast<CSendDlg*>(port->window());
  ASSERT_NE(send, nullptr);
  EXPECT_FALSE(send->isVisible());
  EXPECT_FALSE(send->trayIcon()->isOwner());
  EXPECT_EQ(send->parentWidget(), app.receiveWindow());
}

TEST_F(MessengerAppTest, ResponseFillsTheRealSendDialog) {
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  arriving.push_back(MessageRecord::FromDatagram(BuildMessengerDatagram("~J\xDCRGEN", "PC1", "hi"),
                                                 "2003-10-20 09:05:07"));
  app.receiveWindow()->OnPoll();
  ASSERT_EQ(app.receiveWindow()->store().total(), 1u);
  ASSERT_TRUE(app.receiveWindow()->OnCommand(res::ID_MESSAGE_RESPONSE));
  auto* send = qobject_cast<CSendDlg*>(app.receiveWindow()->sendDialog()->window());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(send));
  auto* receiver = ui::FindControl<QLineEdit>(send, res::IDC_RECEIVER);
  ASSERT_NE(receiver, nullptr);
  EXPECT_EQ(receiver->text(), QString::fromUtf8("J\u00dcRGEN"));  // decoded, mark removed
}

// vantrel-send --list asks the running program: it answers with a fresh
// refresh of its directory, computers sorted as in the Select Receiver dialog.
TEST_F(MessengerAppTest, TheReceivingCopyAnswersAListRequestWithAFreshRefresh) {
  fakes::FakeNetworkDirectory network;
  network.top = {fakes::Provider(
      "SMB",
      {fakes::Domain("LAB", {fakes::Server("SAMBA", "Lab file server"), fakes::Server("carl")})})};
  AppServices s = Services();
  s.directory = &network;
  MessengerApp app(std::move(s));
  ASSERT_TRUE(app.InitInstance());

  auto ask = [&] {
    std::optional<NetworkNameList> answer;
    std::atomic<bool> done{false};
    std::thread client([&] {
      answer = linux::AskRunningProgramForList(linux::LocalServerPath(name.toStdString()),
                                               std::chrono::milliseconds(5000));
      done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 7000));
    client.join();
    return answer;
  };
  EXPECT_EQ(ask(), (NetworkNameList{"LAB", "\\\\carl", "\\\\SAMBA Lab file server"}));
  EXPECT_EQ(network.sessions, 1);
  network.top[0].children.push_back(fakes::Domain("HOME"));  // each request refreshes
  EXPECT_EQ(ask(), (NetworkNameList{"LAB", "\\\\carl", "\\\\SAMBA Lab file server", "HOME"}));
  EXPECT_EQ(network.sessions, 2);
  EXPECT_FALSE(app.receiveWindow()->isVisible());  // the window stays where it was
}

TEST_F(MessengerAppTest, AnotherReceiverMeansSenderOnlyWithTheBox) {
  slotResult = SlotOpenResult::kHeldByOther;
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.mode(), OperatingMode::kSenderOnly);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0],
            "Another message reciever is running.\nSo you only can use Tessivane as sender.");
  EXPECT_EQ(app.receiveWindow(), nullptr);
  ASSERT_NE(app.senderOnlyWindow(), nullptr);
  EXPECT_EQ(app.mainWindow(), app.senderOnlyWindow());
  QApplication::processEvents();
  EXPECT_FALSE(app.senderOnlyWindow()->isVisible());
  EXPECT_TRUE(app.senderOnlyWindow()->trayIcon()->isOwner());
  EXPECT_EQ(receivingStarts, 0);
  EXPECT_EQ(app.singleInstance(), nullptr);  // a sender-only copy does not stop a second start

  // The icon's Exit ends the Send dialog and with it the program.
  QSignalSpy ended(&app, &MessengerApp::mainWindowDestroyed);
  QMenu* menu = app.senderOnlyWindow()->trayIcon()->menu();
  menu->actions()[4]->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 2000));
  EXPECT_EQ(app.senderOnlyWindow(), nullptr);
}

TEST_F(MessengerAppTest, MissingPermissionIsToldWithTheRemedy) {
  slotResult = SlotOpenResult::kNoPermission;
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.mode(), OperatingMode::kSenderOnly);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("setcap 'cap_net_bind_service=+ep' /opt/vantrel/Vantrel"),
            std::string::npos);
  EXPECT_EQ(boxes.shown[0].find("Another message reciever"), std::string::npos);
}

TEST_F(MessengerAppTest, NtWithoutTheMailslotCapturesPopupsOrRefusesTheLanguage) {
  system.platformId = VER_PLATFORM_WIN32_NT;
  slotResult = SlotOpenResult::kHeldByOther;
  system.languageId = 1041;  // Japanese: the English layout
  {
    MessengerApp app(Services());
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.mode(), OperatingMode::kPopupCapture);
    EXPECT_FALSE(app.receiveWindow()->pollTimer().isActive());
    EXPECT_EQ(system.commands, std::vector<std::string>{"net stop  beep"});
    app.receiveWindow()->DestroyWindow();
    EXPECT_EQ(system.commands.back(), "net start  beep");
  }
  system.languageId = 1031;  // German
  ui::TrayOwner owner2;
  AppServices s = Services();
  s.trayOwner = &owner2;
  s.instanceName = name + QStringLiteral("-2");
  MessengerApp app(std::move(s));
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.mode(), OperatingMode::kSenderOnly);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0],
            "Sorry, Vantrel only can recieve message in Simplified Chinese or "
            "English version Windows NT.");
}

TEST_F(MessengerAppTest, SecondStartBringsTheFirstToTheFrontAndEnds) {
  MessengerApp first(Services());
  ASSERT_TRUE(first.InitInstance());
  QApplication::processEvents();
  ASSERT_FALSE(first.receiveWindow()->isVisible());

  ui::TrayOwner otherProcess;
  AppServices s = Services();
  s.trayOwner = &otherProcess;
  MessengerApp second(std::move(s));
  EXPECT_FALSE(second.InitInstance());
  EXPECT_EQ(second.mainWindow(), nullptr);
  EXPECT_EQ(slotOpens, 1);  // the second copy never touched the mailslot
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.receiveWindow()->isVisible(); }, 2000));
}

TEST_F(MessengerAppTest, TerminationSavesAndEndsTheMainWindow) {
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  arriving.push_back(MessageRecord::FromDatagram(BuildMessengerDatagram("ALICE", "PC1", "bye"),
                                                 "2003-10-20 09:05:07"));
  app.receiveWindow()->OnPoll();
  reg.DeleteKey(RootKey::CurrentUser, SavedMessagesKeyPath());
  QSignalSpy ended(&app, &MessengerApp::mainWindowDestroyed);
  QSignalSpy quitting(&app, &MessengerApp::quitRequested);
  app.Terminate();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(quitting.count(), 1);
  EXPECT_TRUE(app.receiveWindow()->isDestroyed());
  EXPECT_TRUE(quit.isSet());
  RegValue v;
  EXPECT_EQ(reg.QueryValue(RootKey::CurrentUser, SavedMessagesKeyPath(), "SavedMsg0", &v),
            ERROR_SUCCESS);
}

TEST_F(MessengerAppTest, StartupNoticeComesOnceTheProgramReceives) {
  // The box waits for OK; by then the mailslot is taken, the window made and
  // receiving started, so nothing waits behind the box.
  const std::string notice = "The settings file was damaged and has been put aside.";
  AppServices s = Services();
  s.startupNotice = notice;
  s.messageBox = &noticeProbe;
  noticeProbe.onShow = [this] {
    slotOpensAtNotice = slotOpens;
    receivingAtNotice = receivingStarts;
  };
  MessengerApp app(std::move(s));
  ASSERT_TRUE(app.InitInstance());
  ASSERT_EQ(noticeProbe.shown, std::vector<std::string>{notice});
  EXPECT_EQ(slotOpensAtNotice, 1);
  EXPECT_EQ(receivingAtNotice, 1);
  ASSERT_NE(app.receiveWindow(), nullptr);
  EXPECT_TRUE(app.receiveWindow()->pollTimer().isActive());

  // In sender-only mode the mode's box comes first, then the notice.
  s = Services();
  s.startupNotice = notice;
  s.instanceName = name + QStringLiteral("-2");
  slotResult = SlotOpenResult::kHeldByOther;
  boxes.shown.clear();
  MessengerApp second(std::move(s));
  ASSERT_TRUE(second.InitInstance());
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1], notice);
  second.OnQueryEndSession();  // sender-only: nothing to save, nothing breaks
  app.receiveWindow()->DestroyWindow();
}

}  // namespace
}  // namespace vantrel::app
