#pragma once
// Shots of the User Info dialog for vantrel_shots: filled from a network like
// the test LAN (workgroup LANFOLK with ALICE, BOB, CAROL and a print room whose
// long comment ends in "...", the Samba host's workgroup SAMBAWG) and an
// address book kept in a settings hive of its own (CAROL is "buddy", BOB is
// black-listed with mask 5, OLDPC is only in the book); enlarged, with the
// current cell on BOB's Black List cell; with an alias being typed; with
// SAMBAWG collapsed beside the expanded LANFOLK; and the Black List dialog of
// BOB.
//
// Entries for Shots() in shots_main.cpp:
//   {"user-info", shots::UserInfo},
//   {"user-info-editing", shots::UserInfoEditing},
//   {"user-info-collapsed", shots::UserInfoCollapsed},
//   {"user-info-black-list", shots::UserInfoBlackList},

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "directory/AddressBookStore.h"
#include "directory/NetworkList.h"
#include "directory/qt/BlackListDlg.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/UserInfoDlg.h"
#include "directory/qt/UserInfoGrid.h"
#include "platform/linux/SqliteRegistry.h"
#include "settings/Profile.h"
#include "ui/CellEdit.h"

namespace vantrel::shots {

inline NetworkNameList UserInfoLan() {
  return {"LANFOLK",
          "\\\\ALICE Front desk",
          "\\\\BOB",
          "\\\\CAROL",
          "\\\\PRINTROOM Colour laser printer and scanner, second floor",
          "SAMBAWG",
          "\\\\SAMBA Samba 4.17.12-Debian",
          "\\\\STORE File store"};
}

// A settings hive in a folder that lives as long as the driver, with the
// book the shots show.
inline IRegistry& ShotsHive() {
  static QTemporaryDir dir;
  static HiveOpenResult hive =
      OpenHive(QDir(dir.path()).filePath(QStringLiteral("registry.sqlite")).toStdString());
  static bool saved = false;
  if (!saved) {
    saved = true;
    AddressBookTable book;
    book.domains = {
        {"LANFOLK",
         {{"BOB", "", "5"}, {"CAROL", "buddy", ""}, {"OLDPC Retired laptop", "attic", "15"}}}};
    Profile profile(*hive.hive);
    SaveAddressBook(profile, book);
  }
  return *hive.hive;
}

inline NetworkRefresh& UserInfoRefresh() {
  static NetworkListCache cache;
  static NetworkRefresh refresh(cache, [] { return UserInfoLan(); });
  if (cache.empty()) cache.Replace(UserInfoLan());
  return refresh;
}

inline CUserInfoDlg* NewUserInfo() {
  return new CUserInfoDlg(UserInfoRefresh(), ShotsHive(), nullptr);
}

// Once filled: the row starting with label selected, and the current column
// moved to column with the keys.
inline void SelectCell(CUserInfoDlg* dlg, const std::string& label, int column) {
  CUserInfoGrid* grid = dlg->grid();
  for (int r = 0; r < grid->RowCount(); ++r) {
    if (grid->NodeAt(r)->Row().Label().rfind(label, 0) != 0) continue;
    grid->setFocus();
    grid->SelectRow(r);
    for (int c = grid->CurrentColumn(); c < column; ++c) {
      QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
      QApplication::sendEvent(grid, &right);
    }
    return;
  }
}

// Enlarged until every column shows: BOB's Black List cell is the current one.
inline QWidget* UserInfo() {
  CUserInfoDlg* dlg = NewUserInfo();
  dlg->resize(dlg->openingSize() + QSize(60, 30));
  QTimer::singleShot(150, dlg, [dlg] { SelectCell(dlg, "BOB", CUserInfoGrid::kBlackListColumn); });
  return dlg;
}

// CAROL's alias opened with Enter and "buddy" retyped as "my buddy".
inline QWidget* UserInfoEditing() {
  CUserInfoDlg* dlg = NewUserInfo();
  QTimer::singleShot(150, dlg, [dlg] {
    SelectCell(dlg, "CAROL", CUserInfoGrid::kAliasColumn);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dlg->grid(), &enter);
    if (auto* editor = dlg->grid()->findChild<ui::CCellEdit*>()) {
      editor->setText(QStringLiteral("my buddy"));
      editor->setCursorPosition(2);
    }
  });
  return dlg;
}

inline QWidget* UserInfoCollapsed() {
  CUserInfoDlg* dlg = NewUserInfo();
  QTimer::singleShot(150, dlg, [dlg] {
    CUserInfoGrid* grid = dlg->grid();
    for (int r = 0; r < grid->RowCount(); ++r) {
      if (grid->NodeAt(r)->Row().Label() == "SAMBAWG") grid->CollapseRow(grid->NodeAt(r));
    }
    SelectCell(dlg, "ALICE", CUserInfoGrid::kComputerColumn);
  });
  return dlg;
}

inline QWidget* UserInfoBlackList() {
  auto* dlg = new CBlackListDlg;
  dlg->SetTitleText(QStringLiteral("BOB"));
  dlg->SetMask(5);
  return dlg;
}

}  // namespace vantrel::shots
