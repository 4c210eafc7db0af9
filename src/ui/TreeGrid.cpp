#include "ui/TreeGrid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <algorithm>

#include "ui/CellEdit.h"

namespace vantrel::ui {

namespace {

const QColor kLineGray(128, 128, 128);  // connector lines, grid lines, box frame
const QColor kSignBlack(0, 0, 0);       // plus and minus
constexpr int kLabelAllowance = 4;      // 2 pixels each side of the label
constexpr int kCellAllowance = 12;      // 6 pixels each side of a cell's text

// The wait cursor for as long as it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

QRect ToQRect(const uimodel::GridRect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

CTreeGrid::CTreeGrid(QWidget* parent)
    : QAbstractScrollArea(parent),
      header_(new QHeaderView(Qt::Horizontal, this)),
      headerModel_(new QStandardItemModel(0, 0, this)) {
  setFocusPolicy(Qt::StrongFocus);
  header_->setModel(headerModel_);
  header_->setSectionsClickable(false);
  header_->setSectionsMovable(false);
  header_->setStretchLastSection(false);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setFocusPolicy(Qt::NoFocus);
  connect(header_, &QHeaderView::sectionResized, this, [this] {
    UpdateGeometries();
    viewport()->update();
  });
  // Scrolling by the user takes the focus first, which ends an open edit
  // before the cells move under it.
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
    connect(bar, &QAbstractSlider::actionTriggered, this, [this] { TakeFocus(); });
    connect(bar, &QAbstractSlider::sliderPressed, this, [this] { TakeFocus(); });
  }
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(20);
  UpdateRowHeight();
  UpdateGeometries();
}

CTreeGrid::~CTreeGrid() {
  // An open editor must not report to a grid that is half gone.
  for (CCellEdit* editor : findChildren<CCellEdit*>()) editor->Abandon();
}

// ---- Columns -----------------------------------------------------------------

void CTreeGrid::InsertColumn(int index, const QString& title, int width, Qt::Alignment alignment) {
  index = std::clamp(index, 0, headerModel_->columnCount());
  headerModel_->insertColumn(index);
  headerModel_->setHeaderData(index, Qt::Horizontal, title, Qt::DisplayRole);
  const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
  headerModel_->setHeaderData(index, Qt::Horizontal,
                              QVariant::fromValue(horizontal | Qt::AlignVCenter),
                              Qt::TextAlignmentRole);
  header_->resizeSection(index, width);
  UpdateGeometries();
  viewport()->update();
}

int CTreeGrid::ColumnCount() const { return headerModel_->columnCount(); }

int CTreeGrid::ColumnWidth(int column) const {
  return column >= 0 && column < ColumnCount() ? header_->sectionSize(column) : 0;
}

void CTreeGrid::SetColumnWidth(int column, int width) {
  if (column >= 0 && column < ColumnCount()) header_->resizeSection(column, width);
}

Qt::Alignment CTreeGrid::ColumnAlignment(int column) const {
  const QVariant v = headerModel_->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
  Qt::Alignment a = v.isValid() ? v.value<Qt::Alignment>() : Qt::Alignment(Qt::AlignLeft);
  a &= Qt::AlignHorizontal_Mask;
  return a ? a : Qt::AlignLeft;
}

int CTreeGrid::TotalColumnWidth() const { return header_->length(); }

// ---- Images ------------------------------------------------------------------

void CTreeGrid::SetSmallImageList(QList<QPixmap> images, int width, int height) {
  images_ = std::move(images);
  SetImageSize(width, height);
}

void CTreeGrid::SetImageSize(int width, int height) {
  imageWidth_ = std::max(0, width);
  imageHeight_ = std::max(0, height);
  UpdateRowHeight();
  UpdateGeometries();
  viewport()->update();
}

// ---- Rows --------------------------------------------------------------------

void CTreeGrid::RowsChanged() {
  UpdateGeometries();
  viewport()->update();
}

TreeGridNode* CTreeGrid::InsertRootRow(std::unique_ptr<TreeGridRow> row) {
  TreeGridNode* node = model_.InsertRootRow(std::move(row));
  RowsChanged();
  return node;
}

TreeGridNode* CTreeGrid::InsertChildRow(TreeGridNode* parent, std::unique_ptr<TreeGridRow> row,
                                        bool show) {
  TreeGridNode* node = model_.InsertChildRow(parent, std::move(row), show);
  if (node) RowsChanged();
  return node;
}

void CTreeGrid::DeleteRow(TreeGridNode* node) {
  model_.DeleteRow(node);
  RowsChanged();
}

void CTreeGrid::DeleteAllRows() {
  model_.DeleteAllRows();
  RowsChanged();
}

int CTreeGrid::ExpandRow(TreeGridNode* node) {
  const int last = model_.ExpandRow(node);
  RowsChanged();
  return last;
}

void CTreeGrid::CollapseRow(TreeGridNode* node) {
  model_.CollapseRow(node);
  RowsChanged();
}

void CTreeGrid::ExpandAllBelow(TreeGridNode* node, int* lastRow) {
  model_.ExpandAllBelow(node, lastRow);
  RowsChanged();
}

void CTreeGrid::SetCellText(TreeGridNode* node, int column, std::string text) {
  if (!node) return;
  node->Row().SetColumnText(column, std::move(text));
  UpdateRow(node->RowIndex());
}

void CTreeGrid::SelectRow(int row) {
  const int old = SelectedRow();
  model_.Select(row);
  UpdateRow(old);
  UpdateRow(SelectedRow());
}

void CTreeGrid::SelectAndShow(int row) {
  SelectRow(row);
  EnsureRowVisible(row);
}

// ---- Geometry ----------------------------------------------------------------

void CTreeGrid::UpdateRowHeight() {
  const QFontMetrics fm(font());
  rowHeight_ = std::max(fm.height() + std::max(0, fm.leading()) + 4, imageHeight_);
}

void CTreeGrid::UpdateGeometries() {
  const int headerHeight = header_->sizeHint().height();
  if (viewportMargins().top() != headerHeight) setViewportMargins(0, headerHeight, 0, 0);
  const QRect vg = viewport()->geometry();
  header_->setGeometry(vg.left(), vg.top() - headerHeight, vg.width(), headerHeight);

  const int visible = VisibleRowCount();
  verticalScrollBar()->setRange(0, std::max(0, RowCount() - visible));
  verticalScrollBar()->setPageStep(std::max(1, visible));
  const int width = viewport()->width();
  horizontalScrollBar()->setRange(0, std::max(0, TotalColumnWidth() - width));
  horizontalScrollBar()->setPageStep(std::max(1, width));
  header_->setOffset(horizontalScrollBar()->value());
}

int CTreeGrid::TopRow() const { return verticalScrollBar()->value(); }

int CTreeGrid::VisibleRowCount() const {
  return rowHeight_ > 0 ? viewport()->height() / rowHeight_ : 0;
}

int CTreeGrid::RowLeft() const { return -horizontalScrollBar()->value(); }

QRect CTreeGrid::RowRect(int row) const {
  return QRect(RowLeft(), (row - TopRow()) * rowHeight_, TotalColumnWidth(), rowHeight_);
}

QRect CTreeGrid::CellRect(int row, int column) const {
  return QRect(RowLeft() + header_->sectionPosition(column), (row - TopRow()) * rowHeight_,
               ColumnWidth(column), rowHeight_);
}

uimodel::TreeGridMetrics CTreeGrid::Metrics() const {
  return {.imageWidth = imageWidth_,
          .imageHeight = imageHeight_,
          .rowHeight = rowHeight_,
          .column0Width = ColumnWidth(0)};
}

TreeGridHit CTreeGrid::HitTest(const QPoint& point) const {
  TreeGridHit hit;
  hit.point = point;
  if (point.y() < 0 || point.y() >= viewport()->height() || rowHeight_ <= 0) return hit;
  hit.column = header_->logicalIndexAt(point.x());
  const int row = TopRow() + point.y() / rowHeight_;
  if (row < RowCount() && hit.column >= 0) hit.row = row;
  return hit;
}

void CTreeGrid::EnsureRowVisible(int row, bool partialOk) {
  if (row < 0 || row >= RowCount()) return;
  const int top = TopRow();
  const int visible = std::max(1, VisibleRowCount());
  if (row < top) {
    verticalScrollBar()->setValue(row);
  } else if (row >= top + visible) {
    const bool partlyShown = (row - top) * rowHeight_ < viewport()->height();
    if (!(partialOk && partlyShown)) verticalScrollBar()->setValue(row - visible + 1);
  }
}

void CTreeGrid::UpdateRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  viewport()->update(QRect(0, (row - TopRow()) * rowHeight_, viewport()->width(), rowHeight_));
}

void CTreeGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateGeometries();
}

