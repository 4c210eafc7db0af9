// The tree grid as a widget inside a dialog: what it draws (checked on the
// grabbed pixels), the mouse, double click, the keys (Left, Right, Enter,
// Delete, keypad "+", "-", "*"), every hook on its way, the in-place editor
// and scrolling that ends an open edit.

#include "ui/TreeGrid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <string>
#include <vector>

#include "ui/CellEdit.h"

namespace vantrel::ui {
namespace {

const QColor kGray(128, 128, 128);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kHighlight(0, 0, 200);
const QColor kDarkGreen(0, 128, 0);
const QColor kIcon[3] = {QColor(255, 0, 0), QColor(255, 200, 0), QColor(0, 160, 255)};

// Records the hooks and lets a test refuse them.
class RecordingGrid : public CTreeGrid {
 public:
  using CTreeGrid::CTreeGrid;
  std::vector<std::string> log;
  bool allow = true;
  bool editOnClick = false;
  bool blockEnter = false;
  bool mouseDown = true;
  bool doubleClick = true;

  int GetRowImage(const TreeGridNode& node) override {
    return node.Row().Image() < 0 ? 0 : node.Row().Image();
  }
  void OnCellTextCommitted(TreeGridNode* node, int row, int column, const QString& text) override {
    log.push_back("committed " + std::to_string(row) + "," + std::to_string(column) + " " +
                  text.toStdString());
    CTreeGrid::OnCellTextCommitted(node, row, column, text);
  }
  void OnCellClicked(Qt::KeyboardModifiers m, const QPoint& p, const TreeGridHit& hit) override {
    log.push_back("clicked " + std::to_string(hit.row) + "," + std::to_string(hit.column));
    if (editOnClick) CTreeGrid::OnCellClicked(m, p, hit);
  }
  bool OnRowExpanding(TreeGridNode* n, int) override { return Ask("expanding", n); }
  void OnRowExpanded(TreeGridNode* n, int) override { Note("expanded", n); }
  bool OnRowCollapsing(TreeGridNode* n) override { return Ask("collapsing", n); }
  void OnRowCollapsed(TreeGridNode* n) override { Note("collapsed", n); }
  bool OnDeleteKey(TreeGridNode* n, int) override { return Ask("delete", n); }
  bool OnExpandAllKey(TreeGridNode* n, int) override { return Ask("*", n); }
  bool OnCollapseKey(TreeGridNode* n, int) override { return Ask("-", n); }
  bool OnExpandKey(TreeGridNode* n, int) override { return Ask("+", n); }
  bool IsEnterEditBlocked() override { return blockEnter; }
  bool OnRowMouseDown(const TreeGridHit&) override { return mouseDown; }
  bool OnRowDoubleClick(const TreeGridHit& hit) override {
    log.push_back("double " + std::to_string(hit.row));
    return doubleClick;
  }

 private:
  bool Ask(const std::string& what, TreeGridNode* n) {
    Note(what, n);
    return allow;
  }
  void Note(const std::string& what, TreeGridNode* n) {
    log.push_back(what + " " + n->Row().Label());
  }
};

std::unique_ptr<TreeGridRow> Row(const std::string& label, int image,
                                 std::vector<std::string> cells = {"", ""}) {
  auto row = std::make_unique<TreeGridRow>();
  row->SetLabel(label);
  row->SetImage(image);
  for (auto& c : cells) row->AppendCell(c);
  return row;
}

QPixmap Filled(const QColor& c) {
  QPixmap p(16, 16);
  p.fill(c);
  return p;
}

class TreeGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.resize(460, 320);
    grid = new RecordingGrid(&dialog);
    QPalette pal = grid->palette();
    pal.setColor(QPalette::Base, kWhite);
    pal.setColor(QPalette::Text, kBlack);
    pal.setColor(QPalette::Highlight, kHighlight);
    pal.setColor(QPalette::HighlightedText, kWhite);
    grid->setPalette(pal);
    grid->setGeometry(10, 10, 400, 240);
    ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    ok->setGeometry(10, 270, 60, 24);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    grid->InsertColumn(0, QStringLiteral("Computer"), 200);
    grid->InsertColumn(1, QStringLiteral("Alias"), 100);
    grid->InsertColumn(2, QStringLiteral("Black List"), 80, Qt::AlignRight);
    grid->SetSmallImageList({Filled(kIcon[0]), Filled(kIcon[1]), Filled(kIcon[2])}, 16, 16);

