#include "ui/MultiSelectTree.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <vector>

namespace vantrel::ui {
namespace {

QTreeWidgetItem* Q(uimodel::TreeItem item) { return static_cast<QTreeWidgetItem*>(item); }

}  // namespace

// Paints an item with its selected bit as selected, the way a tree control
// does: the image stays as it is, the label (the text with a small margin)
// is highlighted, and the caret's label gets the focus rectangle. A label
// too long for the tree ends in "..." and shows whole as a tool tip.
class CMultiSelectTree::Delegate : public QStyledItemDelegate {
 public:
  explicit Delegate(CMultiSelectTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    // The row and the image, unselected.
    QStyleOptionViewItem plain = opt;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    plain.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);

    const Label label = LabelOf(opt);
    const bool selected = opt.state.testFlag(QStyle::State_Selected);
    QPalette::ColorGroup group = QPalette::Disabled;
    if (opt.state.testFlag(QStyle::State_Enabled)) {
      group = opt.state.testFlag(QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
    }
    painter->save();
    if (selected) painter->fillRect(label.rect, opt.palette.brush(group, QPalette::Highlight));
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(label.rect.adjusted(label.margin, 0, -label.margin, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label.text);
    painter->restore();
    if (opt.state.testFlag(QStyle::State_HasFocus)) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(opt);
      focus.rect = label.rect;
      focus.state |= QStyle::State_KeyboardFocusChange;
      focus.backgroundColor =
          opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
  }

  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() != QEvent::ToolTip) {
      return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const Label label = LabelOf(opt);
    if (label.text == opt.text) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->globalPos(), opt.text, view, label.rect);
    }
    return true;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->state.setFlag(QStyle::State_Selected,
                          tree_->IsItemSelected(tree_->itemFromIndex(index)));
  }

 private:
  struct Label {
    QRect rect;
    QString text;  // elided to fit
    int margin = 0;
  };
  static Label LabelOf(const QStyleOptionViewItem& opt) {
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    Label label;
    label.margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    label.text =
        opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, room.width() - 2 * label.margin);
    const int width = opt.fontMetrics.horizontalAdvance(label.text) + 2 * label.margin;
    label.rect = QRect(room.left(), room.top(), std::min(width, room.width()), room.height());
    return label;
  }

  CMultiSelectTree* tree_;
};

CMultiSelectTree::CMultiSelectTree(QWidget* parent) : QTreeWidget(parent), rules_(*this) {
  // Clicks and keys only move the current item; the bits are ours.
  setSelectionMode(QAbstractItemView::NoSelection);
  setHeaderHidden(true);
  setDragEnabled(false);
  // Every row of a tree control is one line high; the view need not measure
  // each (which makes large trees slow to lay out).
  setUniformRowHeights(true);
  setItemDelegate(new Delegate(this));
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CMultiSelectTree::OnCurrentChanged);
  connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &CMultiSelectTree::RowsGoing);
  connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    // The items go, and their bits with them.
    changed_ = changed_ || selectedCount_ != 0;
    bits_.clear();
    selectedCount_ = 0;
    rules_.ResetAnchor();
    if (batchDepth_ == 0) Flush();
  });
}

CMultiSelectTree::~CMultiSelectTree() {
  // The view's destructor deletes the items (resetting the model) after the
  // members here are gone: nothing may reach them from then on.
  disconnect(selectionModel(), nullptr, this, nullptr);
  disconnect(model(), nullptr, this, nullptr);
}

CMultiSelectTree* CMultiSelectTree::TakePlaceOf(QTreeWidget* control) {
  if (!control) return nullptr;
  auto* tree = new CMultiSelectTree(control->parentWidget());
  tree->setObjectName(control->objectName());
  // The control id and whatever else the builder attached.
  for (const QByteArray& name : control->dynamicPropertyNames()) {
    tree->setProperty(name.constData(), control->property(name.constData()));
  }
  tree->setGeometry(control->geometry());
  tree->setFocusPolicy(control->focusPolicy());
  tree->setRootIsDecorated(control->rootIsDecorated());
  tree->setHeaderHidden(control->isHeaderHidden());
  tree->setEnabled(control->isEnabled());
  if (control->testAttribute(Qt::WA_SetFont)) tree->setFont(control->font());
  if (control->testAttribute(Qt::WA_WState_ExplicitShowHide) && control->isHidden()) tree->hide();
  QWidget::setTabOrder(control, tree);
  delete control;
  return tree;
}