void CTreeGrid::scrollContentsBy(int, int) {
  header_->setOffset(horizontalScrollBar()->value());
  viewport()->update();
}

void CTreeGrid::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    UpdateRowHeight();
    UpdateGeometries();
    viewport()->update();
  }
}

// ---- Painting ----------------------------------------------------------------

void CTreeGrid::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QRect clip = e->rect();
  const int rowLeft = RowLeft();
  // Only the rows on the screen, whatever the number of rows.
  const int first = TopRow() + std::max(0, clip.top()) / std::max(1, rowHeight_);
  for (int row = first; row < RowCount(); ++row) {
    const int rowTop = (row - TopRow()) * rowHeight_;
    if (rowTop > clip.bottom()) break;
    DrawRow(p, row, rowTop, rowLeft, clip);
  }
  DrawGridLines(p);
}

void CTreeGrid::DrawCellText(QPainter& p, const QRect& cell, const QString& full, int allowance,
                             Qt::Alignment alignment) {
  if (full.isEmpty()) return;
  const QString text = full.left(static_cast<qsizetype>(uimodel::kMaxCellText));
  const QFontMetrics fm = p.fontMetrics();
  const QString dots = QStringLiteral("...");
  uimodel::Shortened s = uimodel::ShortenToFit(
      static_cast<size_t>(text.size()), cell.width(), allowance, fm.horizontalAdvance(dots),
      [&](size_t n) { return fm.horizontalAdvance(text.left(static_cast<qsizetype>(n))); });
  QString shown = text;
  Qt::Alignment align = alignment;
  if (s.shortened) {
    qsizetype keep = static_cast<qsizetype>(s.keep);
    if (keep > 1 && text.at(keep - 1).isHighSurrogate()) --keep;  // never half a character
    shown = text.left(keep) + dots;
    align = Qt::AlignLeft;
  }
  const int margin = allowance / 2;
  p.drawText(cell.adjusted(margin, 0, -margin, 0),
             static_cast<int>(align | Qt::AlignVCenter | Qt::TextSingleLine), shown);
}

