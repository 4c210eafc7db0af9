#pragma once
// The Black List dialog, dialog 141: the black-list mask of one computer as
// four check boxes in a table (rows "No auto-response" and "No auto-popup",
// columns "P2P Msg" and "BC Msg"), under a title line naming the computer.
//
//   CBlackListDlg dlg(grid);
//   dlg.SetTitleText(label);
//   dlg.SetMask(StringToInt(cell));
//   if (dlg.exec() == QDialog::Accepted) mask = dlg.mask();
//
// Check box 1006 + i stands for mask bit 2^i (1006: BL_NO_RESPONSE_P2P,
// 1007: BL_NO_RESPONSE_BC, 1008: BL_NO_POPUP_P2P, 1009: BL_NO_POPUP_BC). OK
// makes the mask of the ticked boxes alone, so bits above 8 are dropped;
// Cancel leaves the mask as the caller set it. The dialog touches neither the
// grid nor the registry.

#include <QDialog>
#include <QString>
#include <array>

namespace vantrel {

class CBlackListDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kBoxCount = 4;

  explicit CBlackListDlg(QWidget* parent = nullptr);

  // Set before the dialog shows.
  void SetTitleText(const QString& text) { titleText_ = text; }
  const QString& titleText() const { return titleText_; }
  void SetMask(int mask) { mask_ = mask; }
  // After OK: the new mask.
  int mask() const { return mask_; }

  // The check states (0 or 1) as last exchanged with the boxes.
  int checkState(int i) const { return checks_[static_cast<size_t>(i)]; }

  // Copies between the check boxes and the check states: take = true reads
  // the boxes into the states, false writes the states into the boxes.
  void updateData(bool take);

 public slots:
  void accept() override;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void InitDialog();

  QString titleText_;
  int mask_ = 0;
  std::array<int, kBoxCount> checks_{};
  bool initialised_ = false;
};

}  // namespace vantrel
