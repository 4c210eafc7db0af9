#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

namespace vantrel::ui {
namespace {

QIcon TestIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::blue);
  return QIcon(pm);
}

std::function<bool()> Available(bool yes) {
  return [yes] { return yes; };
}

TEST(TrayIconTest, FirstWindowOwnsTheOneIcon) {
  ui::TrayOwner owner;
  QWidget receive, send;
  TrayIcon first(&receive, TestIcon(), owner, Available(true));
  TrayIcon second(&send, TestIcon(), owner, Available(true));

  EXPECT_FALSE(second.Remove());  // before anyone owns it
  ASSERT_TRUE(first.Add());
  ASSERT_NE(first.systemTrayIcon(), nullptr);
  EXPECT_EQ(first.systemTrayIcon()->toolTip(), QStringLiteral("Vantrel"));
  EXPECT_FALSE(first.systemTrayIcon()->icon().isNull());

  EXPECT_FALSE(second.Add());  // the Send dialog created later gets no icon
  EXPECT_EQ(second.systemTrayIcon(), nullptr);
  EXPECT_FALSE(second.Remove());  // and removes nothing
  EXPECT_NE(first.systemTrayIcon(), nullptr);
  EXPECT_FALSE(second.OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kLeftButtonDown, {}));

  EXPECT_TRUE(first.Remove());
  EXPECT_EQ(first.systemTrayIcon(), nullptr);
  EXPECT_TRUE(first.isOwner());  // ownership outlives the icon
  EXPECT_FALSE(second.Add());
}

TEST(TrayIconTest, MenuHasShowInBoldAsDefaultAndCarriesTheCommandIds) {
  ui::TrayOwner owner;
  QWidget w;
  TrayIcon tray(&w, TestIcon(), owner, Available(true));
  QMenu* m = tray.menu();
  const QList<QAction*> actions = m->actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_EQ(actions[0]->text(), QStringLiteral("Show"));
  EXPECT_EQ(actions[0]->data().toInt(), 32790);
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_EQ(actions[2]->text(), QStringLiteral("About"));
  EXPECT_EQ(actions[2]->data().toInt(), 32792);
  EXPECT_TRUE(actions[3]->isSeparator());
  EXPECT_EQ(actions[4]->text(), QStringLiteral("Exit"));
  EXPECT_EQ(actions[4]->data().toInt(), 32791);
  EXPECT_EQ(m->defaultAction(), actions[0]);
  EXPECT_TRUE(actions[0]->font().bold());
  EXPECT_FALSE(actions[2]->font().bold());

  QSignalSpy spy(&tray, &TrayIcon::commandTriggered);
  actions[4]->trigger();
  actions[0]->trigger();
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy[0][0].toInt(), 32791);
  EXPECT_EQ(spy[1][0].toInt(), 32790);
}

TEST(TrayIconTest, LeftClickShowsTheWindowRightClickOpensTheMenuAtTheCursor) {
  ui::TrayOwner owner;
  QWidget w;
  w.resize(200, 100);
  TrayIcon tray(&w, TestIcon(), owner, Available(true));
  ASSERT_TRUE(tray.Add());
  EXPECT_FALSE(w.isVisible());

  EXPECT_FALSE(tray.OnTrayNotify(137, ui::TrayMouseEvent::kLeftButtonDown, {}));
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(tray.OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kOther, {}));
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(tray.OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kLeftButtonDown, {}));
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());

  const QPoint cursor(40, 30);
  EXPECT_TRUE(tray.OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kRightButtonUp, cursor));
  QMenu* m = tray.menu();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(m));
  EXPECT_EQ(m->pos(), cursor);
  // A second report of the same click does not open it again elsewhere.
  EXPECT_TRUE(tray.OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kRightButtonUp, {5, 5}));
  EXPECT_EQ(m->pos(), cursor);
  // Choosing nothing closes it.
  QTest::keyClick(m, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([m] { return !m->isVisible(); }, 1000));
}

TEST(TrayIconTest, ShowAndActivateBringsAModalDialogOfTheWindowToTheFront) {
  QWidget w;
  w.resize(200, 100);
  w.showMinimized();
  w.hide();
  QDialog dlg(&w);
  dlg.setModal(true);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  ShowAndActivate(&w);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
  EXPECT_EQ(QApplication::activeWindow(), &dlg);
  dlg.hide();

  // Without a dialog the window itself is active.
  QWidget other;
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  ShowAndActivate(&w);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
  ShowAndActivate(nullptr);  // nothing to show, nothing happens
}

TEST(TrayIconTest, WithoutANotificationAreaTheWindowIsTheOtherHome) {
  ui::TrayOwner owner;
  QWidget w;
  TrayIcon tray(&w, TestIcon(), owner, Available(false));
  EXPECT_TRUE(tray.Add());
  EXPECT_TRUE(tray.isOwner());
  EXPECT_TRUE(tray.usesOtherHome());
  EXPECT_EQ(tray.systemTrayIcon(), nullptr);
  QMenu* home = tray.NewOtherHomeMenu(&w);
  ASSERT_EQ(home->actions().size(), 5);
  QSignalSpy spy(&tray, &TrayIcon::commandTriggered);
  home->actions()[2]->trigger();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toInt(), 32792);

  QWidget notOwner;
  TrayIcon second(&notOwner, TestIcon(), owner, Available(false));
  EXPECT_FALSE(second.Add());
  EXPECT_FALSE(second.usesOtherHome());
}

TEST(TrayIconTest, ANotificationAreaThatAppearsLaterTakesTheIcon) {
  ui::TrayOwner owner;
  QWidget w;
  bool available = false;
  TrayIcon tray(&w, TestIcon(), owner, [&available] { return available; });
  ASSERT_TRUE(tray.Add());
  EXPECT_TRUE(tray.usesOtherHome());
  available = true;
  EXPECT_TRUE(QTest::qWaitFor([&] { return tray.systemTrayIcon() != nullptr; },
                              TrayIcon::kHomeCheckMs * 2));
  EXPECT_FALSE(tray.usesOtherHome());
  EXPECT_EQ(tray.systemTrayIcon()->toolTip(), QStringLiteral("Vantrel"));
  EXPECT_TRUE(tray.Remove());
  EXPECT_EQ(tray.systemTrayIcon(), nullptr);
}

}  // namespace
}  // namespace vantrel::ui