CMultiSelectTree::Batch::Batch(CMultiSelectTree* tree) : tree_(tree) { ++tree_->batchDepth_; }

CMultiSelectTree::Batch::~Batch() {
  if (--tree_->batchDepth_ == 0) tree_->Flush();
}

void CMultiSelectTree::TakeFocus() {
  if (!currentItem() && topLevelItemCount() > 0) SetCaret(topLevelItem(0));
  setFocus(Qt::OtherFocusReason);
}

bool CMultiSelectTree::IsItemSelected(const QTreeWidgetItem* item) const {
  return item && Has(item);
}

void CMultiSelectTree::SetItemSelected(QTreeWidgetItem* item, bool selected) {
  if (!item) return;
  SetSelected(item, selected);
  if (batchDepth_ == 0) Flush();
}

void CMultiSelectTree::ClearSelection() {
  Batch batch(this);
  rules_.ClearSelection();
}

int CMultiSelectTree::SelectRange(QTreeWidgetItem* a, QTreeWidgetItem* b) {
  Batch batch(this);
  return rules_.SelectRange(a, b);
}

QTreeWidgetItem* CMultiSelectTree::anchor() const { return Q(rules_.anchor()); }

int CMultiSelectTree::VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // 0x41..0x5A, as Windows
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return keypad ? 0x60 + (qtKey - Qt::Key_0) : qtKey;  // 0x30..0x39
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    // Below 0x20: they leave the selection alone.
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 0x09;
    case Qt::Key_Clear:
      return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return 0x12;
    case Qt::Key_Pause:
      return 0x13;
    case Qt::Key_CapsLock:
      return 0x14;
    case Qt::Key_Hangul:
    case Qt::Key_Kana_Lock:
    case Qt::Key_Katakana:
    case Qt::Key_Hiragana:
    case Qt::Key_Hiragana_Katakana:
      return 0x15;
    case Qt::Key_Kanji:
    case Qt::Key_Hangul_Hanja:
      return 0x19;
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Henkan:
      return 0x1C;
    case Qt::Key_Muhenkan:
      return 0x1D;
    case Qt::Key_Mode_switch:
      return 0x1F;
    // From 0x20 up: they clear the selection first.
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return uimodel::kKeyUp;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return uimodel::kKeyDown;
    case Qt::Key_Select:
      return 0x29;
    case Qt::Key_Print:
      return 0x2C;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    case Qt::Key_Help:
      return 0x2F;
    case Qt::Key_Meta:
      return 0x5B;
    case Qt::Key_Menu:
      return 0x5D;
    case Qt::Key_Asterisk:
      return keypad ? 0x6A : 0xFF;
    case Qt::Key_Plus:
      return keypad ? 0x6B : 0xFF;
    case Qt::Key_Minus:
      return keypad ? 0x6D : 0xFF;
    case Qt::Key_NumLock:
      return 0x90;
    case Qt::Key_ScrollLock:
      return 0x91;
    default:
      return 0xFF;
  }
}

void CMultiSelectTree::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    // Other buttons neither move the caret nor touch the selection.
    setFocus(Qt::MouseFocusReason);
    event->accept();
    return;
  }
  bool onButton = false;
  const uimodel::TreeHit hit = HitTest(event->position().toPoint(), &onButton);
  const Qt::KeyboardModifiers keys = event->modifiers();
  Batch batch(this);
  rules_.OnLeftButtonDown(
      {.ctrl = keys.testFlag(Qt::ControlModifier), .shift = keys.testFlag(Qt::ShiftModifier)}, hit,
      [&] {
        // The indentation before an item does nothing but take the focus.
        if (hit.item && !hit.onItem && !onButton) {
          setFocus(Qt::MouseFocusReason);
          return;
        }
        QTreeWidget::mousePressEvent(event);
      });
}

void CMultiSelectTree::mouseMoveEvent(QMouseEvent* event) {
  // Dragging with a button held neither selects nor moves the caret.
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QTreeWidget::mouseMoveEvent(event);
}

