// The Send dialog's two roles: owned by the receive window, and the main
// window of the sender-only mode with the notification-area icon; closing,
// minimising, the icon menu and the Quit flag.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "res/ResourceIds.h"
#include "send/qt/SendDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/QuitFlag.h"
#include "ui/TrayIcon.h"
#include "ui/TrayOwner.h"

namespace vantrel {
namespace {

QIcon TestIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::red);
  return QIcon(pm);
}

void DeleteLaterNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class SendRolesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetMessageBoxHook([this](const QString& text) { boxes.push_back(text.toStdString()); });
  }
  void TearDown() override {
    delete dlg.data();
    ui::SetMessageBoxHook({});
  }

  SendDlgServices Services(bool trayAvailable) {
    SendDlgServices s;
    s.sendDatagram = [this](std::string_view, std::string_view, std::string_view) {
      ++sends;
      return 1;
    };
    s.computerName = [] { return std::string("PC1"); };
    s.quitFlag = &quit;
    s.trayOwner = &trayOwner;
    s.trayAvailable = [trayAvailable] { return trayAvailable; };
    s.showAbout = [this](QWidget* parent) {
      aboutParents.push_back(parent);
      if (duringAbout) duringAbout();
    };
    return s;
  }

  // Sender-only mode: no owner, the dialog is the main window.
  void MakeMain(bool trayAvailable = true) { dlg = new CSendDlg(nullptr, Services(trayAvailable)); }
  // Started as the program starts: shown, minimised and hidden.
  void StartInTray() {
    dlg->show();
    dlg->showMinimized();
    dlg->hide();
  }
  void TriggerMenu(int id) {
    QMenu* menu = dlg->trayIcon()->menu();
    for (QAction* action : menu->actions()) {
      if (ui::CommandId(action) == id) action->trigger();
    }
  }
  QLineEdit* receiver() const { return ui::FindControl<QLineEdit>(dlg, res::IDC_RECEIVER); }

  ui::QuitFlag quit;
  ui::TrayOwner trayOwner;
  QPointer<CSendDlg> dlg;
  std::vector<std::string> boxes;
  std::vector<QWidget*> aboutParents;
  std::function<void()> duringAbout;
  int sends = 0;
};

TEST_F(SendRolesTest, OwnedDialogIsCentredOverItsOwnerOnceAndClosingOnlyHides) {
  QWidget receive;
  receive.setGeometry(300, 200, 600, 500);
  ui::TrayIcon receiveTray(&receive, TestIcon(), trayOwner, [] { return true; });
  ASSERT_TRUE(receiveTray.Add());
  dlg = new CSendDlg(&receive, Services(true));
  EXPECT_FALSE(dlg->trayIcon()->isOwner());

  ui::ShowAndActivate(dlg);  // the receive window's Send command
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
  EXPECT_EQ(dlg->frameGeometry().center(), receive.frameGeometry().center());

  receiver()->setText(QStringLiteral("BOB"));
  QTest::keyClick(receiver(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->isMinimized());
  EXPECT_EQ(receiver()->text(), QStringLiteral("BOB"));  // fields stay

  // Shown again where the user left it.
  dlg->move(20, 30);
  ui::ShowAndActivate(dlg);
  EXPECT_EQ(dlg->pos(), QPoint(20, 30));
  dlg->close();  // the close box
  EXPECT_FALSE(dlg->isVisible());
  ASSERT_FALSE(dlg.isNull());

  // Minimising hides too.
  ui::ShowAndActivate(dlg);
  dlg->showMinimized();
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->isVisible());
  ui::ShowAndActivate(dlg);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isMinimized());

  // Destroying the Send dialog removes nothing of the receive window's icon.
  delete dlg.data();
  EXPECT_NE(receiveTray.systemTrayIcon(), nullptr);
}

