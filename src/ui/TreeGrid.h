#pragma once
// The editable tree grid: a list in report view that shows a tree. Column 0
// draws each row's indent, connector lines, plus/minus box and icon before
// its label; further columns show the row's text cells. One cell of the
// selected row is the current cell (dark green, with a focus rectangle),
// moved by Left and Right; cells are edited in place with a CCellEdit.
//
//   auto* grid = new CTreeGrid(dialog);
//   grid->InsertColumn(0, "Computer", 200);
//   grid->InsertColumn(1, "Alias", 100);
//   grid->SetSmallImageList(images, 16, 16);
//   TreeGridNode* top = grid->InsertRootRow(std::move(row));
//   grid->InsertChildRow(top, std::move(childRow), false);
//   grid->ExpandAllBelow(top, &last);
//
// The rows live in a uimodel::TreeGridModel; the widget draws only the rows
// on the screen (any number of rows costs the same to paint). Every user
// action passes through a virtual hook whose base behaviour is the grid's
// own; a subclass (the User Info grid) overrides what it does differently.
// Moving rows by drag and drop is not built: the hooks for it
// (DuplicateRowData, MakeRowDragImage) exist with their base behaviour.
//
// Text: the model keeps bytes; DisplayText and StoredText convert between
// them and what the screen shows (UTF-8 unless a subclass says otherwise).

#include <QAbstractScrollArea>
#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <memory>
#include <string>

#include "uimodel/TreeGridModel.h"

class QHeaderView;
class QStandardItemModel;

namespace vantrel::ui {

using uimodel::TreeGridNode;
using uimodel::TreeGridRow;

class CCellEdit;

// Where the mouse is: the row (-1 for none) and the column (logical index,
// -1 for none) under a point of the viewport.
struct TreeGridHit {
  QPoint point;
  int row = -1;
  int column = -1;
  bool onItem() const { return row >= 0; }
};

class CTreeGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kCellEditorId = 4660;
  static constexpr int kLabelEditorId = 4659;

  explicit CTreeGrid(QWidget* parent = nullptr);
  ~CTreeGrid() override;