void CTreeGrid::DrawRow(QPainter& p, int row, int rowTop, int rowLeft, const QRect& clip) {
  const TreeGridNode* node = model_.NodeAt(row);
  if (!node) return;
  const bool selected = row == SelectedRow();
  const QColor background = palette().color(selected ? QPalette::Highlight : QPalette::Base);
  const QColor foreground = palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
  const int currentLogical = header_->logicalIndex(CurrentColumn());
  const uimodel::TreeGridMetrics m = Metrics();
  const uimodel::TreeGridRowLayout l = uimodel::LayoutRow(*node, rowLeft, rowTop, m);
  const int rowBottom = rowTop + rowHeight_ - 1;
  const int column0Right = rowLeft + m.column0Width;

  auto focusCell = [&](const QRect& cell) {
    p.fillRect(cell, GetFocusCellColor());
    QPen dotted(foreground);
    dotted.setStyle(Qt::DotLine);
    p.setPen(dotted);
    p.setBrush(Qt::NoBrush);
    p.drawRect(cell.adjusted(0, 0, -1, -1));
  };

  // Column 0: indent, lines, box, icon and label, nothing beyond its edge.
  p.save();
  p.setClipRect(QRect(rowLeft, rowTop, m.column0Width, rowHeight_) & clip);
  if (l.decorations) {
    int image = GetRowImage(*node);
    if (image == -1) image = node->Row().Image();
    if (image >= 0 && image < images_.size()) {
      p.drawPixmap(QPoint(l.iconX, l.iconY), images_[image],
                   QRect(0, 0, l.iconDrawWidth, imageHeight_));
    }
    p.setPen(kLineGray);
    if (l.connector != uimodel::ConnectorKind::None) {
      const bool tee = l.connector == uimodel::ConnectorKind::Tee;
      p.drawLine(l.connectorX, rowTop, l.connectorX, tee ? rowBottom : l.middleY);
      if (l.lineEndX > l.connectorX) p.drawLine(l.connectorX, l.middleY, l.lineEndX - 1, l.middleY);
    }
    for (int x : l.throughLinesX) p.drawLine(x, rowTop, x, rowBottom);
    if (l.box) {
      const QRect box = ToQRect(l.boxRect);
      p.fillRect(box, palette().color(QPalette::Base));
      p.setPen(kLineGray);
      p.drawRect(box.adjusted(0, 0, -1, -1));
      p.setPen(kSignBlack);
      p.drawLine(l.connectorX - 2, l.middleY, l.connectorX + 2, l.middleY);
      if (l.plus) {
        p.drawLine(l.connectorX, l.middleY - 2, l.connectorX, l.middleY + 2);
      } else {
        p.setPen(kLineGray);
        p.drawLine(l.childConnectorX, l.iconY + imageHeight_, l.childConnectorX, rowBottom);
      }
    }
  }
  p.restore();

  // The row's fill right of the icon; the indent keeps the list's own.
  const int rowRight = rowLeft + TotalColumnWidth();
  p.fillRect(QRect(l.fillLeft, rowTop, std::max(0, rowRight - l.fillLeft), rowHeight_) & clip,
             background);
  p.save();
  p.setClipRect(QRect(rowLeft, rowTop, m.column0Width, rowHeight_) & clip);
  if (selected && currentLogical == 0 && column0Right > l.fillLeft)
    focusCell(QRect(l.fillLeft, rowTop, column0Right - l.fillLeft, rowHeight_));
  p.setPen(foreground);
  DrawCellText(p, ToQRect(l.labelRect), DisplayText(node->Row().Label()), kLabelAllowance,
               Qt::AlignLeft);
  p.restore();

  for (int column = 1; column < ColumnCount(); ++column) {
    const QRect cell(rowLeft + header_->sectionPosition(column), rowTop, ColumnWidth(column),
                     rowHeight_);
    if (!cell.intersects(clip) || cell.width() <= 0) continue;
    p.save();
    p.setClipRect(cell & clip);
    if (selected && currentLogical == column) focusCell(cell);
    p.setPen(foreground);
    DrawCellText(p, cell, DisplayText(node->Row().Cell(static_cast<size_t>(column - 1))),
                 kCellAllowance, ColumnAlignment(column));
    p.restore();
  }
}

