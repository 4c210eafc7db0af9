#pragma once
// The Select Receiver dialog, dialog 137: the network as a tree ("Entire
// Nerwork", its domains and workgroups, their computers) from which the
// receivers are picked with Ctrl and Shift; OK hands back the receiver line.
// The Send dialog's "..." button runs it modally:
//
//   CSelectReceiverDlg dlg(refresh, sendDialog, codec);
//   if (dlg.exec() == QDialog::Accepted) line = dlg.receiverLine();
//
// The tree is filled from the network list cache. The first time the dialog
// shows, the network is enumerated only when the cache is empty; Refresh
// always enumerates. An enumeration runs on NetworkRefresh's thread: the
// dialog meanwhile shows the busy cursor and plays the search animation,
// keeps handling events and disables everything but Cancel; Cancel, Escape
// and the close box work at any time. After each filling every computer is
// selected and the tree is fully expanded.

#include <QIcon>
#include <QString>
#include <string_view>

#include "directory/qt/NetworkListDlg.h"

class QTreeWidgetItem;

namespace vantrel {

class NetworkRefresh;

namespace ui {
class CMultiSelectTree;
class TextCodec;
}  // namespace ui

class CSelectReceiverDlg : public CNetworkListDlg {
  Q_OBJECT

 public:
  // The text of the root item.
  static constexpr const char* kRootText = "Entire Nerwork";
  // Image indexes of bitmap 139.
  static constexpr int kImageNetwork = 0;
  static constexpr int kImageGroup = 1;
  static constexpr int kImageComputer = 2;

  // refresh: the process's enumeration and, through it, the network list
  // cache. codec: the system code page of the cache's entries (null: UTF-8).
  CSelectReceiverDlg(NetworkRefresh& refresh, QWidget* owner, const ui::TextCodec* codec = nullptr);
  ~CSelectReceiverDlg() override;

  // The receiver line built on OK: the picked names, each followed by one
  // blank.
  const QString& receiverLine() const { return result_; }

  // Fills the tree from the cache and selects every computer; with an empty
  // cache the network is enumerated first, and the filling follows when the
  // enumeration ends.
  void FillReceiverTree();
  // The "Sel All" button: the tree fully expanded, every computer selected,
  // the root and the groups not.
  void SelectAllComputers();

  ui::CMultiSelectTree* tree() const { return tree_; }
  // The icon of an image of bitmap 139.
  QIcon image(int index) const;

 protected:
  void RepositionControls(int dx, int dy) override;
  void FillList() override;

 private:
  void OnOk();
  QString Decode(std::string_view bytes) const;
  QString BuildResult() const;

  const ui::TextCodec* codec_;
  ui::CMultiSelectTree* tree_ = nullptr;
  QIcon images_[3];
  QString result_;
};

}  // namespace vantrel
