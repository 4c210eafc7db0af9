// The multi-selection rules on an in-memory tree that behaves like the tree
// control: moving the caret selects the new caret and unselects the old one,
// a click on an item makes it the caret, a click on an expand button toggles
// the branch, Up and Down move the caret to the visible neighbour.
#include "uimodel/MultiSelectRules.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::uimodel {
namespace {

struct Node {
  std::string name;
  Node* parent = nullptr;
  std::vector<Node*> children;
  bool expanded = true;
  bool selected = false;
};

Node* N(TreeItem item) { return static_cast<Node*>(item); }

class FakeTree : public ITreeControl {
 public:
  Node* Add(Node* parent, const std::string& name) {
    nodes_.push_back(std::make_unique<Node>());
    Node* node = nodes_.back().get();
    node->name = name;
    node->parent = parent;
    (parent ? parent->children : top_).push_back(node);
    byName_[name] = node;
    return node;
  }
  Node* operator[](const std::string& name) { return byName_.at(name); }

  int ChildCount(TreeItem parent) const override {
    return static_cast<int>(Children(N(parent)).size());
  }
  TreeItem Child(TreeItem parent, int index) const override {
    const auto& list = Children(N(parent));
    return index >= 0 && index < static_cast<int>(list.size()) ? list[static_cast<size_t>(index)]
                                                               : nullptr;
  }
  TreeItem Parent(TreeItem item) const override { return N(item)->parent; }
  int IndexInParent(TreeItem item) const override {
    const auto& list = Children(N(item)->parent);
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i] == item) return static_cast<int>(i);
    }
    return -1;
  }
  bool IsExpanded(TreeItem item) const override { return N(item)->expanded; }
  bool IsSelected(TreeItem item) const override { return N(item)->selected; }
  void SetSelected(TreeItem item, bool selected) override {
    N(item)->selected = selected;
    ++bitWrites;
  }
  TreeItem Caret() const override { return caret_; }
  void SetCaret(TreeItem item) override {
    if (caret_) caret_->selected = false;
    caret_ = N(item);
    if (caret_) caret_->selected = true;
  }

  // The selected items in pre-order, blank-separated.
  std::string Selected() const {
    std::string out;
    TreeWalk walk(*this, false);
    while (TreeItem item = walk.Next()) {
      if (!N(item)->selected) continue;
      if (!out.empty()) out += ' ';
      out += N(item)->name;
    }
    return out;
  }
  // Puts the bits exactly on the named items.
  void Select(const std::vector<std::string>& names) {
    for (auto& node : nodes_) node->selected = false;
    for (const auto& name : names) byName_.at(name)->selected = true;
  }
  std::string CaretName() const { return caret_ ? caret_->name : "-"; }
  void PlaceCaret(const std::string& name) { caret_ = byName_.at(name); }

  int bitWrites = 0;

 private:
  const std::vector<Node*>& Children(Node* parent) const {
    return parent ? parent->children : top_;
  }
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<Node*> top_;
  std::map<std::string, Node*> byName_;
  Node* caret_ = nullptr;
};

// Entire Nerwork
//   HOME: ALICE BOB CARL
//   LAB: DAVE EVE
//   OFFICE (collapsed): FRED GINA
// Visible order: NET HOME ALICE BOB CARL LAB DAVE EVE OFFICE.
class MultiSelectRulesTest : public ::testing::Test {
 protected:
  MultiSelectRulesTest() {
    Node* net = tree.Add(nullptr, "NET");
    Node* home = tree.Add(net, "HOME");
    for (const char* name : {"ALICE", "BOB", "CARL"}) tree.Add(home, name);
    Node* lab = tree.Add(net, "LAB");
    for (const char* name : {"DAVE", "EVE"}) tree.Add(lab, name);
    Node* office = tree.Add(net, "OFFICE");
    for (const char* name : {"FRED", "GINA"}) tree.Add(office, name);
    office->expanded = false;
  }

