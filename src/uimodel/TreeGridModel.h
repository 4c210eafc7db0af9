#pragma once
// The rows of the editable tree grid, without Qt.
//
// A tree of nodes, each owning its row data (a label and text cells), and the
// list of the nodes that are shown: the top-level nodes and every node whose
// ancestors are all expanded, in pre-order (a node, then its shown
// descendants, then its next sibling). The list is a vector of node pointers,
// so the node of a row is found at once and painting a screen touches only
// the rows on it. Every structural change renumbers the rows from the first
// one it moved, so a shown node's RowIndex() is always its place in the list;
// a node that is not shown has row index -1.
//
// One rule holds throughout: a node is expanded only while it is shown, and
// then all its children are shown. Collapsing a node therefore collapses its
// expanded descendants too, and expanding shows exactly one more level.
//
// The model also keeps the selected row (single selection, kept on its node
// while rows move) and the current column (a position in the header's order),
// and it does the layout arithmetic of one row (indent, icon, connector
// lines, plus/minus box, where the text starts) and the "..." shortening, so
// that the widget draws and hit-tests with the same numbers.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::uimodel {

// The data of one row: the label (column 0) and the cells (cell i is the text
// of column i + 1), and an image index (-1: none set).
class TreeGridRow {
 public:
  const std::string& Label() const { return label_; }
  void SetLabel(std::string label) { label_ = std::move(label); }

  void AppendCell(std::string text) { cells_.push_back(std::move(text)); }
  // Grows the cells as needed.
  void SetCell(size_t i, std::string text);
  // A copy; empty for a cell that was never set.
  std::string Cell(size_t i) const { return i < cells_.size() ? cells_[i] : std::string(); }
  size_t CellCount() const { return cells_.size(); }

  int Image() const { return image_; }
  void SetImage(int image) { image_ = image; }

  // The text of a grid column: the label for column 0, cell column - 1 else.
  std::string ColumnText(int column) const;
  void SetColumnText(int column, std::string text);

 private:
  std::string label_;
  std::vector<std::string> cells_;
  int image_ = -1;
};

class TreeGridNode {
 public:
  ~TreeGridNode();
  TreeGridNode(const TreeGridNode&) = delete;
  TreeGridNode& operator=(const TreeGridNode&) = delete;

  TreeGridRow& Row() { return *row_; }
  const TreeGridRow& Row() const { return *row_; }
  // Null for a top-level node.
  TreeGridNode* Parent() const;
  // 1 for a top-level node, the parent's level + 1 below it.
  int Level() const { return level_; }
  // The node's list row while it is shown, -1 otherwise.
  int RowIndex() const { return rowIndex_; }
  bool IsShown() const { return rowIndex_ >= 0; }
  bool IsCollapsed() const { return collapsed_; }
  bool HasChildren() const { return !children_.empty(); }
  size_t ChildCount() const { return children_.size(); }
  TreeGridNode* Child(size_t i) const {
    return i < children_.size() ? children_[i].get() : nullptr;
  }
  // Whether a sibling follows this node under the same parent (top-level
  // nodes included).
  bool HasLaterSibling() const;

 private:
  friend class TreeGridModel;
  TreeGridNode(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row);

  std::vector<std::unique_ptr<TreeGridNode>> children_;
  TreeGridNode* parent_;  // the model's hidden root above the top-level nodes
  std::unique_ptr<TreeGridRow> row_;
  bool collapsed_ = true;
  int rowIndex_ = -1;
  int level_ = 0;
};

class TreeGridModel {
 public:
  TreeGridModel();
  ~TreeGridModel();
  TreeGridModel(const TreeGridModel&) = delete;
  TreeGridModel& operator=(const TreeGridModel&) = delete;

  // A new top-level node with the given row data (a new empty one when null),
  // shown as the last row. Gives the node.
  TreeGridNode* InsertRootRow(std::unique_ptr<TreeGridRow> row = nullptr);
  // A new last child of parent. With show false no row is shown for it and
  // the parent is (or becomes) collapsed. With show true it is shown at once
  // when the parent is shown: an expanded parent gets the row at its place,
  // a collapsed one is expanded. Under a hidden parent it stays hidden. Null
  // when parent is null.
  TreeGridNode* InsertChildRow(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row = nullptr,
                               bool show = true);
  // Removes the node with its subtree and their rows. When the node's row was
  // 1 or more, the row now at that index is selected, or the one before it
  // when there is none; deleting row 0 (or a hidden node) selects nothing new.
  void DeleteRow(TreeGridNode* node);
  void DeleteAllRows();
  // Shows the children of a shown, collapsed node with children, one level
  // (each keeps its own collapsed state). Gives the row of the last child
  // shown, or the node's own row when nothing was shown.
  int ExpandRow(TreeGridNode* node);
  // Hides every shown descendant of the node and marks the node and its
  // expanded descendants collapsed. The selection is lost when its row hides.
  void CollapseRow(TreeGridNode* node);
  // Expands the shown node and every descendant with children, in one pass.
  // *lastRow becomes the row of the subtree's last node when rows were shown,
  // and is left alone otherwise.
  void ExpandAllBelow(TreeGridNode* node, int* lastRow);
  // Writes each shown node's list index into it.
  void RenumberRows() { RenumberFrom(0); }

