#pragma once
// CResizableDlg, the base of the dialogs with a sizing frame (Select
// Receiver, User Info). It builds the dialog from its template, keeps the
// dialog from being made smaller than it was when it opened, and tells the
// derived dialog by how much the client area changed, so that it can move and
// stretch its controls:
//
//   class CPickDlg : public ui::CResizableDlg {
//    public:
//     explicit CPickDlg(QWidget* owner) : CResizableDlg(res::kPickDialog, owner) {}
//    protected:
//     void RepositionControls(int dx, int dy) override {
//       MoveControl(dx, 0, res::IDOK);               // follows the right edge
//       GrowControl(dx, dy, res::IDC_RECEIVER_TREE);  // stretches with the dialog
//     }
//   };
//
// RepositionControls gets the change since its previous call (or since the
// dialog was built), so enlarging and shrinking back returns every control to
// its first place. The opening size is the template's: it is taken once the
// template is built, in the constructor.

#include <QDialog>
#include <QSize>

#include "res/Templates.h"
#include "ui/DialogBuilder.h"
#include "uimodel/ResizeRules.h"

namespace vantrel::ui {

class CResizableDlg : public QDialog {
  Q_OBJECT

 public:
  CResizableDlg(const res::DialogTemplate& tmpl, QWidget* owner);

  // The size the dialog opened with, its minimum.
  QSize openingSize() const { return openingSize_; }

  // Shifts the control by dx, dy, keeping its size. 0 when both changes are 0
  // or there is no such control, otherwise 1.
  int MoveControl(int dx, int dy, int id);
  // Moves the control's right edge by dx and its bottom edge by dy; nothing
  // when both are 0 or the control is missing.
  void GrowControl(int dx, int dy, QWidget* control);
  void GrowControl(int dx, int dy, int id);

 protected:
  // The client area grew by dx, dy (negative: shrank) since the last call.
  virtual void RepositionControls(int dx, int dy) = 0;

  const BuiltDialog& built() const { return built_; }

  void resizeEvent(QResizeEvent* event) override;

 private:
  BuiltDialog built_;
  QSize openingSize_;
  uimodel::ResizeTracker tracker_;
};

}  // namespace vantrel::ui
