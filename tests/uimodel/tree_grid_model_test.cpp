// The tree grid's row model: the pre-order list of shown rows, expanding and
// collapsing, deleting with the selection that follows, the current column,
// the row layout and the "..." shortening.

#include "uimodel/TreeGridModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::uimodel {
namespace {

std::unique_ptr<TreeGridRow> Row(const std::string& label) {
  auto row = std::make_unique<TreeGridRow>();
  row->SetLabel(label);
  return row;
}

// The labels of the shown rows, in order; checks every row index on the way.
std::vector<std::string> Shown(const TreeGridModel& m) {
  std::vector<std::string> out;
  for (size_t i = 0; i < m.RowCount(); ++i) {
    TreeGridNode* n = m.NodeAt(static_cast<int>(i));
    EXPECT_EQ(n->RowIndex(), static_cast<int>(i)) << n->Row().Label();
    out.push_back(n->Row().Label());
  }
  return out;
}

using Labels = std::vector<std::string>;

// Entire network > HOME (ALICE, BOB > (B1, B2)), LAB (CARL); all collapsed.
class TreeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root = m.InsertRootRow(Row("Net"));
    home = m.InsertChildRow(root, Row("HOME"), false);
    alice = m.InsertChildRow(home, Row("ALICE"), false);
    bob = m.InsertChildRow(home, Row("BOB"), false);
    b1 = m.InsertChildRow(bob, Row("B1"), false);
    b2 = m.InsertChildRow(bob, Row("B2"), false);
    lab = m.InsertChildRow(root, Row("LAB"), false);
    carl = m.InsertChildRow(lab, Row("CARL"), false);
  }
  TreeGridModel m;
  TreeGridNode *root, *home, *alice, *bob, *b1, *b2, *lab, *carl;
};

TEST(TreeGridRow, CellsGrowAndColumnZeroIsTheLabel) {
  TreeGridRow row;
  EXPECT_EQ(row.Image(), -1);
  EXPECT_EQ(row.CellCount(), 0u);
  row.SetCell(2, "c");
  EXPECT_EQ(row.CellCount(), 3u);
  EXPECT_EQ(row.Cell(0), "");
  EXPECT_EQ(row.Cell(7), "");
  row.SetColumnText(0, "label");
  row.SetColumnText(1, "alias");
  EXPECT_EQ(row.Label(), "label");
  EXPECT_EQ(row.ColumnText(1), "alias");
  EXPECT_EQ(row.ColumnText(3), "c");
}

TEST_F(TreeFixture, HiddenChildrenShowOneLevelAtATime) {
  EXPECT_EQ(Shown(m), Labels({"Net"}));
  EXPECT_EQ(root->Level(), 1);
  EXPECT_EQ(b1->Level(), 4);
  EXPECT_EQ(root->Parent(), nullptr);
  EXPECT_EQ(home->Parent(), root);
  EXPECT_EQ(b1->RowIndex(), -1);

  EXPECT_EQ(m.ExpandRow(root), 2);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "LAB"}));
  EXPECT_EQ(m.ExpandRow(lab), 3);
  EXPECT_EQ(m.ExpandRow(home), 3);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "LAB", "CARL"}));
  // Expanding an expanded node, a leaf or a hidden node changes nothing.
  EXPECT_EQ(m.ExpandRow(home), 1);
  EXPECT_EQ(m.ExpandRow(alice), 2);
  EXPECT_EQ(m.ExpandRow(b1), -1);
  EXPECT_EQ(m.RowCount(), 6u);
}

TEST_F(TreeFixture, CollapsingCollapsesExpandedDescendantsSoReExpandingShowsOneLevel) {
  int last = -7;
  m.ExpandAllBelow(root, &last);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "B1", "B2", "LAB", "CARL"}));
  EXPECT_EQ(last, 7);
  m.CollapseRow(home);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "LAB", "CARL"}));
  EXPECT_TRUE(bob->IsCollapsed());
  EXPECT_EQ(b1->RowIndex(), -1);
  m.ExpandRow(home);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "LAB", "CARL"}));
  EXPECT_TRUE(bob->IsCollapsed());
}

