#include "ui/ResizableDlg.h"

#include <QResizeEvent>

namespace vantrel::ui {
namespace {

uimodel::Rect ToRect(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QRect ToQRect(const uimodel::Rect& r) { return {r.left, r.top, r.width(), r.height()}; }

}  // namespace

CResizableDlg::CResizableDlg(const res::DialogTemplate& tmpl, QWidget* owner) : QDialog(owner) {
  built_ = BuildDialog(this, tmpl);
  openingSize_ = size();
  tracker_.Init(openingSize_.width(), openingSize_.height(), ToRect(rect()));
  if (const auto minimum = tracker_.MinimumTrackingSize()) {
    setMinimumSize(minimum->width, minimum->height);
  }
}

int CResizableDlg::MoveControl(int dx, int dy, int id) {
  if (dx == 0 && dy == 0) return 0;
  QWidget* control = FindControlWidget(this, id);
  if (!control) return 0;
  control->setGeometry(ToQRect(uimodel::MovedRect(ToRect(control->geometry()), dx, dy)));
  return 1;
}

void CResizableDlg::GrowControl(int dx, int dy, QWidget* control) {
  if ((dx == 0 && dy == 0) || !control) return;
  control->setGeometry(ToQRect(uimodel::GrownRect(ToRect(control->geometry()), dx, dy)));
}

void CResizableDlg::GrowControl(int dx, int dy, int id) {
  if (QWidget* control = FindControlWidget(this, id)) GrowControl(dx, dy, control);
}

void CResizableDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const QSize now = event->size();
  if (const auto delta = tracker_.OnSize(now.width(), now.height(), ToRect(rect()))) {
    RepositionControls(delta->dx, delta->dy);
  }
}

}  // namespace vantrel::ui