void CMultiSelectTree::keyPressEvent(QKeyEvent* event) {
  const int code = VirtualKeyCode(event->key(), event->modifiers());
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  bool handledByDefault = false;
  Batch batch(this);
  rules_.OnKeyDown(code, shift, [&] {
    handledByDefault = true;
    QTreeWidget::keyPressEvent(event);
  });
  if (!handledByDefault) event->accept();
}

uimodel::TreeHit CMultiSelectTree::HitTest(const QPoint& pos, bool* onButton) const {
  *onButton = false;
  const QModelIndex index = indexAt(pos);
  QTreeWidgetItem* item = itemFromIndex(index);
  if (!item) return {};
  const QRect cell = visualRect(index);
  if (cell.contains(pos)) return {item, true};
  // The expand button sits in the indentation step just before the item.
  *onButton =
      item->childCount() > 0 && pos.x() < cell.left() && pos.x() >= cell.left() - indentation();
  return {item, false};
}

void CMultiSelectTree::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // The tree control's own rule: the caret carries the selected bit.
  QTreeWidgetItem* was = itemFromIndex(previous);
  QTreeWidgetItem* now = itemFromIndex(current);
  if (was == now) return;
  if (was) SetSelected(was, false);
  if (now) SetSelected(now, true);
  if (batchDepth_ == 0) Flush();
}

void CMultiSelectTree::RowsGoing(const QModelIndex& parent, int first, int last) {
  // The items going and everything below them lose their bits.
  QTreeWidgetItem* parentItem = itemFromIndex(parent);
  std::vector<QTreeWidgetItem*> going;
  for (int row = first; row <= last; ++row) {
    going.push_back(parentItem ? parentItem->child(row) : topLevelItem(row));
  }
  while (!going.empty()) {
    QTreeWidgetItem* item = going.back();
    going.pop_back();
    if (!item) continue;
    if (Put(item, false)) changed_ = true;
    for (int i = 0; i < item->childCount(); ++i) going.push_back(item->child(i));
  }
  // The anchor may be one of them.
  rules_.ResetAnchor();
  if (batchDepth_ == 0) Flush();
}

int CMultiSelectTree::ChildCount(uimodel::TreeItem parent) const {
  return parent ? Q(parent)->childCount() : topLevelItemCount();
}

uimodel::TreeItem CMultiSelectTree::Child(uimodel::TreeItem parent, int index) const {
  return parent ? Q(parent)->child(index) : topLevelItem(index);
}

uimodel::TreeItem CMultiSelectTree::Parent(uimodel::TreeItem item) const {
  return Q(item)->parent();
}

int CMultiSelectTree::IndexInParent(uimodel::TreeItem item) const {
  return indexFromItem(Q(item)).row();
}

bool CMultiSelectTree::IsExpanded(uimodel::TreeItem item) const { return Q(item)->isExpanded(); }

bool CMultiSelectTree::Has(const QTreeWidgetItem* item) const {
  if (item->type() == Item::kType) return static_cast<const Item*>(item)->selected_;
  return bits_.contains(item);
}

bool CMultiSelectTree::Put(QTreeWidgetItem* item, bool selected) {
  if (item->type() == Item::kType) {
    auto* own = static_cast<Item*>(item);
    if (own->selected_ == selected) return false;
    own->selected_ = selected;
  } else if (selected) {
    if (bits_.contains(item)) return false;
    bits_.insert(item);
  } else if (!bits_.remove(item)) {
    return false;
  }
  selectedCount_ += selected ? 1 : -1;
  return true;
}

bool CMultiSelectTree::IsSelected(uimodel::TreeItem item) const { return Has(Q(item)); }

void CMultiSelectTree::SetSelected(uimodel::TreeItem item, bool selected) {
  if (Put(Q(item), selected)) changed_ = true;
}

uimodel::TreeItem CMultiSelectTree::Caret() const { return currentItem(); }

void CMultiSelectTree::SetCaret(uimodel::TreeItem item) {
  // OnCurrentChanged moves the bit.
  if (item) {
    setCurrentItem(Q(item), 0, QItemSelectionModel::NoUpdate);
  } else {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void CMultiSelectTree::Flush() {
  if (!changed_) return;
  changed_ = false;
  viewport()->update();
  emit itemSelectionChanged();
}

}  // namespace vantrel::ui