TEST_F(TreeFixture, ExpandAllBelowReportsTheLastRowOnlyWhenRowsWereShown) {
  m.ExpandRow(root);
  int last = -7;
  m.ExpandAllBelow(lab, &last);
  EXPECT_EQ(last, 3);  // Net HOME LAB CARL
  last = -7;
  m.ExpandAllBelow(lab, &last);
  EXPECT_EQ(last, -7);
  m.ExpandAllBelow(home, &last);
  EXPECT_EQ(last, 5);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "B1", "B2", "LAB", "CARL"}));
}

TEST_F(TreeFixture, ShownChildrenGoToTheirPreOrderPlace) {
  m.ExpandRow(root);
  m.ExpandRow(home);
  // Under an expanded parent: after its last shown descendant.
  m.InsertChildRow(home, Row("DAVE"), true);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "DAVE", "LAB"}));
  // Under a collapsed, shown parent: the parent opens, showing all its children.
  m.InsertChildRow(lab, Row("EVE"), true);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "DAVE", "LAB", "CARL", "EVE"}));
  // Under a hidden parent: stays hidden.
  TreeGridNode* b11 = m.InsertChildRow(b1, Row("B11"), true);
  EXPECT_EQ(b11->RowIndex(), -1);
  EXPECT_TRUE(b1->IsCollapsed());
  EXPECT_TRUE(bob->IsCollapsed());
  EXPECT_EQ(m.InsertChildRow(nullptr, Row("x"), true), nullptr);
  // A new top-level node is always the last row.
  m.InsertRootRow(Row("Other"));
  EXPECT_EQ(Shown(m).back(), "Other");
  EXPECT_TRUE(root->HasLaterSibling());
}

TEST_F(TreeFixture, AHiddenChildAddedToAnExpandedParentIsShownWithItsSiblingsLater) {
  m.ExpandAllBelow(root, nullptr);
  m.InsertChildRow(home, Row("DAVE"), false);
  EXPECT_TRUE(home->IsCollapsed());
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "LAB", "CARL"}));
  m.ExpandRow(home);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "DAVE", "LAB", "CARL"}));
}

TEST_F(TreeFixture, DeletingSelectsTheRowAtTheSameIndexOrTheOneBefore) {
  m.ExpandAllBelow(root, nullptr);  // Net HOME ALICE BOB B1 B2 LAB CARL
  m.Select(3);
  m.DeleteRow(bob);  // with B1 and B2
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "LAB", "CARL"}));
  EXPECT_EQ(m.SelectedRow(), 3);
  EXPECT_EQ(m.SelectedNode(), lab);
  EXPECT_EQ(home->ChildCount(), 1u);

  m.DeleteRow(carl);  // the last row: the one before it
  EXPECT_EQ(m.SelectedNode(), lab);
  EXPECT_FALSE(lab->HasChildren());

  m.DeleteRow(root);  // row 0: nothing selected, nothing left
  EXPECT_EQ(m.RowCount(), 0u);
  EXPECT_EQ(m.SelectedRow(), -1);
  EXPECT_EQ(m.TopLevelCount(), 0u);
}

TEST_F(TreeFixture, DeletingRowZeroSelectsNothingEvenWithRowsLeft) {
  TreeGridNode* other = m.InsertRootRow(Row("Other"));
  m.Select(0);
  m.DeleteRow(root);
  EXPECT_EQ(Shown(m), Labels({"Other"}));
  EXPECT_EQ(other->RowIndex(), 0);
  EXPECT_EQ(m.SelectedRow(), -1);
}

TEST_F(TreeFixture, DeletingAHiddenNodeKeepsTheSelection) {
  m.ExpandRow(root);
  m.ExpandRow(home);
  m.Select(2);
  m.DeleteRow(b2);
  EXPECT_EQ(bob->ChildCount(), 1u);
  EXPECT_EQ(m.SelectedNode(), alice);
  EXPECT_EQ(Shown(m), Labels({"Net", "HOME", "ALICE", "BOB", "LAB"}));
}

