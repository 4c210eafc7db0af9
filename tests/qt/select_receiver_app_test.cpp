// The Select Receiver dialog as the application wires it: the Send dialog's
// "..." button opens it modally over the real Send dialog, OK replaces the
// receiver line, Cancel leaves it, and the one process-wide cache makes the
// second opening enumerate nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>

#include "app/qt/MessengerApp.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SelectReceiverDlg.h"
#include "qt/AppTest.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"
#include "ui/MultiSelectTree.h"

namespace vantrel::app {
namespace {

class SelectReceiverAppTest : public widgettest::AppTest {
 protected:
  SelectReceiverAppTest() : AppTest("TessivaneSelectTest") {}

  AppServices Services() {
    AppServices s = AppTest::Services();
    s.openMessageSlot = [] { return SlotOpenResult::kHeldByOther; };  // sender only
    s.slotHeld = [] { return false; };
    s.refreshNetworkList = [this](bool captureMode) {
      ++calls;
      lastCaptureMode = captureMode;
      return NetworkNameList{"HOME", "\\\\ALICE Front desk", "\\\\BOB", "LAB", "\\\\CARL"};
    };
    return s;
  }

  // Presses "..." and, once the picker is filled, runs act on it.
  void PickWith(CSendDlg* send, const std::function<void(CSelectReceiverDlg*)>& act) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* picker = qobject_cast<CSelectReceiverDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(picker, nullptr);
      EXPECT_EQ(picker->parentWidget(), send);
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return !picker->isRefreshing() && picker->tree()->topLevelItemCount() == 1; },
          5000));
      ran = true;
      act(picker);
    });
    QPushButton* others = ui::FindControl<QPushButton>(send, res::IDC_OTHERS);
    ASSERT_TRUE(others->isEnabled());
    others->click();  // runs the modal loop until act ends it
    EXPECT_TRUE(ran);
  }

  std::atomic<int> calls{0};
  std::atomic<bool> lastCaptureMode{true};
};

TEST_F(SelectReceiverAppTest, TheSendDialogsButtonPicksReceiversFromTheNetwork) {
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  CSendDlg* send = app.senderOnlyWindow();
  ASSERT_NE(send, nullptr);
  send->show();
  auto* receiver = ui::FindControl<QLineEdit>(send, res::IDC_RECEIVER);
  receiver->setText(QStringLiteral("SOMEONE"));

  PickWith(send, [](CSelectReceiverDlg* picker) {
    ui::CMultiSelectTree* tree = picker->tree();
    QTreeWidgetItem* lab = tree->topLevelItem(0)->child(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualItemRect(lab).center());
    QTest::mouseClick(ui::FindControl<QPushButton>(picker, res::IDOK), Qt::LeftButton);
  });
  EXPECT_EQ(receiver->text(), QStringLiteral("ALICE BOB LAB "));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(lastCaptureMode);  // asked after the start-up: sender-only on 95/98 is not

  // Cancel leaves the line; the second opening took the cache.
  PickWith(send, [](CSelectReceiverDlg* picker) { picker->reject(); });
  EXPECT_EQ(receiver->text(), QStringLiteral("ALICE BOB LAB "));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(app.networkRefresh().cache().Entries().size(), 5u);
}

}  // namespace
}  // namespace vantrel::app
