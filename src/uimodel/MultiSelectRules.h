#pragma once
// The selection rules of the multi-selection tree, without a widget.
//
// A tree control has one caret item (the item with the focus rectangle) and
// a selected bit on every item. The control itself only ever moves the caret:
// the item that becomes the caret gets the selected bit, the item that stops
// being the caret loses it. MultiSelectRules sets and clears the bits of the
// other items so that any number of them can be selected at once:
//
//   - a plain click selects the clicked item alone;
//   - Ctrl+click flips the clicked item and keeps every other bit;
//   - Shift+click selects the visible run between the anchor (the end that
//     stays put) and the clicked item and clears the other visible items;
//   - Shift+Up/Down grow or shrink that run one item at a time;
//   - any other key of code 0x20 or above (Space, the page, Home, End and
//     arrow keys, letters, ...) clears the selection before the control moves
//     the caret; keys below 0x20 (Tab, Enter, Shift, Ctrl, Escape, ...) keep it.
//
// The widget forwards its left-button presses and key presses, with the
// control's own handling as a callback that the rules run at the right
// moment:
//
//   rules.OnLeftButtonDown({.ctrl = ..., .shift = ...}, HitTest(point),
//                          [&] { QTreeWidget::mousePressEvent(event); });
//
// Key codes are the Windows virtual-key codes (Up 0x26, Down 0x28, Space
// 0x20, Tab 0x09, ...); the widget maps its toolkit's keys to them.

#include <functional>
#include <vector>

namespace vantrel::uimodel {

// An item of the tree; null stands for no item.
using TreeItem = void*;

// The tree control as the rules see it. A null parent stands for the top
// level (the items without a parent).
class ITreeControl {
 public:
  virtual ~ITreeControl() = default;

  virtual int ChildCount(TreeItem parent) const = 0;
  virtual TreeItem Child(TreeItem parent, int index) const = 0;
  virtual TreeItem Parent(TreeItem item) const = 0;
  // The item's place among its parent's children; -1 when it has none.
  virtual int IndexInParent(TreeItem item) const = 0;
  // Whether the item's children are shown.
  virtual bool IsExpanded(TreeItem item) const = 0;

  virtual bool IsSelected(TreeItem item) const = 0;
  virtual void SetSelected(TreeItem item, bool selected) = 0;

  virtual TreeItem Caret() const = 0;
  // Moves the caret as the control itself does: the old caret loses its
  // selected bit, the new one gets it. Null leaves no caret.
  virtual void SetCaret(TreeItem item) = 0;
};

// The items of a tree one after another in pre-order (a parent before its
// children, children in order). With visibleOnly the children of collapsed
// items are left out: what remains is the display order. Each step is
// constant time on average; the tree must not change during the walk.
class TreeWalk {
 public:
  TreeWalk(const ITreeControl& tree, bool visibleOnly);
  // The next item; null after the last one.
  TreeItem Next();

 private:
  struct Level {
    TreeItem parent;
    int next;
    int count;
  };
  const ITreeControl& tree_;
  bool visibleOnly_;
  std::vector<Level> open_;
};

// The visible item shown directly above or below item; null when there is none.
TreeItem VisibleItemAbove(const ITreeControl& tree, TreeItem item);
TreeItem VisibleItemBelow(const ITreeControl& tree, TreeItem item);

// Virtual-key codes the rules tell apart.
inline constexpr int kKeyUp = 0x26;
inline constexpr int kKeyDown = 0x28;
// Keys from this code up drop the selection (Space is the first of them).
inline constexpr int kFirstSelectionKey = 0x20;

// The keys held with a click.
struct ClickKeys {
  bool ctrl = false;
  bool shift = false;
};

// Where a click landed.
struct TreeHit {
  // The item of the row under the point; null beside all items.
  TreeItem item = nullptr;
  // Whether the point is on the item itself (image or text), not on its
  // expand button or the indentation before it.
  bool onItem = false;
};

class MultiSelectRules {
 public:
  // The control's own handling of the event that is being forwarded.
  using DefaultHandling = std::function<void()>;

  explicit MultiSelectRules(ITreeControl& tree) : tree_(tree) {}

  // The fixed end of a Shift range; null when there is none.
  TreeItem anchor() const { return anchor_; }
  // The tree lost items: an anchor may no longer exist.
  void ResetAnchor() { anchor_ = nullptr; }

  void OnLeftButtonDown(ClickKeys keys, TreeHit hit, const DefaultHandling& byDefault);
  // shift: whether Shift is held while the key goes down.
  void OnKeyDown(int keyCode, bool shift, const DefaultHandling& byDefault);

  // Clears the selected bit of every item, in collapsed branches too.
  void ClearSelection();
  // Selects the visible run from a to b (in either order), makes b the caret
  // and clears the selected bit of every other visible item. A null end is
  // never met: the run goes on to the last visible item. 1 when a run was
  // selected; 0 when neither end is visible (every visible item then ends
  // unselected).
  int SelectRange(TreeItem a, TreeItem b);

 private:
  ITreeControl& tree_;
  TreeItem anchor_ = nullptr;
};

}  // namespace vantrel::uimodel