  // The control's own handling of a click: on an item it makes it the caret,
  // on the expand button it toggles the branch, beside all items nothing.
  void Click(ClickKeys keys, const std::string& name, bool onItem = true) {
    TreeHit hit;
    if (!name.empty()) hit = {tree[name], onItem};
    rules.OnLeftButtonDown(keys, hit, [&] {
      ++defaults;
      if (!hit.item) return;
      if (hit.onItem) {
        tree.SetCaret(hit.item);
      } else {
        N(hit.item)->expanded = !N(hit.item)->expanded;
      }
    });
  }
  void Plain(const std::string& name) { Click({}, name); }
  void Ctrl(const std::string& name) { Click({.ctrl = true}, name); }
  void Shift(const std::string& name) { Click({.shift = true}, name); }

  // The control's own handling of a key: Up and Down move the caret to the
  // visible neighbour, other keys change nothing.
  void Key(int code, bool shift = false) {
    rules.OnKeyDown(code, shift, [&] {
      ++defaults;
      TreeItem next = nullptr;
      if (code == kKeyUp) next = VisibleItemAbove(tree, tree.Caret());
      if (code == kKeyDown) next = VisibleItemBelow(tree, tree.Caret());
      if (next) tree.SetCaret(next);
    });
  }

  FakeTree tree;
  MultiSelectRules rules{tree};
  int defaults = 0;
};

std::string Names(const ITreeControl& tree, bool visibleOnly) {
  std::string out;
  TreeWalk walk(tree, visibleOnly);
  while (TreeItem item = walk.Next()) {
    if (!out.empty()) out += ' ';
    out += N(item)->name;
  }
  return out;
}

TEST_F(MultiSelectRulesTest, WalksInPreOrderAndInDisplayOrder) {
  EXPECT_EQ(Names(tree, false), "NET HOME ALICE BOB CARL LAB DAVE EVE OFFICE FRED GINA");
  EXPECT_EQ(Names(tree, true), "NET HOME ALICE BOB CARL LAB DAVE EVE OFFICE");
  tree["NET"]->expanded = false;
  EXPECT_EQ(Names(tree, true), "NET");
  FakeTree empty;
  EXPECT_EQ(Names(empty, false), "");
}

TEST_F(MultiSelectRulesTest, VisibleNeighboursFollowTheDisplayOrder) {
  auto above = [&](const char* name) {
    TreeItem item = VisibleItemAbove(tree, tree[name]);
    return item ? N(item)->name : std::string("-");
  };
  auto below = [&](const char* name) {
    TreeItem item = VisibleItemBelow(tree, tree[name]);
    return item ? N(item)->name : std::string("-");
  };
  EXPECT_EQ(above("NET"), "-");
  EXPECT_EQ(above("HOME"), "NET");
  EXPECT_EQ(above("LAB"), "CARL");  // the last child of the expanded branch before
  EXPECT_EQ(above("OFFICE"), "EVE");
  EXPECT_EQ(below("CARL"), "LAB");  // up and over to the parent's next sibling
  EXPECT_EQ(below("EVE"), "OFFICE");
  EXPECT_EQ(below("OFFICE"), "-");  // collapsed: its children are not shown
  EXPECT_EQ(below("NET"), "HOME");
  tree["LAB"]->expanded = false;
  EXPECT_EQ(above("OFFICE"), "LAB");
}

TEST_F(MultiSelectRulesTest, PlainClickLeavesOnlyTheClickedItemSelected) {
  tree.Select({"ALICE", "CARL", "FRED", "NET"});
  tree.PlaceCaret("ALICE");
  Plain("BOB");
  EXPECT_EQ(tree.Selected(), "BOB");  // FRED in the collapsed branch is cleared too
  EXPECT_EQ(tree.CaretName(), "BOB");
  EXPECT_EQ(defaults, 1);

  // Clicking the caret again keeps it selected.
  tree.Select({"BOB", "DAVE"});
  Plain("BOB");
  EXPECT_EQ(tree.Selected(), "BOB");
  EXPECT_EQ(tree.CaretName(), "BOB");
}