void CTreeGrid::DrawGridLines(QPainter& p) {
  const int width = viewport()->width();
  const int lastRowBottom = (RowCount() - TopRow()) * rowHeight_;
  const int limit = std::min(viewport()->height(), lastRowBottom);
  p.setPen(kLineGray);
  int x = -horizontalScrollBar()->value();
  for (int position = 0; position < ColumnCount(); ++position) {
    x += header_->sectionSize(header_->logicalIndex(position));
    if (x >= width) break;
    if (limit > 0) p.drawLine(x - 1, 0, x - 1, limit - 1);
  }
  if (RowCount() == 0 || rowHeight_ <= 0) return;
  const int right = std::min(width, TotalColumnWidth() - horizontalScrollBar()->value());
  for (int i = 1; i <= VisibleRowCount() + 1; ++i) {
    const int y = i * rowHeight_ - 1;
    if (y > limit - 1) break;
    p.drawLine(0, y, right - 1, y);
  }
}

QPixmap CTreeGrid::MakeRowDragImage(int row) {
  if (!NodeAt(row) || TotalColumnWidth() <= 0 || rowHeight_ <= 0) return QPixmap();
  QPixmap image(TotalColumnWidth(), rowHeight_);
  image.fill(palette().color(QPalette::Base));
  QPainter p(&image);
  p.setFont(font());
  DrawRow(p, row, 0, 0, image.rect());
  return image;
}

// ---- Text --------------------------------------------------------------------

QString CTreeGrid::DisplayText(const std::string& stored) const {
  return QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
}

std::string CTreeGrid::StoredText(const QString& shown) const { return shown.toStdString(); }

// ---- Hooks: the base behaviour -----------------------------------------------

std::unique_ptr<TreeGridRow> CTreeGrid::DuplicateRowData(const TreeGridRow&) { return nullptr; }
int CTreeGrid::GetRowImage(const TreeGridNode&) { return 0; }
QColor CTreeGrid::GetFocusCellColor() const { return QColor(0, 128, 0); }