TEST_F(TreeFixture, TheSelectionStaysOnItsNodeAndIsLostWhenItsRowHides) {
  m.ExpandAllBelow(root, nullptr);
  m.Select(6);  // LAB
  m.CollapseRow(bob);
  EXPECT_EQ(m.SelectedNode(), lab);
  EXPECT_EQ(m.SelectedRow(), 4);
  m.Select(2);  // ALICE
  m.CollapseRow(root);
  EXPECT_EQ(m.SelectedRow(), -1);
  EXPECT_EQ(m.SelectedNode(), nullptr);
  m.Select(5);
  EXPECT_EQ(m.SelectedRow(), -1);
  m.DeleteAllRows();
  EXPECT_EQ(m.RowCount(), 0u);
  EXPECT_EQ(m.TopLevelCount(), 0u);
}

TEST(TreeGridModel, CurrentColumnStopsAtBothEnds) {
  TreeGridModel m;
  EXPECT_EQ(m.CurrentColumn(), 0);
  EXPECT_FALSE(m.MoveCurrentColumn(-1, 3));
  EXPECT_TRUE(m.MoveCurrentColumn(+1, 3));
  EXPECT_TRUE(m.MoveCurrentColumn(+1, 3));
  EXPECT_FALSE(m.MoveCurrentColumn(+1, 3));
  EXPECT_EQ(m.CurrentColumn(), 2);
  EXPECT_FALSE(m.MoveCurrentColumn(+1, 1));
}

TEST(TreeGridModel, LargeTreesExpandAndDeleteWithoutQuadraticWork) {
  // 200 domains of 500 computers: filling, expanding everything and deleting
  // a domain in the middle must keep every row index right.
  TreeGridModel m;
  TreeGridNode* net = m.InsertRootRow(Row("Net"));
  std::vector<TreeGridNode*> domains;
  for (int d = 0; d < 200; ++d) {
    domains.push_back(m.InsertChildRow(net, Row("D" + std::to_string(d)), false));
    for (int c = 0; c < 500; ++c)
      m.InsertChildRow(domains.back(), Row("C" + std::to_string(c)), false);
  }
  int last = -1;
  m.ExpandAllBelow(net, &last);
  ASSERT_EQ(m.RowCount(), 1u + 200u * 501u);
  EXPECT_EQ(last, static_cast<int>(m.RowCount()) - 1);
  m.Select(100 * 501 + 1);
  EXPECT_EQ(m.SelectedNode(), domains[100]);
  m.DeleteRow(domains[100]);
  ASSERT_EQ(m.RowCount(), 1u + 199u * 501u);
  EXPECT_EQ(m.SelectedNode(), domains[101]);
  for (size_t i = 0; i < m.RowCount(); ++i)
    ASSERT_EQ(m.NodeAt(static_cast<int>(i))->RowIndex(), static_cast<int>(i));
  // Appending shown children under the last expanded domain.
  for (int c = 0; c < 1000; ++c) m.InsertChildRow(domains.back(), Row("N"), true);
  EXPECT_EQ(m.NodeAt(static_cast<int>(m.RowCount()) - 1)->Parent(), domains.back());
}

TEST(TreeGridModel, DeepTreesAreFreedWithoutRecursion) {
  TreeGridModel m;
  TreeGridNode* n = m.InsertRootRow(Row("0"));
  for (int i = 0; i < 200000; ++i) n = m.InsertChildRow(n, nullptr, false);
  EXPECT_EQ(n->Level(), 200001);
  m.DeleteAllRows();
  EXPECT_EQ(m.TopLevelCount(), 0u);
}

// ---- Layout ----------------------------------------------------------------

TEST_F(TreeFixture, ConnectorsAreNoneAtTheTopLevelAnLForALastChildATOtherwise) {
  m.ExpandAllBelow(root, nullptr);
  EXPECT_EQ(ConnectorAt(*root, 1), ConnectorKind::None);
  EXPECT_EQ(ConnectorAt(*home, 2), ConnectorKind::Tee);
  EXPECT_EQ(ConnectorAt(*lab, 2), ConnectorKind::Ell);
  EXPECT_EQ(ConnectorAt(*alice, 3), ConnectorKind::Tee);
  EXPECT_EQ(ConnectorAt(*bob, 3), ConnectorKind::Ell);
  // Ancestors' levels: a line through when that ancestor has a later sibling.
  EXPECT_EQ(ConnectorAt(*b1, 2), ConnectorKind::Tee);   // HOME has LAB after it
  EXPECT_EQ(ConnectorAt(*b1, 3), ConnectorKind::None);  // BOB is HOME's last
  EXPECT_EQ(ConnectorAt(*b1, 1), ConnectorKind::None);
  EXPECT_EQ(ConnectorAt(*b2, 4), ConnectorKind::Ell);
}