    // Net > HOME (ALICE, BOB), LAB (CARL); everything shown.
    net = grid->InsertRootRow(Row("Entire Nerwork", 0));
    home = grid->InsertChildRow(net, Row("HOME", 1), false);
    alice = grid->InsertChildRow(home, Row("ALICE Front desk", 2, {"al", "5"}), false);
    bob = grid->InsertChildRow(home, Row("BOB", 2), false);
    lab = grid->InsertChildRow(net, Row("LAB", 1), false);
    carl = grid->InsertChildRow(lab, Row("CARL", 2), false);
    int last = -1;
    grid->ExpandAllBelow(net, &last);
    EXPECT_EQ(last, 5);

    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    grid->setFocus();
  }

  QImage Shot() { return grid->viewport()->grab().toImage(); }
  QColor At(const QImage& img, int x, int y) { return img.pixelColor(x, y); }
  QPoint CellCentre(int row, int column) { return grid->CellRect(row, column).center(); }
  uimodel::TreeGridRowLayout Layout(int row) {
    return uimodel::LayoutRow(*grid->NodeAt(row), 0, grid->RowRect(row).top(),
                              {16, 16, grid->RowHeight(), grid->ColumnWidth(0)});
  }
  void Click(QPoint p) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, p); }
  // What the window system sends for a double click: press, release, double
  // click, release.
  void DoubleClick(QPoint p) {
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, p);
  }
  CCellEdit* Editor() { return grid->findChild<CCellEdit*>(); }
  std::vector<std::string> Shown() {
    std::vector<std::string> out;
    for (int i = 0; i < grid->RowCount(); ++i) out.push_back(grid->NodeAt(i)->Row().Label());
    return out;
  }
  static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QDialog dialog;
  RecordingGrid* grid = nullptr;
  QPushButton* ok = nullptr;
  TreeGridNode *net, *home, *alice, *bob, *lab, *carl;
};

using Labels = std::vector<std::string>;

// ---- Drawing -----------------------------------------------------------------

TEST_F(TreeGridTest, TheCurrentCellOfTheSelectedRowIsDarkGreenAndNoOtherRowShowsOne) {
  grid->SelectRow(2);
  QTest::keyClick(grid, Qt::Key_Right);  // current column 1
  QImage img = Shot();
  const QRect cell = grid->CellRect(2, 1);
  EXPECT_EQ(At(img, cell.left() + 3, cell.top() + 2), kDarkGreen);
  // The focus rectangle runs along its edge, dotted in the text colour.
  int light = 0;
  for (int x = cell.left() + 1; x < cell.right() - 1; ++x)
    light += At(img, x, cell.top()) == kWhite ? 1 : 0;
  EXPECT_GT(light, 5);
  // The rest of the selected row is highlighted; other rows show no current cell.
  const QRect other = grid->CellRect(2, 2);
  EXPECT_EQ(At(img, other.left() + 3, other.top() + 2), kHighlight);
  const QRect below = grid->CellRect(3, 1);
  EXPECT_EQ(At(img, below.left() + 3, below.top() + 2), kWhite);
  // Column 0 current: the label part from behind the icon is green.
  QTest::keyClick(grid, Qt::Key_Left);
  img = Shot();
  const auto l = Layout(2);
  EXPECT_EQ(At(img, l.fillLeft + 3, l.labelRect.y + 2), kDarkGreen);
  EXPECT_EQ(At(img, cell.left() + 3, cell.top() + 2), kHighlight);
}