void CTreeGrid::OnCellTextCommitted(TreeGridNode* node, int row, int column, const QString& text) {
  if (!node) return;
  node->Row().SetColumnText(column, StoredText(text));
  UpdateRow(row);
}

void CTreeGrid::OnCellClicked(Qt::KeyboardModifiers, const QPoint&, const TreeGridHit& hit) {
  if (hit.row < 0) return;
  if (hit.column >= 1) {
    EditCell(hit.row, hit.column);
  } else if (hit.column == 0) {
    const uimodel::TreeGridRowLayout l =
        uimodel::LayoutRow(*NodeAt(hit.row), RowLeft(), RowRect(hit.row).top(), Metrics());
    OpenEditor(hit.row, 0, ToQRect(l.labelRect), Qt::AlignLeft, kLabelEditorId);
  }
}

bool CTreeGrid::OnRowExpanding(TreeGridNode*, int) { return true; }
void CTreeGrid::OnRowExpanded(TreeGridNode*, int) {}
bool CTreeGrid::OnRowCollapsing(TreeGridNode*) { return true; }
void CTreeGrid::OnRowCollapsed(TreeGridNode*) {}
bool CTreeGrid::OnDeleteKey(TreeGridNode*, int) { return true; }
bool CTreeGrid::OnExpandAllKey(TreeGridNode*, int) { return true; }
bool CTreeGrid::OnCollapseKey(TreeGridNode*, int) { return true; }
bool CTreeGrid::OnExpandKey(TreeGridNode*, int) { return true; }
bool CTreeGrid::IsEnterEditBlocked() { return false; }
bool CTreeGrid::OnRowMouseDown(const TreeGridHit&) { return true; }
bool CTreeGrid::OnRowDoubleClick(const TreeGridHit&) { return true; }

// ---- Editing -----------------------------------------------------------------

bool CTreeGrid::EditCell(int row, int column) {
  if (!NodeAt(row) || column < 1 || column >= ColumnCount()) return false;
  EnsureRowVisible(row, true);
  QRect cell = CellRect(row, column);
  if (cell.bottom() < 0 || cell.top() >= viewport()->height()) return false;
  const int width = viewport()->width();
  if (cell.left() < 0 || cell.left() > width) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + cell.left());
    cell = CellRect(row, column);
  }
  cell.setRight(std::min(cell.left() + ColumnWidth(column), width) - 1);
  OpenEditor(row, column, cell, ColumnAlignment(column), kCellEditorId);
  return true;
}

void CTreeGrid::OpenEditor(int row, int column, QRect rect, Qt::Alignment alignment, int id) {
  const TreeGridNode* node = NodeAt(row);
  if (!node) return;
  auto* editor = new CCellEdit(this, viewport(), row, column,
                               DisplayText(node->Row().ColumnText(column)), alignment, id, rect);
  connect(editor, &CCellEdit::endLabelEdit, this, &CTreeGrid::OnEditorEnded);
}

void CTreeGrid::OnEditorEnded(int row, int column, const QString& text, bool cancelled) {
  if (cancelled || row < 0) return;
  TreeGridNode* node = NodeAt(row);
  if (node) OnCellTextCommitted(node, row, column, text);
}

// ---- Mouse -------------------------------------------------------------------

void CTreeGrid::TakeFocus() {
  if (!hasFocus()) setFocus(Qt::OtherFocusReason);
}

void CTreeGrid::ToggleRow(TreeGridNode* node, int row) {
  bool changed = false;
  int visible = row;
  if (node->IsCollapsed()) {
    if (OnRowExpanding(node, row)) {
      visible = ExpandRow(node);
      OnRowExpanded(node, row);
      changed = true;
    }
  } else if (OnRowCollapsing(node)) {
    CollapseRow(node);
    OnRowCollapsed(node);
    changed = true;
    visible = node->RowIndex();  // the collapsed row stays in view
  }
  if (changed) {
    viewport()->update();
    EnsureRowVisible(visible);
  }
}

bool CTreeGrid::ToggleAtBox(const TreeGridHit& hit) {
  TreeGridNode* node = NodeAt(hit.row);
  if (!node || !node->HasChildren()) return false;
  const uimodel::TreeGridRowLayout l =
      uimodel::LayoutRow(*node, RowLeft(), RowRect(hit.row).top(), Metrics());
  if (!l.box || !l.boxRect.Contains(hit.point.x(), hit.point.y())) return false;
  ToggleRow(node, hit.row);
  return true;
}

