#include "directory/qt/BlackListDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "res/Dialogs.h"
#include "ui/DialogBuilder.h"

namespace vantrel {

namespace {
constexpr int kFirstBox = res::IDC_NO_RESPOND_P2P;  // 1006; the boxes are 1006 to 1009
}  // namespace

CBlackListDlg::CBlackListDlg(QWidget* parent) : QDialog(parent) {
  ui::BuildDialog(this, res::kBlackListDialog);
  if (auto* ok = ui::FindControl<QPushButton>(this, res::IDOK))
    connect(ok, &QPushButton::clicked, this, &CBlackListDlg::accept);
  if (auto* cancel = ui::FindControl<QPushButton>(this, res::IDCANCEL))
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CBlackListDlg::showEvent(QShowEvent* e) {
  if (!initialised_) {
    initialised_ = true;
    InitDialog();
  }
  QDialog::showEvent(e);
}

void CBlackListDlg::InitDialog() {
  if (auto* title = ui::FindControl<QLabel>(this, res::IDC_BLACK_LIST_TITLE))
    title->setText(titleText_);
  for (int i = 0; i < kBoxCount; ++i) checks_[static_cast<size_t>(i)] = (mask_ >> i) & 1;
  updateData(false);
}

void CBlackListDlg::updateData(bool take) {
  for (int i = 0; i < kBoxCount; ++i) {
    auto* box = ui::FindControl<QCheckBox>(this, kFirstBox + i);
    if (!box) continue;
    int& state = checks_[static_cast<size_t>(i)];
    if (take) {
      state = box->isChecked() ? 1 : 0;
    } else {
      box->setChecked(state != 0);
    }
  }
}

void CBlackListDlg::accept() {
  mask_ = 0;
  updateData(true);
  for (int i = 0; i < kBoxCount; ++i)
    if (checks_[static_cast<size_t>(i)]) mask_ |= 1 << i;
  QDialog::accept();
}

}  // namespace vantrel
