// The multi-selection tree driven by real mouse and key events: the widget
// forwards them to the selection rules, the view's own selection state holds
// the bits, and the current item is the caret.
#include "ui/MultiSelectTree.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItem>
#include <cstdlib>
#include <string>

namespace vantrel::ui {
namespace {

// NET
//   HOME: ALICE BOB CARL
//   LAB: DAVE EVE
//   OFFICE (collapsed): FRED GINA
class MultiSelectTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree = new CMultiSelectTree;
    tree->resize(300, 400);
    net = Add(nullptr, "NET");
    home = Add(net, "HOME");
    alice = Add(home, "ALICE");
    bob = Add(home, "BOB");
    carl = Add(home, "CARL");
    lab = Add(net, "LAB");
    dave = Add(lab, "DAVE");
    eve = Add(lab, "EVE");
    office = Add(net, "OFFICE");
    fred = Add(office, "FRED");
    gina = Add(office, "GINA");
    tree->expandAll();
    office->setExpanded(false);
    tree->show();
    tree->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tree));
    tree->setFocus();
  }
  void TearDown() override { delete tree; }

  QTreeWidgetItem* Add(QTreeWidgetItem* parent, const char* name) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, QString::fromLatin1(name));
    return item;
  }

  void Click(QTreeWidgetItem* item, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, keys, tree->visualItemRect(item).center());
  }
  void ClickButton(QTreeWidgetItem* item) {
    const QRect r = tree->visualItemRect(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(r.left() - tree->indentation() / 2, r.center().y()));
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers keys = {}) { QTest::keyClick(tree, key, keys); }

  // The selected items, in pre-order.
  std::string Selected() const {
    std::string out;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
      if (!tree->IsItemSelected(*it)) continue;
      if (!out.empty()) out += ' ';
      out += (*it)->text(0).toStdString();
    }
    return out;
  }
  std::string Current() const {
    return tree->currentItem() ? tree->currentItem()->text(0).toStdString() : "-";
  }
  void SelectOnly(std::initializer_list<QTreeWidgetItem*> items) {
    CMultiSelectTree::Batch batch(tree);
    tree->ClearSelection();
    for (QTreeWidgetItem* item : items) tree->SetItemSelected(item, true);
  }

  CMultiSelectTree* tree = nullptr;
  QTreeWidgetItem *net, *home, *alice, *bob, *carl, *lab, *dave, *eve, *office, *fred, *gina;
};

TEST_F(MultiSelectTreeTest, ClicksSelectLikeTheRulesSay) {
  Click(bob);
  EXPECT_EQ(Selected(), "BOB");
  EXPECT_EQ(Current(), "BOB");
  Click(dave, Qt::ControlModifier);
  Click(lab, Qt::ControlModifier);
  EXPECT_EQ(Selected(), "BOB LAB DAVE");
  Click(dave, Qt::ControlModifier);  // selected: flips off, the others stay
  EXPECT_EQ(Selected(), "BOB LAB");
  EXPECT_EQ(Current(), "DAVE");

  Click(alice);
  Click(carl, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "ALICE BOB CARL");
  EXPECT_EQ(tree->anchor(), alice);
  Click(eve, Qt::ShiftModifier);  // same anchor, longer run
  EXPECT_EQ(Selected(), "ALICE BOB CARL LAB DAVE EVE");
  EXPECT_EQ(Current(), "EVE");

  // Qt's own selection stays out of it.
  EXPECT_FALSE(tree->selectionModel()->hasSelection());
  Click(bob);
  EXPECT_EQ(Selected(), "BOB");
  Click(bob);  // the caret again: stays selected
  EXPECT_EQ(Selected(), "BOB");
}

TEST_F(MultiSelectTreeTest, SelectionsInCollapsedBranchesSurviveAShiftClick) {
  SelectOnly({fred});
  Click(alice, Qt::ControlModifier);
  Click(carl, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "ALICE BOB CARL FRED");
}

TEST_F(MultiSelectTreeTest, TheExpandButtonClearsAndOnlyToggles) {
  Click(bob);
  Click(dave, Qt::ControlModifier);
  ClickButton(office);
  EXPECT_TRUE(office->isExpanded());
  EXPECT_EQ(Selected(), "");
  EXPECT_EQ(Current(), "DAVE");
}

TEST_F(MultiSelectTreeTest, ShiftArrowsGrowAndShrinkTheRun) {
  Click(dave);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "BOB CARL LAB DAVE");
  Key(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), "CARL LAB DAVE");
  EXPECT_EQ(Current(), "CARL");
}

