#pragma once
// CMultiSelectTree, the tree of the Select Receiver dialog: several items can
// be selected at once with Ctrl and Shift (uimodel::MultiSelectRules decides;
// this widget only forwards its left-button and key presses).
//
// The caret is the current item. As in a plain tree control, the item that
// becomes current is selected and the one that stops being current is
// unselected, whatever moved it. Qt's own selection is off (NoSelection) and
// stays empty: clicks and keys only move the current item, the rules do the
// rest. The selected bits are kept here, one per item, and the item delegate
// paints an item with its bit as selected. (Qt's selection model keeps
// ranges and compares them pairwise on every change; with a range per
// workgroup, selecting a large network grew with the square of its size.)
//
// Ask IsItemSelected, not QTreeWidgetItem::isSelected. Bit changes are
// painted, and itemSelectionChanged emitted, once at the end of each event,
// or of a Batch:
//
//   {
//     CMultiSelectTree::Batch batch(tree);
//     for (QTreeWidgetItem* item : computers) tree->SetItemSelected(item, true);
//   }  // one repaint, one itemSelectionChanged
//
// A dialog built from a template puts it in the place of the builder's tree:
//
//   auto* tree = CMultiSelectTree::TakePlaceOf(
//       ui::FindControl<QTreeWidget>(this, res::IDC_RECEIVER_TREE));

#include <QSet>
#include <QTreeWidget>

#include "uimodel/MultiSelectRules.h"

namespace vantrel::ui {

class CMultiSelectTree : public QTreeWidget, private uimodel::ITreeControl {
  Q_OBJECT

 public:
  explicit CMultiSelectTree(QWidget* parent = nullptr);
  ~CMultiSelectTree() override;

  // Makes a tree with the control's place, id, look and tab position and
  // deletes the control; null when control is null.
  static CMultiSelectTree* TakePlaceOf(QTreeWidget* control);

  // An item that keeps its selected bit in itself. Any QTreeWidgetItem can
  // be selected; items of this class (and of classes derived from it) are
  // cheaper to select in large numbers, since the bit sits in memory the
  // tree reads anyway.
  class Item : public QTreeWidgetItem {
   public:
    static constexpr int kType = QTreeWidgetItem::UserType + 0x4D53;
    Item() : QTreeWidgetItem(kType) {}

   private:
    friend class CMultiSelectTree;
    bool selected_ = false;
  };

  class Batch {
   public:
    explicit Batch(CMultiSelectTree* tree);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    CMultiSelectTree* tree_;
  };

  // Takes the keyboard focus. Without a caret, the first item becomes the
  // caret (and so selected) at once, as a tree control does when it gains
  // the focus, even while the window is not active yet.
  void TakeFocus();

  bool IsItemSelected(const QTreeWidgetItem* item) const;
  void SetItemSelected(QTreeWidgetItem* item, bool selected);
  // How many items are selected.
  qsizetype selectedCount() const { return selectedCount_; }

  // Clears the selected bit of every item, in collapsed branches too.
  void ClearSelection();
  // Selects the visible run from a to b, makes b current and unselects every
  // other visible item; 1 when a run was selected, 0 when neither end is
  // visible.
  int SelectRange(QTreeWidgetItem* a, QTreeWidgetItem* b);
  // The fixed end of a Shift range; null when there is none.
  QTreeWidgetItem* anchor() const;

  // The Windows virtual-key code of a key press (Up 0x26, Space 0x20, Tab
  // 0x09, ...); keys without one count as 0xFF, among those that clear the
  // selection.
  static int VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Delegate;

  // uimodel::ITreeControl over the items.
  int ChildCount(uimodel::TreeItem parent) const override;
  uimodel::TreeItem Child(uimodel::TreeItem parent, int index) const override;
  uimodel::TreeItem Parent(uimodel::TreeItem item) const override;
  int IndexInParent(uimodel::TreeItem item) const override;
  bool IsExpanded(uimodel::TreeItem item) const override;
  bool IsSelected(uimodel::TreeItem item) const override;
  void SetSelected(uimodel::TreeItem item, bool selected) override;
  uimodel::TreeItem Caret() const override;
  void SetCaret(uimodel::TreeItem item) override;

  uimodel::TreeHit HitTest(const QPoint& pos, bool* onButton) const;
  void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
  void RowsGoing(const QModelIndex& parent, int first, int last);
  void Flush();

  uimodel::MultiSelectRules rules_;
  // Reads and writes an item's bit; Put answers whether it changed.
  bool Has(const QTreeWidgetItem* item) const;
  bool Put(QTreeWidgetItem* item, bool selected);

  // The bits of items that are not Items. QSet rather than
  // std::unordered_set: no allocation per element.
  QSet<const QTreeWidgetItem*> bits_;
  qsizetype selectedCount_ = 0;
  bool changed_ = false;  // bits changed since the last repaint
  int batchDepth_ = 0;
};

}  // namespace vantrel::ui
