#pragma once
// The About box, dialog 100: the program's name and version, the author, and
// two links (the author's e-mail address and home page). Shown modally by the
// receive window, the Send dialog and the notification-area menu:
//
//   ui::AboutDlg::ShowModal(this);

#include <QDialog>

namespace vantrel::ui {

class HyperlinkLabel;
class ILinkOpener;

class AboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr char kAuthorEmail[] = "jorun.halvik@korbelund.example";
  static constexpr char kHomePage[] = "http://www.korbelund.example/tessivane/";

  // opener: what the links open with; null for the desktop's.
  explicit AboutDlg(QWidget* parent = nullptr, ILinkOpener* opener = nullptr);

  HyperlinkLabel* EmailLink() const { return email_; }
  HyperlinkLabel* HomePageLink() const { return homePage_; }

  // Runs the box modally over parent; returns the dialog's result.
  static int ShowModal(QWidget* parent);

 private:
  HyperlinkLabel* email_ = nullptr;
  HyperlinkLabel* homePage_ = nullptr;
};

}  // namespace vantrel::ui
