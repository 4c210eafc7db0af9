#pragma once
// Shots of the Select Receiver dialog for vantrel_shots: filled from a
// network like the test LAN (workgroup LANFOLK with ALICE, BOB and CARL, the
// Samba host's workgroup SAMBAWG), enlarged, with a Ctrl/Shift
// multi-selection, and while Refresh waits for the network (animation
// playing, only Cancel enabled).
//
// Entries for Shots() in shots_main.cpp:
//   {"select-receiver", shots::SelectReceiver},
//   {"select-receiver-enlarged", shots::SelectReceiverEnlarged},
//   {"select-receiver-multi", shots::SelectReceiverMultiSelection},
//   {"select-receiver-refreshing", shots::SelectReceiverRefreshing},

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <thread>

#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SelectReceiverDlg.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"
#include "ui/MultiSelectTree.h"

namespace vantrel::shots {

inline NetworkNameList TestLan() {
  return {"LANFOLK",
          "\\\\ALICE Front desk",
          "\\\\BOB",
          "\\\\CARL Build server",
          "\\\\RECEIVER",
          "SAMBAWG",
          "\\\\SAMBA Samba 4.17.12-Debian",
          "WORKGROUP",
          "\\\\PRINTROOM"};
}

// The network as the last enumeration left it; the shots never enumerate.
inline NetworkRefresh& FilledRefresh() {
  static NetworkListCache cache;
  static NetworkRefresh refresh(cache, [] { return TestLan(); });
  if (cache.empty()) cache.Replace(TestLan());
  return refresh;
}

inline CSelectReceiverDlg* NewSelectReceiver() {
  return new CSelectReceiverDlg(FilledRefresh(), nullptr);
}

inline QWidget* SelectReceiver() { return NewSelectReceiver(); }

inline QWidget* SelectReceiverEnlarged() {
  CSelectReceiverDlg* dlg = NewSelectReceiver();
  dlg->resize(dlg->openingSize() + QSize(140, 90));
  return dlg;
}

// A click as the mouse makes it, on the middle of an item's row.
inline void ClickItem(ui::CMultiSelectTree* tree, QTreeWidgetItem* item,
                      Qt::KeyboardModifiers keys) {
  const QPoint at = tree->visualItemRect(item).center();
  const QPointF global = tree->viewport()->mapToGlobal(QPointF(at));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                    keys);
  QApplication::sendEvent(tree->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                      keys);
  QApplication::sendEvent(tree->viewport(), &release);
}

// Once filled: BOB clicked, Shift-click on RECEIVER (BOB to RECEIVER), then
// Ctrl-click on the workgroup SAMBAWG.
inline QWidget* SelectReceiverMultiSelection() {
  CSelectReceiverDlg* dlg = NewSelectReceiver();
  QTimer::singleShot(150, dlg, [dlg] {
    ui::CMultiSelectTree* tree = dlg->tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    if (!root || root->childCount() < 2) return;
    QTreeWidgetItem* lanfolk = root->child(0);
    ClickItem(tree, lanfolk->child(1), {});
    ClickItem(tree, lanfolk->child(3), Qt::ShiftModifier);
    ClickItem(tree, root->child(1), Qt::ControlModifier);
  });
  return dlg;
}

// Refresh pressed on a network that takes its time to answer.
inline QWidget* SelectReceiverRefreshing() {
  static NetworkListCache cache;
  static NetworkRefresh slow(cache, [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return TestLan();
  });
  if (cache.empty()) cache.Replace(TestLan());
  auto* dlg = new CSelectReceiverDlg(slow, nullptr);
  QTimer::singleShot(100, dlg, [dlg] {
    if (auto* refresh = ui::FindControl<QPushButton>(dlg, res::IDC_REFRESH)) refresh->click();
  });
  return dlg;
}

}  // namespace vantrel::shots