TEST_F(TreeGridTest, IconsAndConnectorLinesFollowTheTree) {
  const QImage img = Shot();
  const int h = grid->RowHeight();
  auto top = [&](int row) { return grid->RowRect(row).top(); };
  // Icons by each row's image, indented by level.
  EXPECT_EQ(At(img, 16 + 8, top(0) + h / 2), kIcon[0]);
  EXPECT_EQ(At(img, 32 + 8, top(1) + h / 2), kIcon[1]);
  EXPECT_EQ(At(img, 48 + 8, top(2) + h / 2), kIcon[2]);

  // Top level: no connector above its box.
  const auto l0 = Layout(0);
  EXPECT_EQ(At(img, l0.connectorX, top(0) + 1), kWhite);
  // HOME has a later sibling (LAB): a T, the line runs to the row's bottom.
  const auto l1 = Layout(1);
  EXPECT_EQ(At(img, l1.connectorX, top(1) + 1), kGray);
  EXPECT_EQ(At(img, l1.connectorX, top(1) + h - 2), kGray);
  // LAB is the last child: an L, nothing below the middle but its box.
  const auto l4 = Layout(4);
  EXPECT_EQ(At(img, l4.connectorX, top(4) + 1), kGray);
  EXPECT_EQ(At(img, l4.connectorX, top(4) + h - 2), kWhite);
  // ALICE (T) and BOB (L) under HOME, with HOME's line running through BOB's row.
  const auto l2 = Layout(2), l3 = Layout(3);
  EXPECT_EQ(At(img, l2.connectorX, top(2) + h - 2), kGray);
  EXPECT_EQ(At(img, l2.connectorX + 4, l2.middleY), kGray);  // toward the icon
  EXPECT_EQ(At(img, l3.connectorX, top(3) + 1), kGray);
  EXPECT_EQ(At(img, l3.connectorX, top(3) + h - 2), kWhite);
  EXPECT_EQ(At(img, l1.connectorX, top(3) + h - 2), kGray);
  // CARL's row: nothing at HOME's level, LAB being the last.
  EXPECT_EQ(At(img, l1.connectorX, top(5) + h - 2), kWhite);
}

TEST_F(TreeGridTest, PlusAndMinusBoxesShowTheState) {
  QFont tall = grid->font();
  tall.setPixelSize(24);  // rows well taller than the icons
  grid->setFont(tall);
  ASSERT_GT(grid->RowHeight(), 16 + 4);
  grid->CollapseRow(lab);
  const QImage img = Shot();
  const auto expanded = Layout(1);  // HOME: minus, and a line down to its first child
  EXPECT_EQ(At(img, expanded.connectorX - 2, expanded.middleY), kBlack);
  EXPECT_EQ(At(img, expanded.connectorX, expanded.middleY - 2), kWhite);
  EXPECT_EQ(At(img, expanded.childConnectorX, expanded.iconY + 16 + 1), kGray);
  const auto collapsed = Layout(4);  // LAB: plus
  EXPECT_EQ(At(img, collapsed.connectorX + 2, collapsed.middleY), kBlack);
  EXPECT_EQ(At(img, collapsed.connectorX, collapsed.middleY - 2), kBlack);
  EXPECT_EQ(At(img, collapsed.boxRect.x, collapsed.boxRect.y + 3), kGray);  // the frame
  // A leaf has no box.
  const auto leaf = Layout(2);
  EXPECT_FALSE(leaf.box);
  EXPECT_EQ(At(img, leaf.connectorX - 2, leaf.middleY), kWhite);
}

// True when no pixel of the rectangle differs from colour.
bool Plain(const QImage& img, QRect r, const QColor& colour) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.pixelColor(x, y) != colour) return false;
  return true;
}

TEST_F(TreeGridTest, TextIsShortenedAtItsCellAlignedAsTheColumnAndEmptyCellsStayBlank) {
  grid->SetCellText(bob, 1, std::string(80, 'W') + "tail one");
  grid->SetCellText(carl, 1, std::string(80, 'W') + "other end");
  grid->SetCellText(alice, 2, "7");
  QImage img = Shot();
  // The long texts end in "..." inside the cell: the same cut, whatever follows.
  const QRect b = grid->CellRect(3, 1).adjusted(1, 1, -2, -2);
  const QRect c = grid->CellRect(5, 1).adjusted(1, 1, -2, -2);
  EXPECT_EQ(img.copy(b), img.copy(c));
  EXPECT_FALSE(Plain(img, b, kWhite));
  // Their last 6 pixels (the margin) stay clear.
  EXPECT_TRUE(Plain(img, QRect(b.right() - 4, b.top(), 4, b.height()), kWhite));
  // An empty cell draws nothing but its background.
  EXPECT_TRUE(Plain(img, grid->CellRect(4, 2).adjusted(1, 1, -2, -2), kWhite));
  // A right-aligned column puts a short text at its right.
  const QRect r = grid->CellRect(2, 2).adjusted(1, 1, -2, -2);
  EXPECT_TRUE(Plain(img, QRect(r.left(), r.top(), r.width() / 2, r.height()), kWhite));
  EXPECT_FALSE(Plain(img, QRect(r.center().x(), r.top(), r.width() / 2, r.height()), kWhite));
}

