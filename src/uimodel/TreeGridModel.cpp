#include "uimodel/TreeGridModel.h"

#include <algorithm>
#include <utility>

namespace vantrel::uimodel {

// ---- TreeGridRow -----------------------------------------------------------

void TreeGridRow::SetCell(size_t i, std::string text) {
  if (i >= cells_.size()) cells_.resize(i + 1);
  cells_[i] = std::move(text);
}

std::string TreeGridRow::ColumnText(int column) const {
  if (column <= 0) return label_;
  return Cell(static_cast<size_t>(column - 1));
}

void TreeGridRow::SetColumnText(int column, std::string text) {
  if (column <= 0) {
    label_ = std::move(text);
  } else {
    SetCell(static_cast<size_t>(column - 1), std::move(text));
  }
}

// ---- TreeGridNode ----------------------------------------------------------

TreeGridNode::TreeGridNode(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row)
    : parent_(parent), row_(row ? std::move(row) : std::make_unique<TreeGridRow>()) {
  level_ = parent ? parent->level_ + 1 : 0;
}

TreeGridNode::~TreeGridNode() {
  // Frees the subtree without recursion, however deep it is.
  std::vector<std::unique_ptr<TreeGridNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TreeGridNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

TreeGridNode* TreeGridNode::Parent() const {
  return parent_ && parent_->level_ > 0 ? parent_ : nullptr;
}

bool TreeGridNode::HasLaterSibling() const {
  return parent_ && parent_->children_.back().get() != this;
}

// ---- TreeGridModel ---------------------------------------------------------

TreeGridModel::TreeGridModel() : root_(new TreeGridNode(nullptr, nullptr)) {
  root_->collapsed_ = false;  // its children, the top-level nodes, are always shown
}

TreeGridModel::~TreeGridModel() = default;

TreeGridNode* TreeGridModel::NodeAt(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return nullptr;
  return rows_[static_cast<size_t>(row)];
}

void TreeGridModel::RenumberFrom(size_t first) {
  for (size_t i = first; i < rows_.size(); ++i) rows_[i]->rowIndex_ = static_cast<int>(i);
}

size_t TreeGridModel::EndOfShownSubtree(const TreeGridNode* node) const {
  size_t end = static_cast<size_t>(node->rowIndex_) + 1;
  // Shown descendants follow the node; start from its last child's row when
  // it has one shown, so that appending under a big parent stays cheap.
  if (!node->collapsed_ && !node->children_.empty() && node->children_.back()->rowIndex_ >= 0)
    end = static_cast<size_t>(node->children_.back()->rowIndex_) + 1;
  while (end < rows_.size() && rows_[end]->level_ > node->level_) ++end;
  return end;
}

void TreeGridModel::HideRows(size_t first, size_t last) {
  for (size_t i = first; i < last; ++i) {
    TreeGridNode* n = rows_[i];
    if (n == selected_) selected_ = nullptr;
    n->rowIndex_ = -1;
    n->collapsed_ = true;
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
              rows_.begin() + static_cast<std::ptrdiff_t>(last));
}

TreeGridNode* TreeGridModel::InsertRootRow(std::unique_ptr<TreeGridRow> row) {
  auto owned = std::unique_ptr<TreeGridNode>(new TreeGridNode(root_.get(), std::move(row)));
  TreeGridNode* node = owned.get();
  root_->children_.push_back(std::move(owned));
  node->rowIndex_ = static_cast<int>(rows_.size());
  rows_.push_back(node);
  return node;
}

TreeGridNode* TreeGridModel::InsertChildRow(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row,
                                            bool show) {
  if (!parent) return nullptr;
  auto owned = std::unique_ptr<TreeGridNode>(new TreeGridNode(parent, std::move(row)));
  TreeGridNode* node = owned.get();
  if (!show) {
    // A parent whose children are shown would show all but this one: it is
    // collapsed properly, so that expanding it later shows every child once.
    if (!parent->collapsed_) CollapseRow(parent);
    parent->children_.push_back(std::move(owned));
    parent->collapsed_ = true;
    return node;
  }
  if (!parent->IsShown()) {
    parent->children_.push_back(std::move(owned));
    return node;
  }
  if (parent->collapsed_) {
    parent->children_.push_back(std::move(owned));
    ExpandRow(parent);
    return node;
  }
  const size_t at = EndOfShownSubtree(parent);
  parent->children_.push_back(std::move(owned));
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), node);
  RenumberFrom(at);
  return node;
}

void TreeGridModel::DeleteRow(TreeGridNode* node) {
  if (!node || node == root_.get()) return;
  const int deletedRow = node->rowIndex_;
  if (deletedRow >= 0) {
    const size_t first = static_cast<size_t>(deletedRow);
    const size_t end = EndOfShownSubtree(node);
    HideRows(first, end);
    RenumberFrom(first);
  }
  TreeGridNode* parent = node->parent_;
  // A hidden descendant of the deleted node may still be selected; the
  // selection only ever holds shown nodes, so it is gone with the rows above.
  auto& siblings = parent->children_;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [node](const auto& child) { return child.get() == node; });
  if (it != siblings.end()) siblings.erase(it);  // frees the subtree
  if (deletedRow >= 1) {
    const int count = static_cast<int>(rows_.size());
    Select(deletedRow < count ? deletedRow : deletedRow - 1);
  }
}

void TreeGridModel::DeleteAllRows() {
  rows_.clear();
  selected_ = nullptr;
  root_->children_.clear();
}