TEST_F(MultiSelectTreeTest, KeysBelowSpaceKeepTheSelectionOthersClearIt) {
  Click(alice);
  Click(carl, Qt::ShiftModifier);
  Key(Qt::Key_Shift);
  Key(Qt::Key_Control);
  Key(Qt::Key_Escape);
  EXPECT_EQ(Selected(), "ALICE BOB CARL");

  Key(Qt::Key_Down);  // only the item below the old caret
  EXPECT_EQ(Selected(), "LAB");
  EXPECT_EQ(Current(), "LAB");
  EXPECT_EQ(tree->anchor(), nullptr);

  Click(dave, Qt::ControlModifier);
  Key(Qt::Key_Space);  // moves nothing: nothing stays selected
  EXPECT_EQ(Selected(), "");
  EXPECT_EQ(Current(), "DAVE");

  // A letter moves the caret to the next item it begins (after the pause that
  // ends the search the Space began).
  QTest::qWait(QApplication::keyboardInputInterval() + 50);
  Key(Qt::Key_E);
  EXPECT_EQ(Selected(), "EVE");
}

TEST_F(MultiSelectTreeTest, TabKeepsTheSelectionAndMovesTheFocusOn) {
  QWidget window;
  new QTreeWidget(&window);  // takes the focus from the tree
  auto* moved = new CMultiSelectTree(&window);
  auto* a = new QTreeWidgetItem(moved, QStringList(QStringLiteral("A")));
  auto* b = new QTreeWidgetItem(moved, QStringList(QStringLiteral("B")));
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  moved->setFocus();
  QTest::mouseClick(moved->viewport(), Qt::LeftButton, {}, moved->visualItemRect(a).center());
  QTest::mouseClick(moved->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    moved->visualItemRect(b).center());
  QTest::keyClick(moved, Qt::Key_Tab);
  EXPECT_FALSE(moved->hasFocus());
  EXPECT_TRUE(moved->IsItemSelected(a));
  EXPECT_TRUE(moved->IsItemSelected(b));
}

TEST_F(MultiSelectTreeTest, DraggingAndOtherButtonsChangeNothing) {
  Click(alice);
  Click(bob, Qt::ControlModifier);
  const QPoint from = tree->visualItemRect(bob).center();
  QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, from);
  QMouseEvent move(QEvent::MouseMove, tree->visualItemRect(eve).center(),
                   tree->viewport()->mapToGlobal(tree->visualItemRect(eve).center()), Qt::NoButton,
                   Qt::LeftButton, Qt::ControlModifier);
  QApplication::sendEvent(tree->viewport(), &move);
  QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualItemRect(eve).center());
  EXPECT_EQ(Selected(), "ALICE");  // the Ctrl-press flipped BOB off; the drag did nothing
  EXPECT_EQ(Current(), "BOB");
  QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualItemRect(dave).center());
  EXPECT_EQ(Selected(), "ALICE");
  EXPECT_EQ(Current(), "BOB");
}

TEST_F(MultiSelectTreeTest, ABatchIsOneChangeAndItemsGoingTakeTheirBitsAndTheAnchor) {
  tree->ClearSelection();  // the focus made NET the caret, and so selected it
  QSignalSpy changes(tree, &QTreeWidget::itemSelectionChanged);
  {
    CMultiSelectTree::Batch batch(tree);
    for (QTreeWidgetItem* item : {alice, bob, carl, dave, eve, fred, gina}) {
      tree->SetItemSelected(item, true);
    }
    tree->SetItemSelected(eve, false);
    EXPECT_EQ(changes.count(), 0);
  }
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(Selected(), "ALICE BOB CARL DAVE FRED GINA");

  Click(alice);
  Click(bob, Qt::ShiftModifier);
  ASSERT_EQ(tree->anchor(), alice);
  delete home;  // with ALICE and BOB
  EXPECT_EQ(tree->anchor(), nullptr);
  // No bit stays behind for a deleted item (only the caret Qt moved on to a
  // neighbour may be selected now).
  qsizetype shown = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) shown += tree->IsItemSelected(*it) ? 1 : 0;
  EXPECT_EQ(tree->selectedCount(), shown);
  EXPECT_LE(shown, 1);
  // An item that keeps its bit itself loses it too when taken out.
  auto* own = new CMultiSelectTree::Item;
  own->setText(0, QStringLiteral("OWN"));
  lab->addChild(own);
  tree->SetItemSelected(own, true);
  EXPECT_TRUE(tree->IsItemSelected(own));
  const qsizetype before = tree->selectedCount();
  lab->removeChild(own);
  EXPECT_FALSE(tree->IsItemSelected(own));
  EXPECT_EQ(tree->selectedCount(), before - 1);
  delete own;

  tree->clear();
  EXPECT_EQ(tree->selectedCount(), 0);
  EXPECT_EQ(tree->anchor(), nullptr);
}

