#pragma once
// Shots of the Send dialog for vantrel_shots: empty as it first opens, showing
// a pair of its send history, and the box of a validation error over it.
// Sending goes nowhere: the send function only answers 1.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <string>

#include "res/ResourceIds.h"
#include "send/qt/SendDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/QuitFlag.h"
#include "ui/TrayOwner.h"

namespace vantrel::shots {

// The dialog as the receive window's Send dialog would be: the icon belongs
// to someone else, so neither an icon nor a stand-in menu bar is added.
inline CSendDlg* NewSendDlg() {
  static ui::TrayOwner trayOwner;
  static ui::QuitFlag quit;
  static const int iconHolder = 0;
  trayOwner.Add(&iconHolder);
  SendDlgServices services;
  services.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 1; };
  services.computerName = [] { return std::string("PC1"); };
  services.quitFlag = &quit;
  services.trayOwner = &trayOwner;
  return new CSendDlg(nullptr, std::move(services));
}

inline void TypeAndSend(CSendDlg* dlg, const QString& to, const QString& text) {
  ui::FindControl<QLineEdit>(dlg, res::IDC_RECEIVER)->setText(to);
  ui::FindControl<QPlainTextEdit>(dlg, res::IDC_MESSAGE)->setPlainText(text);
  ui::FindControl<QPushButton>(dlg, res::IDC_SEND)->click();
  QCoreApplication::processEvents();  // the Cancel that a send posts
}

inline QWidget* SendEmpty() { return NewSendDlg(); }

// Three pairs sent, then "<" once: the middle pair is on show.
inline QWidget* SendWithHistory() {
  CSendDlg* dlg = NewSendDlg();
  TypeAndSend(dlg, QStringLiteral("BOB"), QStringLiteral("Lunch at twelve?"));
  TypeAndSend(dlg, QStringLiteral("BOB ALICE CARL"),
              QStringLiteral("The build is green again.\nThe nightly run starts at 22:00."));
  TypeAndSend(dlg, QStringLiteral("LAB"),
              QStringLiteral("Printer on the second floor is out "
                             "of paper."));
  ui::FindControl<QPushButton>(dlg, res::IDC_HISTORY_PREV)->click();
  dlg->setWindowState(Qt::WindowNoState);  // closing after a send minimised it
  return dlg;
}

// The box of a receiver line of blanks only. The program's box is modal; here
// the same box is opened without a modal loop so that the driver can take it,
// with the Send dialog behind it.
inline QWidget* SendInvalidBox() {
  CSendDlg* dlg = NewSendDlg();
  dlg->move(40, 40);
  dlg->show();
  QMessageBox* box = nullptr;
  ui::SetMessageBoxHook([&box, dlg](const QString& text) {
    box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tessivane"), text, QMessageBox::Ok,
                          dlg);
  });
  ui::FindControl<QLineEdit>(dlg, res::IDC_RECEIVER)->setText(QStringLiteral("   "));
  ui::FindControl<QPlainTextEdit>(dlg, res::IDC_MESSAGE)->setPlainText(QStringLiteral("Hello"));
  ui::FindControl<QPushButton>(dlg, res::IDC_SEND)->click();
  ui::SetMessageBoxHook({});
  if (!box) return dlg;
  // The driver deletes the box after its picture; the dialog goes with it.
  QObject::connect(box, &QObject::destroyed, dlg, &QObject::deleteLater);
  return box;
}

}  // namespace vantrel::shots