TEST_F(TreeFixture, RowLayoutFollowsTheIndentAndCutsAtColumnZero) {
  m.ExpandAllBelow(root, nullptr);
  const TreeGridMetrics metrics{
      .imageWidth = 16, .imageHeight = 16, .rowHeight = 20, .column0Width = 200};
  // BOB, level 3, expanded, with a later-sibling-free parent chain except HOME.
  TreeGridRowLayout l = LayoutRow(*bob, -5, 40, metrics);
  EXPECT_EQ(l.iconX, -5 + 48);
  EXPECT_EQ(l.iconY, 42);
  EXPECT_EQ(l.iconDrawWidth, 16);
  EXPECT_EQ(l.middleY, 40 + 8 + 2);
  EXPECT_EQ(l.connectorX, -5 + 48 - 8);
  EXPECT_EQ(l.lineEndX, -5 + 48);
  EXPECT_EQ(l.connector, ConnectorKind::Ell);
  EXPECT_EQ(l.throughLinesX, std::vector<int>({-5 + 32 - 8}));
  ASSERT_TRUE(l.box);
  EXPECT_FALSE(l.plus);
  EXPECT_EQ(l.boxRect.width, 11);
  EXPECT_EQ(l.boxRect.height, 11);
  EXPECT_TRUE(l.boxRect.Contains(l.connectorX, l.middleY));
  EXPECT_FALSE(l.boxRect.Contains(l.connectorX + 6, l.middleY));
  EXPECT_EQ(l.childConnectorX, l.connectorX + 16);
  EXPECT_EQ(l.fillLeft, -5 + 64 + 2);
  EXPECT_EQ(l.labelRect.x, -5 + 64);
  EXPECT_EQ(l.labelRect.width, 200 - 64);

  // A narrow column 0: the icon is cut, then gone with its lines and box.
  TreeGridRowLayout cut = LayoutRow(*bob, 0, 0, {16, 16, 20, 58});
  EXPECT_EQ(cut.iconDrawWidth, 10);
  EXPECT_TRUE(cut.decorations);
  EXPECT_EQ(cut.fillLeft, 58);
  TreeGridRowLayout gone = LayoutRow(*bob, 0, 0, {16, 16, 20, 48});
  EXPECT_FALSE(gone.decorations);
  EXPECT_FALSE(gone.box);
  EXPECT_TRUE(gone.throughLinesX.empty());
  EXPECT_EQ(gone.connector, ConnectorKind::None);

  // A collapsed top-level node: a plus box, no connector.
  m.CollapseRow(root);
  TreeGridRowLayout top = LayoutRow(*root, 0, 0, metrics);
  EXPECT_TRUE(top.box);
  EXPECT_TRUE(top.plus);
  EXPECT_EQ(top.connector, ConnectorKind::None);
  EXPECT_EQ(top.connectorX, 8);
}

TEST(ShortenToFit, KeepsTextThatFitsAndCutsTheRestBehindDots) {
  auto width = [](size_t n) { return static_cast<int>(n) * 10; };  // 10 px a character
  // Empty, or width + allowance < available: unchanged.
  EXPECT_FALSE(ShortenToFit(0, 5, 12, 9, width).shortened);
  Shortened whole = ShortenToFit(5, 63, 12, 9, width);  // 50 + 12 < 63
  EXPECT_FALSE(whole.shortened);
  EXPECT_EQ(whole.keep, 5u);
  // Exactly at the limit is already too wide.
  Shortened tight = ShortenToFit(5, 62, 12, 9, width);
  EXPECT_TRUE(tight.shortened);
  EXPECT_EQ(tight.keep, 4u);  // 40 + 12 + 9 = 61 < 62
  Shortened more = ShortenToFit(20, 100, 12, 9, width);
  EXPECT_EQ(more.keep, 7u);  // 70 + 21 = 91 < 100, 80 + 21 = 101
  // Never fewer than one character.
  Shortened one = ShortenToFit(20, 5, 12, 9, width);
  EXPECT_TRUE(one.shortened);
  EXPECT_EQ(one.keep, 1u);
}

}  // namespace
}  // namespace vantrel::uimodel