void CTreeGrid::ScrollColumnIntoView(int position) {
  if (position < 0 || position >= ColumnCount()) return;
  int x = -horizontalScrollBar()->value();
  for (int i = 0; i < position; ++i) x += header_->sectionSize(header_->logicalIndex(i));
  const int w = header_->sectionSize(header_->logicalIndex(position));
  if (x < 0 || x + w > viewport()->width()) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + x);
    viewport()->update();
  }
}

void CTreeGrid::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(e);
    return;
  }
  TakeFocus();
  const TreeGridHit hit = HitTest(e->position().toPoint());
  if (!OnRowMouseDown(hit)) return;
  if (ToggleAtBox(hit)) return;  // the box does not select
  if (!hit.onItem()) return;
  model_.SetCurrentColumn(header_->visualIndex(hit.column));
  ScrollColumnIntoView(CurrentColumn());
  SelectRow(hit.row);
  OnCellClicked(e->modifiers(), hit.point, hit);
  UpdateRow(hit.row);
}

void CTreeGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseDoubleClickEvent(e);
    return;
  }
  TakeFocus();
  const TreeGridHit hit = HitTest(e->position().toPoint());
  if (!OnRowDoubleClick(hit)) return;
  if (ToggleAtBox(hit)) return;
  TreeGridNode* selected = model_.SelectedNode();
  if (hit.onItem() && selected && selected->HasChildren()) ToggleRow(selected, SelectedRow());
}

void CTreeGrid::wheelEvent(QWheelEvent* e) {
  TakeFocus();
  QAbstractScrollArea::wheelEvent(e);
}

// ---- Keys --------------------------------------------------------------------

void CTreeGrid::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  const int selected = SelectedRow();
  TreeGridNode* node = model_.SelectedNode();
  const bool keypad = (e->modifiers() & Qt::KeypadModifier) != 0;

  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (model_.MoveCurrentColumn(key == Qt::Key_Left ? -1 : +1, ColumnCount())) {
        ScrollColumnIntoView(CurrentColumn());
        UpdateRow(selected);
      }
      e->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!IsEnterEditBlocked() && selected >= 0 && CurrentColumn() != -1) {
        const int column = header_->logicalIndex(CurrentColumn());
        if (column > 0) {
          EditCell(selected, column);
        } else {
          EnsureRowVisible(selected, true);
          const uimodel::TreeGridRowLayout l =
              uimodel::LayoutRow(*node, RowLeft(), RowRect(selected).top(), Metrics());
          OpenEditor(selected, 0, ToQRect(l.labelRect), Qt::AlignLeft, kLabelEditorId);
        }
        e->accept();
        return;
      }
      e->ignore();  // on to the dialog: its default button
      return;
    case Qt::Key_Delete:
      if (node && OnDeleteKey(node, selected)) DeleteRow(node);
      e->accept();
      return;
    case Qt::Key_Asterisk:
    case Qt::Key_Plus:
    case Qt::Key_Minus:
      if (!keypad) break;
      if (node) {
        WaitCursor wait;
        if (key == Qt::Key_Asterisk) {
          if (OnExpandAllKey(node, selected)) {
            int last = selected;
            ExpandAllBelow(node, &last);
            EnsureRowVisible(last);
          }
        } else if (key == Qt::Key_Plus) {
          if (OnExpandKey(node, selected)) EnsureRowVisible(ExpandRow(node));
        } else if (OnCollapseKey(node, selected)) {
          CollapseRow(node);
        }
      }
      e->accept();
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: {
      if (RowCount() == 0) break;
      const int page = std::max(1, VisibleRowCount() - 1);
      int next = selected;
      if (key == Qt::Key_Up) next = selected < 0 ? 0 : selected - 1;
      if (key == Qt::Key_Down) next = selected + 1;
      if (key == Qt::Key_PageUp) next = selected - page;
      if (key == Qt::Key_PageDown) next = selected < 0 ? page : selected + page;
      if (key == Qt::Key_Home) next = 0;
      if (key == Qt::Key_End) next = RowCount() - 1;
      SelectAndShow(std::clamp(next, 0, RowCount() - 1));
      e->accept();
      return;
    }
    default:
      break;
  }
  QAbstractScrollArea::keyPressEvent(e);
}

}  // namespace vantrel::ui
