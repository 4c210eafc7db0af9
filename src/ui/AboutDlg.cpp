#include "ui/AboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <iterator>

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
    FitTextControl(version);
  }

  // The template makes both links; they only get their targets here.
  email_ = FindControl<HyperlinkLabel>(this, res::IDC_EMAIL);
  homePage_ = FindControl<HyperlinkLabel>(this, res::IDC_HOMEPAGE);
  Q_ASSERT(email_ && homePage_);
  const QString targets[] = {QStringLiteral("mailto:") + QLatin1String(kAuthorEmail),
                             QLatin1String(kHomePage)};
  HyperlinkLabel* links[] = {email_, homePage_};
  for (size_t i = 0; i < std::size(links); ++i) {
    if (!links[i]) continue;
    links[i]->SetOpener(opener);
    links[i]->SetTarget(targets[i]);
    FitTextControl(links[i]);
  }

  if (auto* ok = FindControl<QPushButton>(this, res::IDOK)) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

int AboutDlg::ShowModal(QWidget* parent) {
  AboutDlg box(parent);
  return box.exec();
}

}  // namespace vantrel::ui
