// The Select Receiver dialog driven by control id, over a fake network whose
// enumeration counts its calls and can be held on a latch: the first filling,
// the result on OK, Ctrl and Sel All, Refresh, reopening from the cache, a
// refresh running on its own thread while the window goes on, Cancel and
// close in the middle of one, and resizing.
#include "directory/qt/SelectReceiverDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "directory/qt/NetworkRefresh.h"
#include "qt/NetworkListDlgTest.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"
#include "ui/MultiSelectTree.h"

namespace vantrel {
namespace {

using widgettest::kHomeAndLab;

class SelectReceiverDlgTest : public widgettest::NetworkListDlgTest<CSelectReceiverDlg> {
 protected:
  CSelectReceiverDlg* Open() {
    Show([this] { return new CSelectReceiverDlg(refresh, nullptr, &codec); });
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg));
    return dlg;
  }
  // Opens and waits for the first filling.
  CSelectReceiverDlg* OpenFilled() {
    Open();
    EXPECT_TRUE(WaitFilled());
    return dlg;
  }
  bool WaitFilled() {
    return QTest::qWaitFor([this] { return dlg && !dlg->isRefreshing() && Root(); }, 5000);
  }

  ui::CMultiSelectTree* Tree() const { return dlg->tree(); }
  QTreeWidgetItem* Root() const { return Tree()->topLevelItem(0); }
  QTreeWidgetItem* Find(const QString& text) const {
    const auto found = Tree()->findItems(text, Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
  void ClickItem(const QString& text, Qt::KeyboardModifiers keys = {}) const {
    QTreeWidgetItem* item = Find(text);
    ASSERT_NE(item, nullptr) << text.toStdString();
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, keys,
                      Tree()->visualItemRect(item).center());
  }
  // The tree as text: "text*" for a selected item, children in brackets.
  std::string Shape(QTreeWidgetItem* item = nullptr) const {
    std::string out;
    const int count = item ? item->childCount() : Tree()->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
      QTreeWidgetItem* child = item ? item->child(i) : Tree()->topLevelItem(i);
      if (!out.empty()) out += ' ';
      out += child->text(0).toStdString();
      if (Tree()->IsItemSelected(child)) out += '*';
      if (child->childCount() > 0) {
        out += child->isExpanded() ? "[" : "(collapsed)[";
        out += Shape(child) + "]";
      }
    }
    return out;
  }
};

TEST_F(SelectReceiverDlgTest, FirstOpeningEnumeratesAndSelectsEveryComputer) {
  OpenFilled();
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
  EXPECT_EQ(cache.Entries(), kHomeAndLab);
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
  EXPECT_TRUE(Tree()->hasFocus());
  // The focus came after the filling; the root it made the caret stays
  // unselected.
  EXPECT_EQ(Tree()->currentItem(), Root());
  EXPECT_FALSE(Tree()->IsItemSelected(Root()));

  // Images 0, 1 and 2 of bitmap 139.
  EXPECT_EQ(Root()->icon(0).cacheKey(), dlg->image(CSelectReceiverDlg::kImageNetwork).cacheKey());
  EXPECT_EQ(Find("HOME")->icon(0).cacheKey(),
            dlg->image(CSelectReceiverDlg::kImageGroup).cacheKey());
  EXPECT_EQ(Find("BOB")->icon(0).cacheKey(),
            dlg->image(CSelectReceiverDlg::kImageComputer).cacheKey());
  EXPECT_FALSE(dlg->image(CSelectReceiverDlg::kImageComputer).pixmap(16, 16).isNull());

  // OK at once: every computer name, each followed by a blank, no comment.
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QStringLiteral("ALICE BOB CARL "));
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(SelectReceiverDlgTest, ASelectedGroupStandsForItsComputers) {
  OpenFilled();
  ClickItem(QStringLiteral("HOME"), Qt::ControlModifier);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME*[ALICE Front desk* BOB*] LAB[CARL*]]");
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QStringLiteral("HOME CARL "));
}

