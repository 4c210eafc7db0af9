#include "directory/qt/NetworkListDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SearchAnimation.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"

namespace vantrel {

CNetworkListDlg::CNetworkListDlg(const res::DialogTemplate& tmpl, NetworkRefresh& refresh,
                                 QWidget* owner, std::initializer_list<int> busyButtons)
    : CResizableDlg(tmpl, owner), refresh_(refresh), busyButtons_(busyButtons) {
  animation_ =
      std::make_unique<SearchAnimation>(ui::FindControl<QLabel>(this, res::IDC_SEARCH_ANIMATION));
  connect(&refresh_, &NetworkRefresh::finished, this, &CNetworkListDlg::OnRefreshFinished);
}

CNetworkListDlg::~CNetworkListDlg() = default;

void CNetworkListDlg::showEvent(QShowEvent* event) {
  CResizableDlg::showEvent(event);
  // The first filling, once the dialog is on the screen.
  if (firstShow_ && !refreshPosted_) {
    refreshPosted_ = true;
    QMetaObject::invokeMethod(this, &CNetworkListDlg::OnRefresh, Qt::QueuedConnection);
  }
}

void CNetworkListDlg::OnRefresh() {
  if (waiting_) return;
  if (firstShow_) {
    // The first filling uses the cache when it has something.
    firstShow_ = false;
    FillOrRefresh();
    return;
  }
  StartRefresh();
}

void CNetworkListDlg::FillOrRefresh() {
  if (waiting_) return;
  if (refresh_.cache().empty()) {
    StartRefresh();
    return;
  }
  FillFromCache();
}

void CNetworkListDlg::StartRefresh() {
  BeforeRefresh();
  waiting_ = true;
  SetBusy(true);
  refresh_.Start();  // or wait for the one that runs
}

void CNetworkListDlg::OnRefreshFinished() {
  if (!waiting_) return;  // someone else's enumeration: the list keeps what it shows
  waiting_ = false;
  SetBusy(false);  // first: a disabled list would not take the focus
  // Filled whatever the enumeration found, an empty network included.
  FillFromCache();
}

void CNetworkListDlg::SetBusy(bool busy) {
  if (busy) {
    setCursor(Qt::BusyCursor);
    animation_->Play();
  } else {
    animation_->Stop();
    unsetCursor();
  }
  for (int id : busyButtons_) {
    if (auto* b = ui::FindControl<QPushButton>(this, id)) b->setEnabled(!busy);
  }
  if (list_) list_->setEnabled(!busy);
}

void CNetworkListDlg::FillFromCache() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  animation_->Play();
  FillList();
  animation_->Stop();
  QApplication::restoreOverrideCursor();
}

}  // namespace vantrel