int TreeGridModel::ExpandRow(TreeGridNode* node) {
  if (!node || !node->IsShown()) return node ? node->rowIndex_ : -1;
  const int at = node->rowIndex_;
  if (node->children_.empty() || !node->collapsed_) return at;
  node->collapsed_ = false;
  const size_t first = static_cast<size_t>(at) + 1;
  std::vector<TreeGridNode*> shown;
  shown.reserve(node->children_.size());
  for (auto& child : node->children_) shown.push_back(child.get());
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(first), shown.begin(), shown.end());
  RenumberFrom(first);
  return at + static_cast<int>(shown.size());
}

void TreeGridModel::CollapseRow(TreeGridNode* node) {
  if (!node || node->children_.empty()) return;
  if (node->IsShown() && !node->collapsed_) {
    const size_t first = static_cast<size_t>(node->rowIndex_) + 1;
    const size_t end = EndOfShownSubtree(node);
    HideRows(first, end);
    RenumberFrom(first);
  }
  node->collapsed_ = true;
}

void TreeGridModel::ExpandAllBelow(TreeGridNode* node, int* lastRow) {
  if (!node || !node->IsShown() || node->children_.empty()) return;
  const size_t first = static_cast<size_t>(node->rowIndex_) + 1;
  const size_t oldEnd = EndOfShownSubtree(node);
  // The whole subtree in pre-order, every node with children expanded.
  std::vector<TreeGridNode*> subtree;
  std::vector<TreeGridNode*> stack;
  node->collapsed_ = false;
  for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it)
    stack.push_back(it->get());
  while (!stack.empty()) {
    TreeGridNode* n = stack.back();
    stack.pop_back();
    subtree.push_back(n);
    if (!n->children_.empty()) {
      n->collapsed_ = false;
      for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it)
        stack.push_back(it->get());
    }
  }
  const bool added = subtree.size() > oldEnd - first;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
              rows_.begin() + static_cast<std::ptrdiff_t>(oldEnd));
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(first), subtree.begin(), subtree.end());
  RenumberFrom(first);
  if (added && lastRow) *lastRow = static_cast<int>(first + subtree.size()) - 1;
}

void TreeGridModel::Select(int row) { selected_ = NodeAt(row); }

bool TreeGridModel::MoveCurrentColumn(int delta, int columnCount) {
  const int next = currentColumn_ + delta;
  if (delta == 0 || next < 0 || next > columnCount - 1) return false;
  currentColumn_ = next;
  return true;
}

// ---- Layout ----------------------------------------------------------------

ConnectorKind ConnectorAt(const TreeGridNode& node, int level) {
  if (level < 2 || level > node.Level()) return ConnectorKind::None;
  const TreeGridNode* n = &node;
  while (n->Level() > level) n = n->Parent();
  if (n == &node) return n->HasLaterSibling() ? ConnectorKind::Tee : ConnectorKind::Ell;
  return n->HasLaterSibling() ? ConnectorKind::Tee : ConnectorKind::None;
}

TreeGridRowLayout LayoutRow(const TreeGridNode& node, int rowLeft, int rowTop,
                            const TreeGridMetrics& m) {
  TreeGridRowLayout l;
  const int cx = m.imageWidth;
  const int half = cx / 2;
  const int level = node.Level();
  const int column0Right = rowLeft + m.column0Width;
  const int vOffset = (m.rowHeight - m.imageHeight) / 2;

  l.iconX = rowLeft + level * cx;
  l.iconY = rowTop + vOffset;
  l.iconDrawWidth = cx;
  if (l.iconX + cx > column0Right - 2) l.iconDrawWidth = column0Right - l.iconX;
  l.decorations = l.iconDrawWidth > 0;
  if (!l.decorations) l.iconDrawWidth = 0;

  l.middleY = rowTop + half + vOffset;
  l.connectorX = rowLeft + level * cx - half;
  l.lineEndX = std::min(l.connectorX + half, column0Right);
  if (l.decorations) {
    l.connector = ConnectorAt(node, level);
    for (int a = 2; a < level; ++a) {
      if (ConnectorAt(node, a) == ConnectorKind::Tee)
        l.throughLinesX.push_back(rowLeft + a * cx - half);
    }
    if (node.HasChildren()) {
      l.box = true;
      l.plus = node.IsCollapsed();
      const int w = cx / 2 + 3;
      const int h = m.imageHeight / 2 + 3;
      l.boxRect = GridRect{l.connectorX - w / 2, l.middleY - h / 2, w, h};
      l.childConnectorX = l.connectorX + cx;
    }
  }

  l.fillLeft = std::min(rowLeft + cx * (level + 1) + 2, column0Right);
  const int labelLeft = std::min(rowLeft + cx * (level + 1), column0Right);
  l.labelRect = GridRect{labelLeft, rowTop, column0Right - labelLeft, m.rowHeight};
  return l;
}

// ---- Shortening ------------------------------------------------------------

Shortened ShortenToFit(size_t length, int available, int allowance, int ellipsisWidth,
                       const std::function<int(size_t)>& widthOfPrefix) {
  Shortened s;
  s.keep = length;
  if (length == 0 || widthOfPrefix(length) + allowance < available) return s;
  s.shortened = true;
  // Characters go from the end until the rest fits: the longest prefix
  // shorter than the whole that fits, or one character. Widths grow with the
  // prefix, so it is found by halving instead of one character at a time.
  auto fits = [&](size_t n) { return widthOfPrefix(n) + allowance + ellipsisWidth < available; };
  size_t lo = 1, hi = length - 1;  // the answer lies in [lo, hi]
  if (hi < lo || !fits(lo)) {
    s.keep = 1;
    return s;
  }
  while (lo < hi) {
    const size_t mid = lo + (hi - lo + 1) / 2;
    if (fits(mid)) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  s.keep = lo;
  return s;
}

}  // namespace vantrel::uimodel