TEST_F(MultiSelectRulesTest, PlainClickOnAnExpandButtonClearsAndOnlyToggles) {
  tree.Select({"ALICE", "BOB", "GINA"});
  tree.PlaceCaret("BOB");
  Click({}, "OFFICE", /*onItem=*/false);
  EXPECT_EQ(tree.Selected(), "");
  EXPECT_TRUE(tree["OFFICE"]->expanded);
  EXPECT_EQ(tree.CaretName(), "BOB");  // the caret stays where it was
  Click({}, "BOB", /*onItem=*/false);  // the caret's own row: still no caret change
  EXPECT_EQ(tree.CaretName(), "BOB");
}

TEST_F(MultiSelectRulesTest, CtrlClickFlipsTheClickedItemAndKeepsTheOthers) {
  tree.Select({"ALICE", "BOB", "CARL", "FRED"});
  tree.PlaceCaret("CARL");

  Ctrl("BOB");  // selected, not the caret: unselected; the old caret keeps its bit
  EXPECT_EQ(tree.Selected(), "ALICE CARL FRED");
  EXPECT_EQ(tree.CaretName(), "BOB");

  Ctrl("LAB");  // a workgroup joins; BOB (the caret, unselected) stays unselected
  EXPECT_EQ(tree.Selected(), "ALICE CARL LAB FRED");
  EXPECT_EQ(tree.CaretName(), "LAB");

  Ctrl("LAB");  // the caret itself, selected: flips off and stays the caret
  EXPECT_EQ(tree.Selected(), "ALICE CARL FRED");
  EXPECT_EQ(tree.CaretName(), "LAB");
  Ctrl("LAB");
  EXPECT_EQ(tree.Selected(), "ALICE CARL LAB FRED");
  EXPECT_EQ(defaults, 4);
}

TEST_F(MultiSelectRulesTest, CtrlClickBesideItemsOrOnAButtonIsTheControlsAlone) {
  tree.Select({"ALICE", "DAVE"});
  tree.PlaceCaret("DAVE");
  Shift("BOB");  // sets an anchor (DAVE)
  ASSERT_EQ(rules.anchor(), tree["DAVE"]);
  const std::string before = tree.Selected();
  Click({.ctrl = true}, "");
  EXPECT_EQ(tree.Selected(), before);
  Click({.ctrl = true}, "OFFICE", /*onItem=*/false);
  EXPECT_EQ(tree.Selected(), before);
  EXPECT_TRUE(tree["OFFICE"]->expanded);
  EXPECT_EQ(rules.anchor(), tree["DAVE"]);  // untouched: no item was hit
  Ctrl("EVE");
  EXPECT_EQ(rules.anchor(), nullptr);
}

TEST_F(MultiSelectRulesTest, ShiftClickSelectsTheVisibleRunFromTheAnchor) {
  tree.Select({"NET", "GINA"});  // GINA sits in the collapsed OFFICE
  tree.PlaceCaret("ALICE");
  tree["ALICE"]->selected = true;

  Shift("LAB");
  EXPECT_EQ(rules.anchor(), tree["ALICE"]);
  EXPECT_EQ(tree.Selected(), "ALICE BOB CARL LAB GINA");
  EXPECT_EQ(tree.CaretName(), "LAB");

  // The anchor stays: a second Shift-click above it runs the other way.
  Shift("HOME");
  EXPECT_EQ(tree.Selected(), "HOME ALICE GINA");
  EXPECT_EQ(tree.CaretName(), "HOME");

  // Shift-click on the anchor itself (the caret moved away from it).
  Shift("ALICE");
  EXPECT_EQ(tree.Selected(), "ALICE GINA");

  // Shift-click on the caret: it stays selected and the run is just it and
  // the anchor.
  Shift("CARL");
  Shift("CARL");
  EXPECT_EQ(tree.Selected(), "ALICE BOB CARL GINA");
  EXPECT_EQ(tree.CaretName(), "CARL");
}

