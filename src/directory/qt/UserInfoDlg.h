#pragma once
// The User Info dialog, dialog 140: where the user edits the address book.
// Every computer of the network, and every computer the book remembers, is
// listed in a grid under its domain or workgroup; the user types aliases into
// the Alias cells, sets black-list masks through the Black List dialog
// (double click on a Black List cell), and OK rewrites the whole book from
// the grid. Cancel drops every change. The receive window's "User Info"
// command runs it modally:
//
//   CUserInfoDlg dlg(refresh, registry, receiveWindow, codec, messageBox);
//   dlg.exec();
//
// The first time the dialog shows, the grid is filled from the network list
// cache (the network is enumerated only when the cache is empty); Refresh
// enumerates again and refills, which also drops edits not yet saved. An
// enumeration runs on NetworkRefresh's thread: meanwhile the dialog shows the
// busy cursor, plays the search animation, and keeps handling events with
// everything but Cancel disabled.
//
// A save that fails leaves the previous book whole (one transaction): the
// dialog then says so in a box and stays open with the edits, so that the
// user may try again or cancel.

#include <QString>

#include "directory/qt/NetworkListDlg.h"
#include "settings/Profile.h"

namespace vantrel {

class CUserInfoGrid;
class IMessageBox;
class NetworkRefresh;

namespace ui {
class TextCodec;
}

class CUserInfoDlg : public CNetworkListDlg {
  Q_OBJECT

 public:
  // The label of the root row.
  static constexpr const char* kRootText = "Entire Nerwork";
  // The box shown when OK cannot save the book.
  static constexpr const char* kSaveFailedText =
      "The address book could not be saved; it is unchanged.\n"
      "Your changes are still in the list: press OK to try again, or Cancel to drop them.";

  // refresh: the process's enumeration and, through it, the network list
  // cache. registry: where the book lives. codec: the system code page of
  // the network list and the book (null: UTF-8). messageBox: tells of a
  // failed save (null: the program's box).
  CUserInfoDlg(NetworkRefresh& refresh, IRegistry& registry, QWidget* owner,
               const ui::TextCodec* codec = nullptr, IMessageBox* messageBox = nullptr);
  ~CUserInfoDlg() override;

  CUserInfoGrid* grid() const { return grid_; }
  // How many times the grid has been filled.
  int fillCount() const { return fills_; }

  // Fills the grid from the network list cache and the book; with an empty
  // cache the network is enumerated first, and the filling follows when the
  // enumeration ends.
  void Fill();

 protected:
  void RepositionControls(int dx, int dy) override;
  void FillList() override;
  void BeforeRefresh() override;

 private:
  void OnOk();

  Profile profile_;
  const ui::TextCodec* codec_;
  IMessageBox* messageBox_;
  CUserInfoGrid* grid_ = nullptr;
  int fills_ = 0;
};

}  // namespace vantrel