  size_t RowCount() const { return rows_.size(); }
  // Null outside 0 .. RowCount() - 1.
  TreeGridNode* NodeAt(int row) const;
  size_t TopLevelCount() const { return root_->children_.size(); }
  TreeGridNode* TopLevel(size_t i) const { return root_->Child(i); }

  // The selected row, -1 when none.
  int SelectedRow() const { return selected_ ? selected_->rowIndex_ : -1; }
  TreeGridNode* SelectedNode() const { return selected_; }
  // Selects the row (an invalid row clears the selection).
  void Select(int row);

  // The current column, a position in the header's order (0 at first).
  int CurrentColumn() const { return currentColumn_; }
  void SetCurrentColumn(int position) { currentColumn_ = position; }
  // Moves the current column one step left (delta -1) or right (+1) within
  // 0 .. columnCount - 1. False, and nothing changes, at either end.
  bool MoveCurrentColumn(int delta, int columnCount);

 private:
  void RenumberFrom(size_t first);
  // The row after the node's last shown descendant.
  size_t EndOfShownSubtree(const TreeGridNode* node) const;
  // Hides rows [first, last) and marks their nodes collapsed.
  void HideRows(size_t first, size_t last);

  std::unique_ptr<TreeGridNode> root_;  // level 0, never shown
  std::vector<TreeGridNode*> rows_;
  TreeGridNode* selected_ = nullptr;
  int currentColumn_ = 0;
};

// ---- Layout of one row ----------------------------------------------------

// What the widget knows of its sizes.
struct TreeGridMetrics {
  int imageWidth = 0;  // the indent step and the icon cell
  int imageHeight = 0;
  int rowHeight = 0;
  int column0Width = 0;
};

// The connector drawn at the node's own level: none for a top-level node, an
// L for a last child, a T for a child with later siblings.
enum class ConnectorKind { None, Ell, Tee };

struct GridRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

// Positions within a row whose left edge is rowLeft (0 less the horizontal
// scroll) and whose top is rowTop.
struct TreeGridRowLayout {
  // Icon: its place and the width actually drawn (cut at column 0's right
  // edge). With nothing of it left, no icon, connector lines or box.
  int iconX = 0, iconY = 0, iconDrawWidth = 0;
  bool decorations = false;
  int middleY = 0;     // the row's middle, where lines and box meet
  int connectorX = 0;  // the x of the node's own level
  int lineEndX = 0;    // where its horizontal line stops (the icon's left)
  ConnectorKind connector = ConnectorKind::None;
  std::vector<int> throughLinesX;  // vertical lines of ancestors with later siblings
  bool box = false;                // plus/minus box (the node has children)
  bool plus = false;               // collapsed: plus; expanded: minus
  GridRect boxRect;
  int childConnectorX = 0;  // expanded: the line down toward the first child
  int fillLeft = 0;         // where the row's background fill starts
  GridRect labelRect;       // column 0's text area (before narrowing)
};

TreeGridRowLayout LayoutRow(const TreeGridNode& node, int rowLeft, int rowTop,
                            const TreeGridMetrics& m);

// The connector of a level of the node's row: at its own level its L or T,
// at an ancestor's level a line through the row (Tee) when that ancestor has
// a later sibling, else None. Top-level nodes and their levels draw none.
ConnectorKind ConnectorAt(const TreeGridNode& node, int level);

// ---- Shortening with "..." ------------------------------------------------

// Cells are drawn from a buffer of 260 bytes: at most this many characters.
inline constexpr size_t kMaxCellText = 259;

struct Shortened {
  size_t keep = 0;         // characters of the text that stay
  bool shortened = false;  // "..." follows them
};

// Fits a text of `length` characters into `available` pixels with an
// allowance for the cell's margins. widthOfPrefix(n) is the width of the
// first n characters. The text stays whole when it is empty or when its width
// plus the allowance is less than the available width; otherwise characters
// go from the end until the rest plus the allowance plus "..." is less than
// the available width, or one character is left. Widths must not shrink as
// the prefix grows (the search halves the range).
Shortened ShortenToFit(size_t length, int available, int allowance, int ellipsisWidth,
                       const std::function<int(size_t)>& widthOfPrefix);

}  // namespace vantrel::uimodel