TEST_F(MultiSelectRulesTest, ShiftClickBesideAllItemsRunsToTheLastAndLeavesNoCaret) {
  tree.PlaceCaret("EVE");
  tree["EVE"]->selected = true;
  tree["ALICE"]->selected = true;
  Shift("");
  EXPECT_EQ(tree.Selected(), "EVE OFFICE");
  EXPECT_EQ(tree.CaretName(), "-");
}

TEST_F(MultiSelectRulesTest, ShiftClickWithoutCaretOrAnchorIsAPlainControlClick) {
  tree.Select({"DAVE"});
  Shift("BOB");
  EXPECT_EQ(rules.anchor(), nullptr);
  EXPECT_EQ(tree.Selected(), "BOB DAVE");  // the control selected its new caret only
  // The next Shift-click has the caret as its anchor.
  Shift("CARL");
  EXPECT_EQ(tree.Selected(), "BOB CARL");
}

TEST_F(MultiSelectRulesTest, PlainAndCtrlClicksDropTheAnchor) {
  tree.PlaceCaret("ALICE");
  Shift("CARL");
  ASSERT_NE(rules.anchor(), nullptr);
  Plain("BOB");
  EXPECT_EQ(rules.anchor(), nullptr);
  Shift("LAB");  // anchor BOB now
  EXPECT_EQ(tree.Selected(), "BOB CARL LAB");
}

TEST_F(MultiSelectRulesTest, ShiftUpThreeTimesGivesFourAndDownOnceGivesThree) {
  tree.Select({"NET", "FRED"});
  tree.PlaceCaret("DAVE");
  tree["DAVE"]->selected = true;
  Key(kKeyUp, true);
  EXPECT_EQ(rules.anchor(), tree["DAVE"]);
  EXPECT_EQ(tree.Selected(), "LAB DAVE");  // the first step cleared everything else
  Key(kKeyUp, true);
  Key(kKeyUp, true);
  EXPECT_EQ(tree.Selected(), "BOB CARL LAB DAVE");
  EXPECT_EQ(tree.CaretName(), "BOB");
  Key(kKeyDown, true);
  EXPECT_EQ(tree.Selected(), "CARL LAB DAVE");
  EXPECT_EQ(tree.CaretName(), "CARL");
  // Past the anchor the run grows on the other side.
  Key(kKeyDown, true);
  Key(kKeyDown, true);
  Key(kKeyDown, true);
  EXPECT_EQ(tree.Selected(), "DAVE EVE");
  EXPECT_EQ(defaults, 0);  // no default handling for these
}

TEST_F(MultiSelectRulesTest, ShiftArrowsStopAtTheEndsOfTheTree) {
  tree.PlaceCaret("OFFICE");
  tree["OFFICE"]->selected = true;
  Key(kKeyDown, true);  // OFFICE is the last visible item
  EXPECT_EQ(tree.Selected(), "OFFICE");
  EXPECT_EQ(tree.CaretName(), "OFFICE");

  FakeTree lone;
  lone.Add(nullptr, "ONLY");
  MultiSelectRules loneRules(lone);
  lone.PlaceCaret("ONLY");
  lone["ONLY"]->selected = true;
  loneRules.OnKeyDown(kKeyUp, true, [] {});
  EXPECT_EQ(lone.Selected(), "ONLY");

  FakeTree none;  // no caret at all
  MultiSelectRules noneRules(none);
  noneRules.OnKeyDown(kKeyDown, true, [] {});
  EXPECT_EQ(noneRules.anchor(), nullptr);
}