TEST_F(SelectReceiverDlgTest, PlainClickThenSelAllAndNothingSelectedGivesTheEmptyLine) {
  OpenFilled();
  ClickItem(QStringLiteral("Entire"));  // only the root: its own bit does not count
  EXPECT_EQ(Shape(), "Entire Nerwork*[HOME[ALICE Front desk BOB] LAB[CARL]]");
  Click(res::IDC_SELECT_ALL);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
  ClickItem(QStringLiteral("Entire"));
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QString());
}

TEST_F(SelectReceiverDlgTest, SelAllExpandsCollapsedBranchesAgain) {
  OpenFilled();
  Find(QStringLiteral("HOME"))->setExpanded(false);
  ClickItem(QStringLiteral("CARL"));
  Click(res::IDC_SELECT_ALL);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
  EXPECT_TRUE(Tree()->hasFocus());
}

TEST_F(SelectReceiverDlgTest, ReopeningUsesTheCacheAndRefreshEnumeratesAgain) {
  OpenFilled();
  Click(res::IDCANCEL);
  EXPECT_FALSE(dlg->isVisible());
  network.Set({"OFFICE", "\\\\DAVE", "\\\\EVE"});

  OpenFilled();  // a new dialog: same content, nothing enumerated
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");

  Click(res::IDC_REFRESH);
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(network.calls, 2);
  EXPECT_EQ(Shape(), "Entire Nerwork[OFFICE[DAVE* EVE*]]");
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QStringLiteral("DAVE EVE "));
}

TEST_F(SelectReceiverDlgTest, AnEmptyNetworkLeavesOnlyTheRoot) {
  network.Set({});
  OpenFilled();
  EXPECT_EQ(Shape(), "Entire Nerwork");
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QString());
  // Nothing was found, so the next opening looks again.
  OpenFilled();
  EXPECT_EQ(network.calls, 2);
}

TEST_F(SelectReceiverDlgTest, OddEntriesOfTheList) {
  // Computers before any group hang from the root and are not groups' computers;
  // an entry of two backslashes alone is skipped; a label without a name gives
  // no receiver; a name in the code page is decoded.
  network.Set({"\\\\LONER", "HOME", "\\\\", "\\\\ ghost", "\\\\J\xDCRGEN Kiosk"});
  OpenFilled();
  EXPECT_EQ(Shape(), "Entire Nerwork[LONER HOME[ ghost* J\u00dcRGEN Kiosk*]]");
  ClickItem(QStringLiteral("LONER"), Qt::ControlModifier);
  Click(res::IDOK);
  EXPECT_EQ(dlg->receiverLine(), QStringLiteral("LONER J\u00dcRGEN "));
}

TEST_F(SelectReceiverDlgTest, TheWindowGoesOnWhileTheNetworkIsEnumerated) {
  network.Hold();
  Open();
  ASSERT_TRUE(QTest::qWaitFor([this] { return network.entered(); }, 5000));
  ExpectBusy({res::IDOK, res::IDC_REFRESH, res::IDC_SELECT_ALL});

  // The event loop runs: a timer ticks and the animation moves on.
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(20);
  ExpectTheAnimationMovesOn();
  EXPECT_GT(ticks, 5);

  network.Release();
  ASSERT_TRUE(WaitFilled());
  EXPECT_FALSE(dlg->animation().isPlaying());
  EXPECT_TRUE(Button(res::IDOK)->isEnabled());
  EXPECT_EQ(dlg->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
  EXPECT_EQ(network.calls, 1);
}

TEST_F(SelectReceiverDlgTest, CancelDuringARefreshIsSafeAndTheLateListIsKept) {
  network.Hold();
  Open();
  ASSERT_TRUE(QTest::qWaitFor([this] { return network.entered(); }, 5000));
  Click(res::IDCANCEL);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
  delete dlg.data();

  network.Release();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !refresh.isRunning(); }, 5000));
  EXPECT_EQ(cache.Entries(), kHomeAndLab);

  // The next opening shows it without asking the network.
  OpenFilled();
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
}