TEST_F(SendRolesTest, OwnedDialogIsDestroyedByClosingOnceTheQuitFlagIsSet) {
  QWidget receive;
  trayOwner.Add(&receive);
  dlg = new CSendDlg(&receive, Services(true));
  ui::ShowAndActivate(dlg);
  quit.Set();
  QTest::keyClick(receiver(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  DeleteLaterNow();
  EXPECT_TRUE(dlg.isNull());
}

TEST_F(SendRolesTest, MainWindowOwnsTheIconAndClosingMinimisesAndHides) {
  MakeMain();
  ASSERT_TRUE(dlg->trayIcon()->isOwner());
  ASSERT_NE(dlg->trayIcon()->systemTrayIcon(), nullptr);
  EXPECT_FALSE(dlg->trayIcon()->systemTrayIcon()->icon().isNull());
  StartInTray();
  EXPECT_FALSE(dlg->isVisible());

  TriggerMenu(res::ID_TRAY_SHOW);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
  EXPECT_FALSE(dlg->isMinimized());

  QTest::keyClick(receiver(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(dlg->isMinimized());

  // The left button on the icon brings it back.
  dlg->trayIcon()->OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kLeftButtonDown, {});
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isMinimized());

  // After a send the posted Cancel minimises and hides it as well.
  receiver()->setText(QStringLiteral("BOB"));
  ui::FindControl<QPushButton>(dlg, res::IDC_QUICK_OK)->click();
  EXPECT_EQ(sends, 1);
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(quit.isSet());
}

TEST_F(SendRolesTest, IconMenuAboutAndExitEndTheMainWindow) {
  MakeMain();
  StartInTray();
  TriggerMenu(res::ID_TRAY_ABOUT);
  EXPECT_EQ(aboutParents, (std::vector<QWidget*>{dlg.data()}));

  QSignalSpy destroyed(dlg.data(), &QObject::destroyed);
  TriggerMenu(res::ID_TRAY_EXIT);
  EXPECT_TRUE(quit.isSet());
  ASSERT_FALSE(dlg.isNull());  // the Cancel is posted, not run at once
  QCoreApplication::processEvents();
  DeleteLaterNow();
  EXPECT_TRUE(dlg.isNull());
  EXPECT_EQ(destroyed.count(), 1);
  // Ownership of the icon stays with the window that had it.
  EXPECT_NE(trayOwner.owner(), nullptr);
}

TEST_F(SendRolesTest, ExitWhileAModalBoxIsOpenWaitsForTheBoxToReturn) {
  MakeMain();
  ui::ShowAndActivate(dlg);
  bool aliveAfterExit = false;
  duringAbout = [this, &aliveAfterExit] {
    // The About box's own loop runs the Exit and the posted Cancel.
    TriggerMenu(res::ID_TRAY_EXIT);
    QCoreApplication::processEvents();
    DeleteLaterNow();
    aliveAfterExit = !dlg.isNull();
  };
  TriggerMenu(res::ID_TRAY_ABOUT);
  EXPECT_TRUE(aliveAfterExit);
  ASSERT_FALSE(dlg.isNull());
  QCoreApplication::processEvents();  // the Cancel deferred until the box returned
  DeleteLaterNow();
  EXPECT_TRUE(dlg.isNull());
}

TEST_F(SendRolesTest, WithoutANotificationAreaTheMainWindowCarriesTheMenuAndStaysOnTheTaskBar) {
  MakeMain(/*trayAvailable=*/false);
  QMenuBar* bar = dlg->otherHomeMenuBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 1);
  QMenu* menu = bar->actions()[0]->menu();
  ASSERT_NE(menu, nullptr);
  std::vector<int> ids;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) ids.push_back(ui::CommandId(action));
  }
  EXPECT_EQ(ids, (std::vector<int>{res::ID_TRAY_SHOW, res::ID_TRAY_ABOUT, res::ID_TRAY_EXIT}));
  // The controls sit below the menu bar.
  EXPECT_GE(receiver()->y(), bar->height());

  dlg->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
  QTest::keyClick(receiver(), Qt::Key_Escape);
  EXPECT_TRUE(dlg->isMinimized());
  EXPECT_TRUE(dlg->isVisible());  // it could not come back from hiding

  menu->actions().back()->trigger();  // Exit
  QCoreApplication::processEvents();
  DeleteLaterNow();
  EXPECT_TRUE(dlg.isNull());
}

}  // namespace
}  // namespace vantrel