TEST_F(MultiSelectTreeTest, SelectedLabelsArePaintedHighlighted) {
  tree->ClearSelection();
  Click(alice);
  Click(carl, Qt::ControlModifier);
  QApplication::processEvents();
  const QImage shot = tree->viewport()->grab().toImage();
  const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
  const QColor base = tree->palette().color(QPalette::Active, QPalette::Base);
  auto near = [](const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
  };
  // How many pixels of the row have the highlight colour.
  auto highlighted = [&](QTreeWidgetItem* item) {
    const QRect r = tree->visualItemRect(item);
    int count = 0;
    for (int x = r.left(); x <= r.right(); ++x) {
      for (int y = r.top(); y <= r.bottom(); ++y) count += near(shot.pixelColor(x, y), highlight);
    }
    return count;
  };
  EXPECT_GT(highlighted(alice), 100);
  EXPECT_GT(highlighted(carl), 100);  // the caret
  EXPECT_EQ(highlighted(bob), 0);
  EXPECT_EQ(highlighted(dave), 0);
  // Only the label: the row right of the text stays in the window colour.
  const QRect row = tree->visualItemRect(alice);
  EXPECT_TRUE(near(shot.pixelColor(row.right() - 4, row.center().y()), base));
}

TEST_F(MultiSelectTreeTest, TakesThePlaceOfTheBuildersTree) {
  QWidget dialog;
  auto* first = new QPushButton(&dialog);
  auto* plain = new QTreeWidget(&dialog);
  auto* last = new QPushButton(&dialog);
  plain->setObjectName(QStringLiteral("1025"));
  plain->setProperty("controlId", 1025);
  plain->setGeometry(7, 17, 127, 113);
  plain->setRootIsDecorated(true);
  plain->setFocusPolicy(Qt::StrongFocus);
  QWidget::setTabOrder(first, plain);
  QWidget::setTabOrder(plain, last);
  CMultiSelectTree* tree2 = CMultiSelectTree::TakePlaceOf(plain);
  ASSERT_NE(tree2, nullptr);
  EXPECT_EQ(tree2->parentWidget(), &dialog);
  EXPECT_EQ(tree2->geometry(), QRect(7, 17, 127, 113));
  EXPECT_EQ(tree2->objectName(), QStringLiteral("1025"));
  EXPECT_EQ(tree2->property("controlId").toInt(), 1025);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  first->setFocus();
  QTest::keyClick(first, Qt::Key_Tab);
  EXPECT_TRUE(tree2->hasFocus());
  QTest::keyClick(tree2, Qt::Key_Tab);
  EXPECT_TRUE(last->hasFocus());
  EXPECT_EQ(dialog.findChildren<QTreeWidget*>().size(), 1);
  EXPECT_EQ(CMultiSelectTree::TakePlaceOf(nullptr), nullptr);
}

TEST(VirtualKeyCodeTest, MapsKeysToTheCodesThatDecide) {
  const Qt::KeyboardModifiers none;
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_Up, none), 0x26);
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_Down, none), 0x28);
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_Space, none), 0x20);
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_Q, none), 0x51);
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_7, Qt::KeypadModifier), 0x67);
  EXPECT_EQ(CMultiSelectTree::VirtualKeyCode(Qt::Key_F2, none), 0x71);
  for (Qt::Key below : {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Backspace, Qt::Key_Return,
                        Qt::Key_Enter, Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Escape,
                        Qt::Key_CapsLock, Qt::Key_Pause}) {
    EXPECT_LT(CMultiSelectTree::VirtualKeyCode(below, none), 0x20) << below;
  }
  for (Qt::Key above : {Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Left, Qt::Key_Delete,
                        Qt::Key_Comma, Qt::Key_Meta, Qt::Key_Menu, Qt::Key_VolumeUp}) {
    EXPECT_GE(CMultiSelectTree::VirtualKeyCode(above, none), 0x20) << above;
  }
}

}  // namespace
}  // namespace vantrel::ui
