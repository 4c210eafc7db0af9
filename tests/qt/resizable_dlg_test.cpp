// The resizable dialog base on a dialog of its own: what RepositionControls
// is told, MoveControl and GrowControl by id, and the opening size as the
// minimum.
#include "ui/ResizableDlg.h"

#include <gtest/gtest.h>

#include <QTest>
#include <utility>
#include <vector>

#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace vantrel::ui {
namespace {

// Select Receiver's template, with a layout of its own: OK follows the right
// edge, the tree the right and bottom edges.
class RecordingDlg : public CResizableDlg {
 public:
  RecordingDlg() : CResizableDlg(res::kSelectReceiverDialog, nullptr) {}
  std::vector<std::pair<int, int>> calls;

 protected:
  void RepositionControls(int dx, int dy) override {
    calls.emplace_back(dx, dy);
    MoveControl(dx, 0, res::IDOK);
    GrowControl(dx, dy, res::IDC_RECEIVER_TREE);
  }
};

QRect Geometry(const QWidget* dlg, int id) { return FindControlWidget(dlg, id)->geometry(); }

bool Resized(QWidget* dlg, QSize size) {
  dlg->resize(size);
  return QTest::qWaitFor([&] { return dlg->size() == size; }, 2000);
}

TEST(ResizableDlgTest, RepositionGetsEachChangeOnceAndOnlyWhenThereIsOne) {
  RecordingDlg dlg;
  const QSize opening = dlg.size();
  EXPECT_EQ(dlg.openingSize(), opening);
  EXPECT_EQ(dlg.minimumSize(), opening);
  EXPECT_EQ(dlg.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_TRUE(dlg.calls.empty());  // showing at the opening size changes nothing

  const QRect ok = Geometry(&dlg, res::IDOK);
  const QRect tree = Geometry(&dlg, res::IDC_RECEIVER_TREE);
  ASSERT_TRUE(Resized(&dlg, opening + QSize(30, 0)));
  ASSERT_EQ(dlg.calls.size(), 1u);
  EXPECT_EQ(dlg.calls[0], std::make_pair(30, 0));
  EXPECT_EQ(Geometry(&dlg, res::IDOK), ok.translated(30, 0));  // size and height kept
  EXPECT_EQ(Geometry(&dlg, res::IDC_RECEIVER_TREE), tree.adjusted(0, 0, 30, 0));

  ASSERT_TRUE(Resized(&dlg, opening + QSize(30, 0)));  // the same size again
  EXPECT_EQ(dlg.calls.size(), 1u);

  // Back and forth, ending at the opening size: everything where it began.
  ASSERT_TRUE(Resized(&dlg, opening + QSize(100, 70)));
  ASSERT_TRUE(Resized(&dlg, opening + QSize(5, 140)));
  ASSERT_TRUE(Resized(&dlg, opening));
  EXPECT_EQ(dlg.calls.size(), 4u);
  EXPECT_EQ(Geometry(&dlg, res::IDOK), ok);
  EXPECT_EQ(Geometry(&dlg, res::IDC_RECEIVER_TREE), tree);

  // Smaller than at opening: held at the opening size, nothing to tell.
  dlg.resize(opening - QSize(40, 40));
  QTest::qWait(20);
  EXPECT_EQ(dlg.size(), opening);
  EXPECT_EQ(dlg.calls.size(), 4u);
}

TEST(ResizableDlgTest, MoveAndGrowByIdLeaveMissingControlsAndZeroChangesAlone) {
  RecordingDlg dlg;
  const QRect cancel = Geometry(&dlg, res::IDCANCEL);
  EXPECT_EQ(dlg.MoveControl(0, 0, res::IDCANCEL), 0);
  EXPECT_EQ(dlg.MoveControl(5, 5, 4242), 0);
  EXPECT_EQ(Geometry(&dlg, res::IDCANCEL), cancel);
  EXPECT_EQ(dlg.MoveControl(-3, 4, res::IDCANCEL), 1);
  EXPECT_EQ(Geometry(&dlg, res::IDCANCEL), cancel.translated(-3, 4));

  dlg.GrowControl(7, 9, 4242);  // nothing to grow
  dlg.GrowControl(0, 0, res::IDCANCEL);
  dlg.GrowControl(7, 9, static_cast<QWidget*>(nullptr));
  EXPECT_EQ(Geometry(&dlg, res::IDCANCEL), cancel.translated(-3, 4));
  dlg.GrowControl(7, 9, res::IDCANCEL);
  EXPECT_EQ(Geometry(&dlg, res::IDCANCEL), cancel.translated(-3, 4).adjusted(0, 0, 7, 9));
}

}  // namespace
}  // namespace vantrel::ui
