#include "ui/CellEdit.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>

namespace vantrel::ui {

namespace {
constexpr int kTextSlack = 5;  // pixels beyond the text's width
}  // namespace

CCellEdit::CCellEdit(QWidget* grid, QWidget* parent, int row, int column,
                     const QString& initialText, Qt::Alignment alignment, int controlId,
                     const QRect& rect)
    : QLineEdit(parent), grid_(grid), row_(row), column_(column), initial_(initialText) {
  setObjectName(QString::number(controlId));
  setProperty("controlId", controlId);
  setFrame(true);
  if (grid) setFont(grid->font());
  setAlignment(alignment | Qt::AlignVCenter);
  setGeometry(rect);
  setText(initialText);
  setCursorPosition(0);
  deselect();
  connect(this, &QLineEdit::textEdited, this, &CCellEdit::GrowWithText);
  show();
  setFocus(Qt::OtherFocusReason);
}

bool CCellEdit::IsEditorKey(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
      return true;
    default:
      return (e->modifiers() & Qt::ControlModifier) != 0;
  }
}

bool CCellEdit::event(QEvent* e) {
  // Shortcuts are looked up before the key reaches the focus widget: claim
  // the editor's keys so that no action or button of the window takes them.
  if (e->type() == QEvent::ShortcutOverride && IsEditorKey(static_cast<QKeyEvent*>(e))) {
    e->accept();
    return true;
  }
  return QLineEdit::event(e);
}

void CCellEdit::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Escape:
      cancelled_ = true;
      [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter:
      e->accept();
      if (grid_) {
        grid_->setFocus(Qt::OtherFocusReason);
      } else {
        End();
      }
      return;
    default:
      break;
  }
  QLineEdit::keyPressEvent(e);
  // Handled here whatever the edit made of it: an unused Ctrl key must not
  // travel on to the dialog either.
  if (IsEditorKey(e)) e->accept();
}

void CCellEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // The edit's own context menu (Copy, Paste) takes the focus for a moment
  // only; every other loss of the focus ends the edit.
  if (e->reason() == Qt::PopupFocusReason) return;
  End();
}

void CCellEdit::GrowWithText() {
  const int needed = QFontMetrics(font()).horizontalAdvance(text()) + kTextSlack;
  // The space the text gets inside the frame and the edit's own margins.
  const int textArea = contentsRect().width() - 4;
  if (textArea >= needed || !parentWidget()) return;
  const int chrome = width() - textArea;
  QRect r = geometry();
  r.setWidth(std::min(needed + chrome, parentWidget()->width() - r.left()));
  if (r.width() > width()) {
    setGeometry(r);
    update();
  }
}

void CCellEdit::End() {
  if (ended_) return;
  ended_ = true;
  const QString text = cancelled_ ? QString() : this->text();
  emit endLabelEdit(row_, column_, text, cancelled_);
  hide();
  deleteLater();
}

void CCellEdit::Abandon() {
  ended_ = true;
  disconnect(this, &CCellEdit::endLabelEdit, nullptr, nullptr);
  hide();
  deleteLater();
}

}  // namespace vantrel::ui
