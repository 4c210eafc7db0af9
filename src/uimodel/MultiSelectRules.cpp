#include "uimodel/MultiSelectRules.h"

namespace vantrel::uimodel {

TreeWalk::TreeWalk(const ITreeControl& tree, bool visibleOnly)
    : tree_(tree), visibleOnly_(visibleOnly) {
  const int top = tree_.ChildCount(nullptr);
  if (top > 0) open_.push_back({nullptr, 0, top});
}

TreeItem TreeWalk::Next() {
  while (!open_.empty()) {
    Level& level = open_.back();
    if (level.next >= level.count) {
      open_.pop_back();
      continue;
    }
    TreeItem item = tree_.Child(level.parent, level.next++);
    if (!item) continue;
    const int children = tree_.ChildCount(item);
    if (children > 0 && (!visibleOnly_ || tree_.IsExpanded(item))) {
      open_.push_back({item, 0, children});  // may move `level`; not used below
    }
    return item;
  }
  return nullptr;
}

TreeItem VisibleItemAbove(const ITreeControl& tree, TreeItem item) {
  if (!item) return nullptr;
  TreeItem parent = tree.Parent(item);
  const int index = tree.IndexInParent(item);
  if (index < 0) return nullptr;
  if (index == 0) return parent;
  // The last visible descendant of the sibling before.
  TreeItem above = tree.Child(parent, index - 1);
  while (above && tree.IsExpanded(above)) {
    const int children = tree.ChildCount(above);
    if (children == 0) break;
    above = tree.Child(above, children - 1);
  }
  return above;
}

TreeItem VisibleItemBelow(const ITreeControl& tree, TreeItem item) {
  if (!item) return nullptr;
  if (tree.IsExpanded(item) && tree.ChildCount(item) > 0) return tree.Child(item, 0);
  // The next sibling of the item or of its nearest ancestor that has one.
  for (TreeItem at = item; at; at = tree.Parent(at)) {
    const int index = tree.IndexInParent(at);
    if (index < 0) return nullptr;
    TreeItem parent = tree.Parent(at);
    if (index + 1 < tree.ChildCount(parent)) return tree.Child(parent, index + 1);
  }
  return nullptr;
}

void MultiSelectRules::OnLeftButtonDown(ClickKeys keys, TreeHit hit,
                                        const DefaultHandling& byDefault) {
  if (keys.ctrl) {
    if (!hit.item || !hit.onItem) {
      byDefault();
      return;
    }
    // Flip the clicked item; the caret the control moves away from keeps its
    // bit.
    const bool hitWasSelected = tree_.IsSelected(hit.item);
    TreeItem caret = tree_.Caret();
    const bool caretWasSelected = caret && tree_.IsSelected(caret);
    if (hit.item == caret) tree_.SetCaret(nullptr);
    byDefault();
    tree_.SetSelected(hit.item, !hitWasSelected);
    if (caret && caret != hit.item) tree_.SetSelected(caret, caretWasSelected);
    anchor_ = nullptr;
    return;
  }
  if (keys.shift) {
    if (!anchor_) anchor_ = tree_.Caret();
    if (tree_.Caret() == hit.item) tree_.SetCaret(nullptr);
    byDefault();
    if (anchor_) SelectRange(anchor_, hit.item);
    return;
  }
  ClearSelection();
  anchor_ = nullptr;
  // Clicking the caret itself: remove it first, so that the control's
  // handling makes it the caret again and the clicked item ends selected.
  if (hit.item && hit.onItem && tree_.Caret() == hit.item) tree_.SetCaret(nullptr);
  byDefault();
}

void MultiSelectRules::OnKeyDown(int keyCode, bool shift, const DefaultHandling& byDefault) {
  if (shift && (keyCode == kKeyUp || keyCode == kKeyDown)) {
    TreeItem caret = tree_.Caret();
    if (!anchor_) {
      // A new run starts at the caret. It keeps its bit, so that at the first
      // or last item (no item to move to) the selection is not simply gone.
      anchor_ = caret;
      ClearSelection();
      if (caret) tree_.SetSelected(caret, true);
    }
    TreeItem next =
        keyCode == kKeyUp ? VisibleItemAbove(tree_, caret) : VisibleItemBelow(tree_, caret);
    if (!next) return;
    // Moving onto a selected item walks back towards the anchor: the item
    // left behind drops out of the run. Otherwise it stays in.
    const bool nextWasSelected = tree_.IsSelected(next);
    tree_.SetCaret(next);
    if (!nextWasSelected) tree_.SetSelected(caret, true);
    return;
  }
  if (keyCode >= kFirstSelectionKey) {
    anchor_ = nullptr;
    ClearSelection();
  }
  byDefault();
}

void MultiSelectRules::ClearSelection() {
  TreeWalk walk(tree_, false);
  while (TreeItem item = walk.Next()) {
    if (tree_.IsSelected(item)) tree_.SetSelected(item, false);
  }
}

int MultiSelectRules::SelectRange(TreeItem a, TreeItem b) {
  TreeWalk walk(tree_, true);
  TreeItem item = walk.Next();
  for (; item; item = walk.Next()) {
    if (item == a || item == b) break;
    tree_.SetSelected(item, false);
  }
  if (!item) return 0;
  tree_.SetCaret(b);
  // The end reached first starts the run; the other one ends it.
  TreeItem farEnd = item == a ? b : a;
  bool pastFarEnd = false;
  for (; item; item = walk.Next()) {
    tree_.SetSelected(item, !pastFarEnd);
    if (item == farEnd) pastFarEnd = true;
  }
  return 1;
}

}  // namespace vantrel::uimodel
