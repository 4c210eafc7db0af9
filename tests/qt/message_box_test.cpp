// The real message box (no hook): modal, warning icon, caption "Tessivane",
// the text, one OK button.

#include "ui/MessageBox.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

namespace vantrel {
namespace {

TEST(MessageBox, RealBoxHasTheCaptionIconAndOkButton) {
  ui::SetMessageBoxHook({});
  bool seen = false;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption, text;
  QList<QAbstractButton*> buttons;
  QMessageBox::StandardButton which = QMessageBox::NoButton;
  bool modal = false;

  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
      }
    }
    if (!box) return;
    seen = true;
    icon = box->icon();
    caption = box->windowTitle();
    text = box->text();
    buttons = box->buttons();
    which = box->standardButton(buttons.value(0));
    modal = box->isModal();
    buttons.value(0)->click();
  });
  // Safety net: never leave a box open if the check above did not find it.
  QTimer::singleShot(3000, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });

  ui::ShowMessageBox(QStringLiteral("Sorry, send failed."));

  ASSERT_TRUE(seen);
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(caption, QStringLiteral("Tessivane"));
  EXPECT_EQ(text, QStringLiteral("Sorry, send failed."));
  EXPECT_EQ(buttons.size(), 1);
  EXPECT_EQ(which, QMessageBox::Ok);
  EXPECT_TRUE(modal);
}

TEST(MessageBox, HookReceivesTheTextInstead) {
  QStringList shown;
  ui::SetMessageBoxHook([&shown](const QString& t) { shown << t; });
  ui::QtMessageBox box;
  box.Show("Insufficient memory.");
  ui::SetMessageBoxHook({});
  EXPECT_EQ(shown, QStringList{QStringLiteral("Insufficient memory.")});
}

TEST(MessageBox, ABoxFromAnotherThreadShowsOnThisOneAndThatThreadWaits) {
  QStringList shown;
  Qt::HANDLE shownOn = nullptr;
  ui::SetMessageBoxHook([&](const QString& text) {
    shown << text;
    shownOn = QThread::currentThreadId();
  });
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    ui::QtMessageBox box;
    box.Show("Sorry, can't find name \"J\xC3\x96RG\" in network.");  // UTF-8
    returned = true;
  });
  // The worker waits until this thread has shown the box.
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
  worker.join();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown[0], QStringLiteral("Sorry, can't find name \"J\u00D6RG\" in network."));
  EXPECT_EQ(shownOn, QThread::currentThreadId());

  // Once the program ends, a thread never waits for a box nobody will show.
  ui::AbandonPendingBoxes();
  std::thread late([] { ui::ShowMessageBox(QStringLiteral("too late")); });
  late.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(shown.size(), 1);
  ui::AbandonPendingBoxes(false);
  ui::SetMessageBoxHook({});
}

}  // namespace
}  // namespace vantrel