TEST_F(SelectReceiverDlgTest, ClosingDuringARefreshAndReopeningJoinsTheRunningOne) {
  network.Hold();
  Open();
  ASSERT_TRUE(QTest::qWaitFor([this] { return network.entered(); }, 5000));
  dlg->close();  // the close box
  EXPECT_FALSE(dlg->isVisible());

  Open();  // while the first enumeration still runs: it waits for that one
  QTest::qWait(50);
  EXPECT_TRUE(dlg->isRefreshing());
  EXPECT_EQ(network.calls, 1);
  network.Release();
  ASSERT_TRUE(WaitFilled());
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(Shape(), "Entire Nerwork[HOME[ALICE Front desk* BOB*] LAB[CARL*]]");
}

TEST_F(SelectReceiverDlgTest, EscapeEndsTheDialogWithCancel) {
  OpenFilled();
  QTest::keyClick(dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
  EXPECT_EQ(dlg->receiverLine(), QString());
}

TEST_F(SelectReceiverDlgTest, EnlargingGrowsTheTreeAndMovesTheButtonsNeverSmallerThanAtOpening) {
  OpenFilled();
  const QSize opening = dlg->size();
  EXPECT_EQ(dlg->minimumSize(), opening);
  const QRect tree = Tree()->geometry();
  QMap<int, QRect> at;
  for (int id : {res::IDOK, res::IDCANCEL, res::IDC_SELECT_ALL, res::IDC_REFRESH,
                 res::IDC_SEARCH_ANIMATION}) {
    at[id] = ui::FindControlWidget(dlg, id)->geometry();
  }

  dlg->resize(opening + QSize(60, 40));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->size() == opening + QSize(60, 40); }, 2000));
  EXPECT_EQ(Tree()->geometry(), tree.adjusted(0, 0, 60, 40));
  for (auto it = at.cbegin(); it != at.cend(); ++it) {
    EXPECT_EQ(ui::FindControlWidget(dlg, it.key())->geometry(), it.value().translated(60, 0))
        << it.key();
  }

  dlg->resize(opening - QSize(50, 50));  // smaller than at opening: held at the opening size
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->size() == opening; }, 2000));
  EXPECT_EQ(Tree()->geometry(), tree);
  for (auto it = at.cbegin(); it != at.cend(); ++it) {
    EXPECT_EQ(ui::FindControlWidget(dlg, it.key())->geometry(), it.value()) << it.key();
  }
}

TEST(NetworkRefreshTest, OneEnumerationAtATimeAndAFailureFindsNothing) {
  NetworkListCache cache;
  cache.Replace({"OLD"});
  std::atomic<int> calls{0};
  std::atomic<bool> fail{false};
  std::mutex gate;
  gate.lock();
  NetworkRefresh refresh(cache, [&]() -> NetworkNameList {
    ++calls;
    const std::lock_guard wait(gate);
    if (fail) throw std::runtime_error("no network");
    return {"NEW"};
  });
  int finished = 0;
  QObject::connect(&refresh, &NetworkRefresh::finished, [&finished] { ++finished; });
  refresh.Start();
  refresh.Start();
  EXPECT_TRUE(refresh.isRunning());
  EXPECT_EQ(cache.Entries(), NetworkNameList{"OLD"});  // replaced only at the end, as a whole
  gate.unlock();
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, 5000));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(cache.Entries(), NetworkNameList{"NEW"});

  fail = true;
  refresh.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 5000));
  EXPECT_TRUE(cache.empty());
  EXPECT_EQ(cache.generation(), 3u);
}

TEST(NetworkRefreshTest, DestroyedWhileRunningWaitsAndDropsTheList) {
  NetworkListCache cache;
  std::atomic<bool> go{false};
  std::atomic<bool> returned{false};
  std::thread opener;
  {
    NetworkRefresh refresh(cache, [&]() -> NetworkNameList {
      while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      returned = true;
      return {"LATE"};
    });
    refresh.Start();
    opener = std::thread([&go] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      go = true;
    });
  }  // waits for the enumeration; its list has nobody to go to
  EXPECT_TRUE(returned);
  opener.join();
  QCoreApplication::processEvents();
  EXPECT_TRUE(cache.empty());
  EXPECT_EQ(cache.generation(), 0u);
}

}  // namespace
}  // namespace vantrel