TEST_F(TreeGridTest, GridLinesSeparateRowsAndColumnsDownToTheLastRow) {
  const QImage img = Shot();
  const int h = grid->RowHeight();
  EXPECT_EQ(At(img, 199, h + 3), kGray);       // after column 0
  EXPECT_EQ(At(img, 299, h + 3), kGray);       // after column 1
  EXPECT_EQ(At(img, 250, h - 1), kGray);       // under row 0
  EXPECT_EQ(At(img, 250, 6 * h + 3), kWhite);  // below the last row: nothing
  EXPECT_EQ(At(img, 199, 6 * h + 3), kWhite);
}

// ---- Mouse -------------------------------------------------------------------

TEST_F(TreeGridTest, AClickOnTheBoxTogglesWithoutSelecting) {
  grid->SelectRow(2);
  const auto box = Layout(1).boxRect;
  Click(QPoint(box.x + box.width / 2, box.y + box.height / 2));
  EXPECT_EQ(Shown(), Labels({"Entire Nerwork", "HOME", "LAB", "CARL"}));
  EXPECT_EQ(grid->log, std::vector<std::string>({"collapsing HOME", "collapsed HOME"}));
  EXPECT_EQ(grid->SelectedRow(), -1);  // ALICE hid with its row
  grid->SelectRow(3);
  Click(QPoint(box.x + box.width / 2, box.y + box.height / 2));
  EXPECT_EQ(Shown().size(), 6u);
  EXPECT_EQ(grid->SelectedRow(), 5);  // still CARL
  EXPECT_TRUE(bob->IsCollapsed());

  grid->log.clear();
  grid->allow = false;
  Click(QPoint(box.x + box.width / 2, box.y + box.height / 2));
  EXPECT_EQ(Shown().size(), 6u);
  EXPECT_EQ(grid->log, std::vector<std::string>({"collapsing HOME"}));
}

TEST_F(TreeGridTest, AClickOnACellSelectsItsRowAndMakesItsColumnCurrent) {
  Click(CellCentre(3, 2));
  EXPECT_EQ(grid->SelectedRow(), 3);
  EXPECT_EQ(grid->CurrentColumn(), 2);
  EXPECT_EQ(grid->log, std::vector<std::string>({"clicked 3,2"}));
  // Below the last row, or refused by the mouse-down hook: nothing.
  grid->log.clear();
  Click(QPoint(50, grid->RowHeight() * 6 + 5));
  EXPECT_EQ(grid->SelectedRow(), 3);
  grid->mouseDown = false;
  Click(CellCentre(1, 1));
  EXPECT_EQ(grid->SelectedRow(), 3);
  EXPECT_TRUE(grid->log.empty());
}

TEST_F(TreeGridTest, TheBaseClickOpensTheEditorOnTheClickedCell) {
  grid->editOnClick = true;
  Click(CellCentre(2, 1));
  CCellEdit* editor = Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->objectName(), QStringLiteral("4660"));
  EXPECT_EQ(editor->text(), QStringLiteral("al"));
  EXPECT_EQ(editor->geometry().left(), grid->CellRect(2, 1).left());
  EXPECT_TRUE(editor->hasFocus());
}

TEST_F(TreeGridTest, DoubleClickTogglesTheSelectedRowUnlessTheHookRefuses) {
  DoubleClick(CellCentre(4, 1));
  EXPECT_EQ(Shown(), Labels({"Entire Nerwork", "HOME", "ALICE Front desk", "BOB", "LAB"}));
  EXPECT_EQ(grid->SelectedRow(), 4);
  DoubleClick(CellCentre(4, 1));
  EXPECT_EQ(Shown().size(), 6u);
  grid->doubleClick = false;
  grid->log.clear();
  DoubleClick(CellCentre(4, 1));
  EXPECT_EQ(Shown().size(), 6u);
  EXPECT_EQ(grid->log, std::vector<std::string>({"clicked 4,1", "double 4"}));
  // On a leaf nothing toggles.
  grid->doubleClick = true;
  DoubleClick(CellCentre(5, 0));
  EXPECT_EQ(Shown().size(), 6u);
}

TEST_F(TreeGridTest, ADoubleClickOnTheBoxTogglesOncePerClick) {
  const auto box = Layout(1).boxRect;
  DoubleClick(QPoint(box.x + box.width / 2, box.y + box.height / 2));
  EXPECT_EQ(grid->log, std::vector<std::string>({"collapsing HOME", "collapsed HOME", "double 1",
                                                 "expanding HOME", "expanded HOME"}));
  EXPECT_EQ(Shown().size(), 6u);
  EXPECT_EQ(grid->SelectedRow(), -1);
}