TEST_F(MultiSelectRulesTest, ShiftArrowsContinueARangeMadeByShiftClick) {
  tree.PlaceCaret("ALICE");
  tree["ALICE"]->selected = true;
  Shift("CARL");
  Key(kKeyDown, true);  // anchor ALICE kept; nothing cleared first
  EXPECT_EQ(tree.Selected(), "ALICE BOB CARL LAB");
}

TEST_F(MultiSelectRulesTest, KeysBelowSpaceKeepTheSelection) {
  tree.Select({"ALICE", "BOB", "GINA"});
  tree.PlaceCaret("BOB");
  Shift("CARL");
  const std::string before = tree.Selected();
  for (int code : {0x09 /*Tab*/, 0x10 /*Shift*/, 0x11 /*Ctrl*/, 0x0D /*Enter*/, 0x1B /*Esc*/}) {
    Key(code);
  }
  EXPECT_EQ(tree.Selected(), before);
  EXPECT_EQ(defaults, 6);  // the click and the five keys
  EXPECT_NE(rules.anchor(), nullptr);
}

TEST_F(MultiSelectRulesTest, OtherKeysClearTheSelectionBeforeTheControlMoves) {
  tree.Select({"ALICE", "BOB", "GINA"});
  tree.PlaceCaret("BOB");
  Key(kKeyDown);  // Down without Shift: only the item below the old caret
  EXPECT_EQ(tree.Selected(), "CARL");
  EXPECT_EQ(rules.anchor(), nullptr);

  tree.Select({"ALICE", "CARL", "GINA"});
  Key(0x20);  // Space moves nothing: nothing stays selected
  EXPECT_EQ(tree.Selected(), "");
  EXPECT_EQ(tree.CaretName(), "CARL");

  tree.Select({"ALICE", "CARL"});
  Shift("EVE");
  ASSERT_NE(rules.anchor(), nullptr);
  Key(0x41);  // a letter
  EXPECT_EQ(rules.anchor(), nullptr);
  EXPECT_EQ(tree.Selected(), "");
}

TEST_F(MultiSelectRulesTest, SelectRangeWithHiddenOrEqualEnds) {
  tree.Select({"NET", "ALICE", "GINA"});
  tree.PlaceCaret("ALICE");
  // Neither end is visible: every visible item is cleared, nothing else.
  EXPECT_EQ(rules.SelectRange(tree["FRED"], tree["GINA"]), 0);
  EXPECT_EQ(tree.Selected(), "GINA");
  EXPECT_EQ(tree.CaretName(), "ALICE");

  // One hidden end: the visible end starts a run that reaches the last item.
  EXPECT_EQ(rules.SelectRange(tree["FRED"], tree["EVE"]), 1);
  EXPECT_EQ(tree.Selected(), "EVE OFFICE GINA");
  EXPECT_EQ(tree.CaretName(), "EVE");

  // Both ends the same item.
  EXPECT_EQ(rules.SelectRange(tree["BOB"], tree["BOB"]), 1);
  EXPECT_EQ(tree.Selected(), "BOB GINA");
  EXPECT_EQ(tree.CaretName(), "BOB");
}

TEST_F(MultiSelectRulesTest, ClearSelectionWritesOnlyTheItemsThatHaveTheBit) {
  tree.Select({"NET", "FRED"});
  tree.bitWrites = 0;
  rules.ClearSelection();
  EXPECT_EQ(tree.Selected(), "");
  EXPECT_EQ(tree.bitWrites, 2);
}

TEST_F(MultiSelectRulesTest, ResetAnchorForgetsTheAnchor) {
  tree.PlaceCaret("ALICE");
  Shift("BOB");
  ASSERT_EQ(rules.anchor(), tree["ALICE"]);
  rules.ResetAnchor();
  EXPECT_EQ(rules.anchor(), nullptr);
  Shift("CARL");  // the caret (BOB) is the new anchor
  EXPECT_EQ(tree.Selected(), "BOB CARL");
}

}  // namespace
}  // namespace vantrel::uimodel