  // ---- Columns (the owner inserts them) ----
  // Inserts a column at index with its title, width and alignment.
  void InsertColumn(int index, const QString& title, int width,
                    Qt::Alignment alignment = Qt::AlignLeft);
  int ColumnCount() const;
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);
  Qt::Alignment ColumnAlignment(int column) const;
  QHeaderView* Header() const { return header_; }

  // ---- Images ----
  // The small images rows draw (index = image number) and their size: the
  // indent step and the icon cell. Without images rows draw no icon.
  void SetSmallImageList(QList<QPixmap> images, int width, int height);
  void SetImageSize(int width, int height);
  int ImageWidth() const { return imageWidth_; }
  int ImageHeight() const { return imageHeight_; }

  // ---- Rows ----
  TreeGridNode* InsertRootRow(std::unique_ptr<TreeGridRow> row = nullptr);
  TreeGridNode* InsertChildRow(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row = nullptr,
                               bool show = true);
  void DeleteRow(TreeGridNode* node);
  void DeleteAllRows();
  int ExpandRow(TreeGridNode* node);
  void CollapseRow(TreeGridNode* node);
  void ExpandAllBelow(TreeGridNode* node, int* lastRow);
  // Opens the in-place editor over cell (row, column), column 1 or more.
  // False when the row does not exist or cannot be shown.
  bool EditCell(int row, int column);
  // Sets a cell's text (column 0: the label) and redraws it.
  void SetCellText(TreeGridNode* node, int column, std::string text);

  const uimodel::TreeGridModel& Model() const { return model_; }
  TreeGridNode* NodeAt(int row) const { return model_.NodeAt(row); }
  int RowCount() const { return static_cast<int>(model_.RowCount()); }
  int SelectedRow() const { return model_.SelectedRow(); }
  // Selects the row (or none for -1) and redraws the rows concerned.
  void SelectRow(int row);
  // The current column as a position in the header's order.
  int CurrentColumn() const { return model_.CurrentColumn(); }

  // ---- Geometry (viewport coordinates) ----
  int RowHeight() const { return rowHeight_; }
  int TopRow() const;
  // Rows that fit in the viewport wholly.
  int VisibleRowCount() const;
  QRect RowRect(int row) const;
  QRect CellRect(int row, int column) const;
  TreeGridHit HitTest(const QPoint& viewportPoint) const;
  // Scrolls the row into view (partly visible is enough when partialOk).
  void EnsureRowVisible(int row, bool partialOk = false);

  // ---- Text between the model and the screen ----
  virtual QString DisplayText(const std::string& stored) const;
  virtual std::string StoredText(const QString& shown) const;

  // ---- Hooks ----
  // A copy of a row's data for a row moved to another parent; base: none.
  virtual std::unique_ptr<TreeGridRow> DuplicateRowData(const TreeGridRow& row);
  // The image of a row; base 0. -1 leaves the row data's own image.
  virtual int GetRowImage(const TreeGridNode& node);
  // The fill of the current cell; base dark green (0, 128, 0).
  virtual QColor GetFocusCellColor() const;
  // The in-place editor ended with a text; base: stores it as the cell's
  // (column 0: the label) and redraws the row.
  virtual void OnCellTextCommitted(TreeGridNode* node, int row, int column, const QString& text);
  // After a left click on a row was processed; base: opens the editor on the
  // clicked cell.
  virtual void OnCellClicked(Qt::KeyboardModifiers modifiers, const QPoint& point,
                             const TreeGridHit& hit);
  // The picture dragged with a row; base: the row as drawn.
  virtual QPixmap MakeRowDragImage(int row);
  // Before and after expanding or collapsing by mouse; the "-ing" hooks
  // allow it with true (base).
  virtual bool OnRowExpanding(TreeGridNode* node, int row);
  virtual void OnRowExpanded(TreeGridNode* node, int row);
  virtual bool OnRowCollapsing(TreeGridNode* node);
  virtual void OnRowCollapsed(TreeGridNode* node);
  // Keys on the selected row; true (base) lets the grid act.
  virtual bool OnDeleteKey(TreeGridNode* node, int row);
  virtual bool OnExpandAllKey(TreeGridNode* node, int row);
  virtual bool OnCollapseKey(TreeGridNode* node, int row);
  virtual bool OnExpandKey(TreeGridNode* node, int row);
  // True keeps Enter from opening the editor (it goes on to the dialog);
  // base false.
  virtual bool IsEnterEditBlocked();
  // Left button down on the grid; false stops the grid's handling. Base true.
  virtual bool OnRowMouseDown(const TreeGridHit& hit);
  // Double click on the grid; false stops the grid's handling (expanding or
  // collapsing the row). Base true.
  virtual bool OnRowDoubleClick(const TreeGridHit& hit);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* e) override;

 private:
  uimodel::TreeGridMetrics Metrics() const;
  int RowLeft() const;
  int TotalColumnWidth() const;
  void UpdateRowHeight();
  void UpdateGeometries();
  void RowsChanged();
  void UpdateRow(int row);
  void DrawRow(QPainter& p, int row, int rowTop, int rowLeft, const QRect& clip);
  void DrawCellText(QPainter& p, const QRect& cell, const QString& text, int allowance,
                    Qt::Alignment alignment);
  void DrawGridLines(QPainter& p);
  void TakeFocus();
  // The plus/minus box of the hit row: toggles it and gives true when the
  // point is on it.
  bool ToggleAtBox(const TreeGridHit& hit);
  void ToggleRow(TreeGridNode* node, int row);
  void ScrollColumnIntoView(int position);
  void OpenEditor(int row, int column, QRect rect, Qt::Alignment alignment, int id);
  void OnEditorEnded(int row, int column, const QString& text, bool cancelled);
  void SelectAndShow(int row);

  uimodel::TreeGridModel model_;
  QHeaderView* header_;
  QStandardItemModel* headerModel_;
  QList<QPixmap> images_;
  int imageWidth_ = 0;
  int imageHeight_ = 0;
  int rowHeight_ = 0;
};

}  // namespace vantrel::ui