// ---- Keys --------------------------------------------------------------------

TEST_F(TreeGridTest, LeftAndRightMoveTheCurrentColumnAndStopAtTheEnds) {
  grid->SelectRow(1);
  QTest::keyClick(grid, Qt::Key_Left);
  EXPECT_EQ(grid->CurrentColumn(), 0);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Right);
  EXPECT_EQ(grid->CurrentColumn(), 2);
  QTest::keyClick(grid, Qt::Key_Right);
  EXPECT_EQ(grid->CurrentColumn(), 2);
  EXPECT_EQ(grid->SelectedRow(), 1);
}

TEST_F(TreeGridTest, RightScrollsANewCurrentColumnIntoView) {
  grid->SetColumnWidth(1, 300);
  grid->SelectRow(0);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Right);
  const QRect cell = grid->CellRect(0, 2);
  EXPECT_GE(cell.left(), 0);
  EXPECT_GT(grid->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(grid->Header()->offset(), grid->horizontalScrollBar()->value());
}

TEST_F(TreeGridTest, EnterEditsTheCurrentCellAndTheDialogStaysOpen) {
  grid->SelectRow(3);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Return);
  QPointer<CCellEdit> editor = Editor();
  ASSERT_FALSE(editor.isNull());
  QTest::keyClicks(editor, QStringLiteral("bobby"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(bob->Row().Cell(0), "bobby");
  EXPECT_EQ(grid->log.back(), "committed 3,1 bobby");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_TRUE(grid->hasFocus());
  Flush();
  EXPECT_TRUE(editor.isNull());

  // Escape: the cell keeps its text, the dialog stays.
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_NE(Editor(), nullptr);
  QTest::keyClicks(Editor(), QStringLiteral("zzz"));
  QTest::keyClick(Editor(), Qt::Key_Escape);
  EXPECT_EQ(bob->Row().Cell(0), "bobby");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(TreeGridTest, EnterGoesToTheDialogWhenBlockedOrWithNoRowSelected) {
  QTest::keyClick(grid, Qt::Key_Return);  // nothing selected
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  dialog.setResult(0);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  grid->setFocus();
  grid->SelectRow(2);
  grid->blockEnter = true;
  QTest::keyClick(grid, Qt::Key_Return);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(TreeGridTest, EnterOnColumnZeroEditsTheLabel) {
  grid->SelectRow(2);
  QTest::keyClick(grid, Qt::Key_Return);
  CCellEdit* editor = Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->objectName(), QStringLiteral("4659"));
  EXPECT_EQ(editor->text(), QStringLiteral("ALICE Front desk"));
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("ALICE"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(alice->Row().Label(), "ALICE");
}

TEST_F(TreeGridTest, DeleteGoesThroughItsHook) {
  grid->SelectRow(5);
  grid->allow = false;
  QTest::keyClick(grid, Qt::Key_Delete);
  EXPECT_EQ(grid->RowCount(), 6);
  grid->allow = true;
  QTest::keyClick(grid, Qt::Key_Delete);
  EXPECT_EQ(Shown(), Labels({"Entire Nerwork", "HOME", "ALICE Front desk", "BOB", "LAB"}));
  EXPECT_EQ(grid->SelectedRow(), 4);  // the row before the deleted last one
  EXPECT_EQ(grid->log, std::vector<std::string>({"delete CARL", "delete CARL"}));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(TreeGridTest, KeypadKeysCollapseExpandAndExpandAllBelowTheSelectedRow) {
  grid->CollapseRow(net);
  ASSERT_EQ(grid->RowCount(), 1);
  grid->SelectRow(0);
  QTest::keyClick(grid, Qt::Key_Plus);  // not the keypad's: nothing
  EXPECT_EQ(grid->RowCount(), 1);
  QTest::keyClick(grid, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(Shown(), Labels({"Entire Nerwork", "HOME", "LAB"}));
  QTest::keyClick(grid, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(grid->RowCount(), 1);
  QTest::keyClick(grid, Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_EQ(grid->RowCount(), 6);
  EXPECT_EQ(grid->SelectedRow(), 0);
  EXPECT_EQ(grid->log,
            std::vector<std::string>({"+ Entire Nerwork", "- Entire Nerwork", "* Entire Nerwork"}));
  grid->allow = false;
  QTest::keyClick(grid, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(grid->RowCount(), 6);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone again
}

TEST_F(TreeGridTest, UpAndDownMoveTheSelection) {
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(grid->SelectedRow(), 0);
  QTest::keyClick(grid, Qt::Key_End);
  EXPECT_EQ(grid->SelectedRow(), 5);
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(grid->SelectedRow(), 5);
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(grid->SelectedRow(), 4);
}

// ---- Scrolling ----------------------------------------------------------------

class ScrollingGridTest : public TreeGridTest {
 protected:
  void SetUp() override {
    TreeGridTest::SetUp();
    for (int i = 0; i < 200; ++i) grid->InsertChildRow(lab, Row("PC" + std::to_string(i), 2), true);
    ASSERT_GT(grid->verticalScrollBar()->maximum(), 0);
  }
};

TEST_F(ScrollingGridTest, ScrollingByTheUserEndsAnOpenEditFirst) {
  grid->SelectRow(2);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_NE(Editor(), nullptr);
  QTest::keyClicks(Editor(), QStringLiteral("x"));
  grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(alice->Row().Cell(0), "xal");
  EXPECT_GT(grid->TopRow(), 0);
  EXPECT_TRUE(grid->hasFocus());

  Flush();
  grid->verticalScrollBar()->setValue(0);
  QTest::keyClick(grid, Qt::Key_Return);
  CCellEdit* editor = Editor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("y"));
  // The wheel over the editor: the edit leaves it to the grid's viewport.
  const QPoint at = editor->geometry().center();
  QWheelEvent wheel(QPointF(at), QPointF(grid->viewport()->mapToGlobal(at)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(grid->viewport(), &wheel);
  EXPECT_EQ(alice->Row().Cell(0), "yxal");
  EXPECT_GT(grid->TopRow(), 0);
}

TEST_F(ScrollingGridTest, EditingARowOffScreenScrollsItIntoView) {
  const int last = grid->RowCount() - 1;
  grid->SelectRow(last);
  ASSERT_TRUE(grid->EditCell(last, 1));
  const QRect cell = grid->CellRect(last, 1);
  EXPECT_GE(cell.top(), 0);
  EXPECT_LE(cell.top(), grid->viewport()->height());
  EXPECT_EQ(Editor()->geometry().top(), cell.top());
  EXPECT_FALSE(grid->EditCell(last + 1, 1));
  EXPECT_FALSE(grid->EditCell(0, 0));
}

TEST_F(ScrollingGridTest, KeypadPlusShowsTheLastNewRow) {
  grid->CollapseRow(lab);
  grid->SelectRow(4);
  QTest::keyClick(grid, Qt::Key_Plus, Qt::KeypadModifier);
  const int last = grid->RowCount() - 1;
  EXPECT_EQ(grid->NodeAt(last)->Row().Label(), "PC199");
  EXPECT_LE(grid->RowRect(last).bottom(), grid->viewport()->height());
  EXPECT_GE(grid->RowRect(last).top(), 0);
}

TEST_F(TreeGridTest, TheDragImageIsTheRowAsDrawnAndNoRowDataIsDuplicated) {
  const QImage image = grid->MakeRowDragImage(0).toImage();
  ASSERT_EQ(image.height(), grid->RowHeight());
  EXPECT_EQ(image.width(), 380);
  EXPECT_EQ(image.pixelColor(16 + 8, grid->RowHeight() / 2), kIcon[0]);
  EXPECT_TRUE(grid->MakeRowDragImage(99).isNull());
  EXPECT_EQ(grid->DuplicateRowData(net->Row()), nullptr);
}

TEST_F(TreeGridTest, ClosingTheDialogWithAnOpenEditorStoresTheText) {
  grid->SelectRow(3);
  QTest::keyClick(grid, Qt::Key_Right);
  QTest::keyClick(grid, Qt::Key_Return);
  QTest::keyClicks(Editor(), QStringLiteral("b"));
  dialog.hide();
  EXPECT_EQ(bob->Row().Cell(0), "b");
}

TEST(TreeGridLifetime, DestroyingTheGridWithAnOpenEditorReportsNothing) {
  QDialog dialog;
  auto* grid = new RecordingGrid(&dialog);
  grid->InsertColumn(0, QStringLiteral("A"), 100);
  grid->InsertColumn(1, QStringLiteral("B"), 100);
  grid->InsertRootRow(Row("r", 0));
  grid->resize(300, 200);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  ASSERT_TRUE(grid->EditCell(0, 1));
  delete grid;  // must not call into the half-destroyed grid
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace vantrel::ui
