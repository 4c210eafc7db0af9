#pragma once
// The in-place editor of the tree grid: a one-line edit that the grid puts
// over one cell so the user can type its new text.
//
// It ends itself when it loses the focus (Enter and Escape send the focus to
// the grid; a click elsewhere, scrolling the grid or closing the dialog take
// it too), reports the end exactly once through endLabelEdit, and is gone
// after it (hidden at once, deleted from the event loop). The grid keeps no
// pointer to it.
//
// Enter, Escape, Delete and every Ctrl key are the editor's while it has the
// focus: a surrounding dialog never takes Enter for its default button or
// Escape for Cancel, and no shortcut of the window takes Delete, Ctrl+C or
// Ctrl+V away from the text.

#include <QLineEdit>
#include <QPointer>
#include <QString>

namespace vantrel::ui {

class CCellEdit : public QLineEdit {
  Q_OBJECT

 public:
  // Creates the editor as a visible, bordered child of parent over rect
  // (parent coordinates), with the text, the alignment and the grid's font;
  // it takes the focus with the caret at the start and nothing selected.
  // grid receives the focus when the edit ends by Enter or Escape; the editor
  // grows with the typed text up to parent's right edge.
  CCellEdit(QWidget* grid, QWidget* parent, int row, int column, const QString& initialText,
            Qt::Alignment alignment, int controlId, const QRect& rect);

  int row() const { return row_; }
  int column() const { return column_; }
  const QString& initialText() const { return initial_; }
  bool cancelled() const { return cancelled_; }

  // Ends the editor without a report (its grid is going away).
  void Abandon();

 signals:
  // The end of the edit, sent once: the text typed, or cancelled (Escape)
  // with a null text.
  void endLabelEdit(int row, int column, const QString& text, bool cancelled);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  static bool IsEditorKey(const QKeyEvent* e);
  void GrowWithText();
  void End();

  QPointer<QWidget> grid_;
  int row_;
  int column_;
  QString initial_;
  bool cancelled_ = false;
  bool ended_ = false;
};

}  // namespace vantrel::ui
