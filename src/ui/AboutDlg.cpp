#include "ui/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "res/Dialogs.h"
#include "res/Resources.h"
#include "res/Version.h"
#include "ui/DialogBuilder.h"
#include "ui/HyperlinkLabel.h"

namespace vantrel::ui {

AboutDlg::AboutDlg(QWidget* parent, ILinkOpener* opener) : QDialog(parent) {
  BuildDialog(this, res::kAboutDialog);
  setWindowIcon(res::LoadIconResource(res::IDI_MAINFRAME));

  if (auto* version = FindControl<QLabel>(this, res::IDC_ABOUT_VERSION)) {
    version->setText(version->text() + QLatin1Char(' ') + QLatin1String(res::kVersion));
  }

  email_ = new HyperlinkLabel(this);
  email_->SetOpener(opener);
  email_->SetTarget(QStringLiteral("mailto:") + QLatin1String(kAuthorEmail));
  email_->Attach(FindControl<QLabel>(this, res::IDC_EMAIL));

  homePage_ = new HyperlinkLabel(this);
  homePage_->SetOpener(opener);
  homePage_->SetTarget(QLatin1String(kHomePage));
  homePage_->Attach(FindControl<QLabel>(this, res::IDC_HOMEPAGE));

  if (auto* ok = FindControl<QPushButton>(this, res::IDOK)) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

int AboutDlg::ShowModal(QWidget* parent) {
  AboutDlg box(parent);
  return box.exec();
}

}  // namespace vantrel::ui
