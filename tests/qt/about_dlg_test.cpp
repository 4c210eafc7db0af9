// The About box: name and version, and its two links opening through a fake
// opener.

#include "ui/AboutDlg.h"

#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "res/ResourceIds.h"
#include "res/Version.h"
#include "ui/DialogBuilder.h"
#include "ui/HyperlinkLabel.h"
#include "ui/MessageBox.h"

namespace vantrel {
namespace {

class RecordingOpener : public ui::ILinkOpener {
 public:
  QStringList opened;
  void Open(const QString& target, Done done) override {
    opened << target;
    done(ui::kOpenOk);
  }
};

TEST(AboutDlg, ShowsNameAndVersion) {
  ui::AboutDlg box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About Vantrel"));
  auto* version = ui::FindControl<QLabel>(&box, res::IDC_ABOUT_VERSION);
  ASSERT_NE(version, nullptr);
  EXPECT_TRUE(
      QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+")).match(res::kVersion).hasMatch());
  EXPECT_EQ(version->text(), QStringLiteral("Vantrel Version ") + QLatin1String(res::kVersion));
  EXPECT_FALSE(box.windowIcon().isNull());
}

TEST(AboutDlg, TwoLinksWithTheirTargets) {
  RecordingOpener opener;
  ui::AboutDlg box(nullptr, &opener);
  auto* email = ui::FindControl<ui::HyperlinkLabel>(&box, res::IDC_EMAIL);
  auto* home = ui::FindControl<ui::HyperlinkLabel>(&box, res::IDC_HOMEPAGE);
  ASSERT_TRUE(email && home);
  EXPECT_EQ(email, box.EmailLink());
  EXPECT_EQ(home, box.HomePageLink());
  EXPECT_EQ(email->Target(), QStringLiteral("mailto:") + QLatin1String(ui::AboutDlg::kAuthorEmail));
  EXPECT_EQ(email->text(), QLatin1String(ui::AboutDlg::kAuthorEmail));
  EXPECT_EQ(home->Target(), QLatin1String(ui::AboutDlg::kHomePage));
  EXPECT_EQ(home->text(), home->Target());  // no text of its own: shows the target
  for (ui::HyperlinkLabel* link : {email, home}) {
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->toolTip(), link->Target());
    EXPECT_LE(link->geometry().right(), box.width());  // fitted, not clipped
    EXPECT_GE(link->width(), QFontMetrics(link->font()).horizontalAdvance(link->text()));
  }

  box.show();
  QTest::mouseClick(email, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  QTest::mouseClick(home, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(opener.opened, (QStringList{email->Target(), home->Target()}));
  EXPECT_TRUE(email->Visited());
  EXPECT_TRUE(home->Visited());
}

TEST(AboutDlg, OkClosesTheBox) {
  ui::AboutDlg box;
  box.show();
  auto* ok = ui::FindControl<QPushButton>(&box, res::IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_EQ(box.result(), QDialog::Accepted);
  EXPECT_FALSE(box.isVisible());
}

// The visited state lives only as long as the box: a new box starts unvisited.
TEST(AboutDlg, VisitedStateEndsWithTheBox) {
  RecordingOpener opener;
  {
    ui::AboutDlg first(nullptr, &opener);
    first.EmailLink()->OpenTarget();
    EXPECT_TRUE(first.EmailLink()->Visited());
  }
  ui::AboutDlg second(nullptr, &opener);
  EXPECT_FALSE(second.EmailLink()->Visited());
}

}  // namespace
}  // namespace vantrel
