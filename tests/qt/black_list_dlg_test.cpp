// The Black List dialog by control id: the title line, the four boxes bound
// to the mask bits, OK keeping only the boxes' bits, Cancel changing nothing,
// and the table drawn from the template.

#include "directory/qt/BlackListDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "directory/AddressBook.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"

namespace vantrel {
namespace {

QCheckBox* Box(const QDialog& dlg, int id) { return ui::FindControl<QCheckBox>(&dlg, id); }

// The ticked boxes, 1006 first, as a string of 0 and 1.
std::string Ticks(const QDialog& dlg) {
  std::string out;
  for (int id = res::IDC_NO_RESPOND_P2P; id <= res::IDC_NO_POPUP_BC; ++id)
    out += Box(dlg, id) && Box(dlg, id)->isChecked() ? '1' : '0';
  return out;
}

TEST(BlackListDlg, ShowsTheTitleLineAndTheMaskBitsInTheirBoxes) {
  CBlackListDlg dlg;
  dlg.SetTitleText(QStringLiteral("ALICE Front desk & more"));
  dlg.SetMask(BL_NO_RESPONSE_P2P | BL_NO_POPUP_P2P);  // 5
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Black List"));
  auto* title = ui::FindControl<QLabel>(&dlg, res::IDC_BLACK_LIST_TITLE);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), QStringLiteral("ALICE Front desk & more"));
  EXPECT_EQ(Ticks(dlg), "1010");
  EXPECT_EQ(dlg.checkState(0), 1);
  EXPECT_EQ(dlg.checkState(1), 0);

  CBlackListDlg all;
  all.SetMask(15);
  all.show();
  EXPECT_EQ(Ticks(all), "1111");
  CBlackListDlg none;
  none.show();
  EXPECT_EQ(Ticks(none), "0000");
}

TEST(BlackListDlg, OkGivesTheBitsOfTheTickedBoxesOnly) {
  CBlackListDlg dlg;
  dlg.SetMask(0x10 | BL_NO_RESPONSE_BC | BL_NO_POPUP_BC);  // 26: a bit above 8
  dlg.show();
  EXPECT_EQ(Ticks(dlg), "0101");
  QTest::mouseClick(Box(dlg, res::IDC_NO_POPUP_P2P), Qt::LeftButton);
  QTest::mouseClick(Box(dlg, res::IDC_NO_RESPOND_BC), Qt::LeftButton);
  QTest::mouseClick(ui::FindControl<QPushButton>(&dlg, res::IDOK), Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.mask(), BL_NO_POPUP_P2P | BL_NO_POPUP_BC);  // 12

  CBlackListDlg unchanged;
  unchanged.SetMask(0x30);  // nothing the boxes know
  unchanged.show();
  EXPECT_EQ(Ticks(unchanged), "0000");
  QTest::mouseClick(ui::FindControl<QPushButton>(&unchanged, res::IDOK), Qt::LeftButton);
  EXPECT_EQ(unchanged.mask(), 0);
}

TEST(BlackListDlg, EnterPressesOkAndCancelOrEscapeChangeNothing) {
  CBlackListDlg dlg;
  dlg.SetMask(31);
  dlg.show();
  QTest::mouseClick(Box(dlg, res::IDC_NO_RESPOND_P2P), Qt::LeftButton);
  QTest::mouseClick(ui::FindControl<QPushButton>(&dlg, res::IDCANCEL), Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(dlg.mask(), 31);

  // A box ticked, then Escape keeps the mask as it was, Enter takes the tick.
  const struct {
    Qt::Key key;
    QDialog::DialogCode result;
    int mask;
  } keys[] = {{Qt::Key_Escape, QDialog::Rejected, 3}, {Qt::Key_Return, QDialog::Accepted, 11}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    CBlackListDlg keyed;
    keyed.SetMask(3);
    keyed.show();
    keyed.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&keyed));
    QTest::mouseClick(Box(keyed, res::IDC_NO_POPUP_BC), Qt::LeftButton);
    QTest::keyClick(&keyed, k.key);
    EXPECT_EQ(keyed.result(), k.result);
    EXPECT_EQ(keyed.mask(), k.mask);
  }
}

TEST(BlackListDlg, TheTableIsRuledAsTheTemplateSays) {
  CBlackListDlg dlg;
  dlg.show();
  int horizontal = 0, vertical = 0;
  for (QFrame* f : dlg.findChildren<QFrame*>()) {
    if (f->frameShape() == QFrame::HLine) ++horizontal;
    if (f->frameShape() == QFrame::VLine) ++vertical;
  }
  EXPECT_EQ(horizontal, 3);
  EXPECT_EQ(vertical, 2);
  // The boxes sit in the cells between the rules: response above popup,
  // person-to-person left of broadcast.
  const QRect p2pResponse = Box(dlg, res::IDC_NO_RESPOND_P2P)->geometry();
  const QRect bcPopup = Box(dlg, res::IDC_NO_POPUP_BC)->geometry();
  EXPECT_LT(p2pResponse.left(), bcPopup.left());
  EXPECT_LT(p2pResponse.top(), bcPopup.top());
}

}  // namespace
}  // namespace vantrel
