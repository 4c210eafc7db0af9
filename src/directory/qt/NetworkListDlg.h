#pragma once
// The base of the dialogs that list the network from the network list cache
// (Select Receiver, User Info). The first time the dialog shows, its list is
// filled from the cache, and the network is enumerated only when the cache is
// empty; Refresh always enumerates. An enumeration runs on NetworkRefresh's
// thread: meanwhile the dialog shows the busy cursor, plays the search
// animation (control IDC_SEARCH_ANIMATION), keeps handling events and
// disables its busy buttons and its list; Cancel is never among them. When
// the enumeration ends the list is filled again, with the wait cursor and the
// animation on while it fills.
//
//   class CPickDlg : public CNetworkListDlg {
//    public:
//     CPickDlg(NetworkRefresh& refresh, QWidget* owner)
//         : CNetworkListDlg(res::kPickDialog, refresh, owner, {res::IDOK, res::IDC_REFRESH}) {
//       SetList(ui::FindControlWidget(this, res::IDC_RECEIVER_TREE));
//       connect(ui::FindControl<QPushButton>(this, res::IDC_REFRESH), &QPushButton::clicked,
//               this, &CPickDlg::OnRefresh);
//     }
//    protected:
//     void FillList() override;  // from refresh().cache()
//   };

#include <initializer_list>
#include <memory>
#include <vector>

#include "ui/ResizableDlg.h"

namespace vantrel {

class NetworkRefresh;
class SearchAnimation;

class CNetworkListDlg : public ui::CResizableDlg {
  Q_OBJECT

 public:
  ~CNetworkListDlg() override;

  const SearchAnimation& animation() const { return *animation_; }
  // Whether the dialog waits for an enumeration.
  bool isRefreshing() const { return waiting_; }

 protected:
  // busyButtons: the controls disabled while the network is enumerated.
  CNetworkListDlg(const res::DialogTemplate& tmpl, NetworkRefresh& refresh, QWidget* owner,
                  std::initializer_list<int> busyButtons);

  NetworkRefresh& refresh() const { return refresh_; }
  // The list, disabled with the busy buttons.
  void SetList(QWidget* list) { list_ = list; }

  // Fills the list from the cache; with an empty cache the network is
  // enumerated first, and the filling follows when the enumeration ends.
  void FillOrRefresh();
  // The Refresh button; also the first filling, posted when the dialog first
  // shows.
  void OnRefresh();

  // Fills the list from refresh().cache().
  virtual void FillList() = 0;
  // Called before an enumeration starts.
  virtual void BeforeRefresh() {}

  void showEvent(QShowEvent* event) override;

 private:
  void OnRefreshFinished();
  void StartRefresh();
  void FillFromCache();
  void SetBusy(bool busy);

  NetworkRefresh& refresh_;
  std::vector<int> busyButtons_;
  QWidget* list_ = nullptr;
  std::unique_ptr<SearchAnimation> animation_;
  bool firstShow_ = true;
  bool refreshPosted_ = false;
  bool waiting_ = false;
};

}  // namespace vantrel
