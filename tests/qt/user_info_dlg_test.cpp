// The User Info dialog driven by control id over an in-memory registry and a
// fake network whose enumeration counts its calls and can be held: the first
// filling (from the cache, or enumerating when it is empty), the stored
// computers merged in, the alias and black-list cells edited with the mouse
// and the keys, OK saving (and a failed save keeping the dialog), Refresh
// dropping unsaved edits, the window going on during an enumeration, resizing,
// and the receive window's User Info command opening it.

#include "directory/qt/UserInfoDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/qt/MessengerApp.h"
#include "directory/AddressBook.h"
#include "directory/AddressBookStore.h"
#include "directory/qt/BlackListDlg.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/UserInfoGrid.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "qt/AppTest.h"
#include "qt/NetworkListDlgTest.h"
#include "receive/qt/ReceiveDlg.h"
#include "res/ResourceIds.h"
#include "settings/Profile.h"
#include "transport/Datagram.h"
#include "transport/MessageRecord.h"
#include "ui/CellEdit.h"
#include "ui/DialogBuilder.h"
#include "ui/TextCodec.h"

namespace vantrel {
namespace {

using widgettest::kHomeAndLab;

// Runs act on the Black List dialog once it is open (modal, so the test's
// own code waits in its loop).
void OnBlackListDialog(std::function<void(CBlackListDlg*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* dlg = qobject_cast<CBlackListDlg*>(QApplication::activeModalWidget());
    if (!dlg || !dlg->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(dlg);
  });
  poll->start(10);
}

class UserInfoDlgTest : public widgettest::NetworkListDlgTest<CUserInfoDlg> {
 protected:
  CUserInfoDlg* Open() {
    Show([this] { return new CUserInfoDlg(refresh, reg, nullptr, &codec, &boxes); });
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    return dlg;
  }
  CUserInfoDlg* OpenFilled() {
    Open();
    EXPECT_TRUE(WaitFilled());
    return dlg;
  }
  bool WaitFilled(int fills = 1) {
    return QTest::qWaitFor(
        [this, fills] { return dlg && !dlg->isRefreshing() && dlg->fillCount() >= fills; }, 5000);
  }

  CUserInfoGrid* Grid() const { return dlg->grid(); }

  // Every shown row: its level's indent, label, and the two cells when set.
  std::string Shape() const {
    std::string out;
    for (int r = 0; r < Grid()->RowCount(); ++r) {
      const ui::TreeGridNode* n = Grid()->NodeAt(r);
      if (!out.empty()) out += '\n';
      out += std::string(static_cast<size_t>(n->Level() - 1) * 2, ' ') + n->Row().Label();
      const std::string alias = n->Row().Cell(0), mask = n->Row().Cell(1);
      if (!alias.empty() || !mask.empty()) out += " [" + alias + "|" + mask + "]";
    }
    return out;
  }
  int RowOf(const std::string& labelStart) const {
    for (int r = 0; r < Grid()->RowCount(); ++r)
      if (Grid()->NodeAt(r)->Row().Label().rfind(labelStart, 0) == 0) return r;
    ADD_FAILURE() << "no row " << labelStart;
    return -1;
  }
  QPoint Cell(const std::string& label, int column) const {
    return Grid()->CellRect(RowOf(label), column).center();
  }
  void ClickCell(const std::string& label, int column) {
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Cell(label, column));
  }
  // Press, release, double click, release: what the window system sends.
  void DoubleClickCell(const std::string& label, int column) {
    const QPoint p = Cell(label, column);
    QTest::mousePress(Grid()->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(Grid()->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(Grid()->viewport(), Qt::LeftButton, {}, p);
  }
  ui::CCellEdit* Editor() const {
    for (ui::CCellEdit* e : Grid()->findChildren<ui::CCellEdit*>())
      if (!e->isHidden()) return e;
    return nullptr;
  }
  // Double-clicks the Alias cell and waits for the editor.
  ui::CCellEdit* EditAlias(const std::string& label) {
    DoubleClickCell(label, CUserInfoGrid::kAliasColumn);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Editor() != nullptr; }, 2000));
    return Editor();
  }
  std::string Stored(std::string_view section, std::string_view entry) {
    return profile.GetString(section, entry, "<none>");
  }
  // A book saved before the dialog opens.
  void StoreBook(const std::vector<AddressBookDomain>& domains) {
    AddressBookTable table;
    table.domains = domains;
    ASSERT_TRUE(SaveAddressBook(profile, table));
  }

  fakes::FakeRegistry reg;
  Profile profile{reg};
  fakes::RecordingMessageBox boxes;
};

// ---- Filling ---------------------------------------------------------------------

TEST_F(UserInfoDlgTest, FirstShowFillsFromTheCacheWithTheBooksCells) {
  cache.Replace(kHomeAndLab);
  StoreBook({{"HOME", {{"ALICE Front desk", "ally", ""}, {"BOB", "", "5"}}}});
  OpenFilled();
  EXPECT_EQ(network.calls, 0);  // the cache had the network
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  HOME\n"
            "    ALICE Front desk [ally|]\n"
            "    BOB [|5]\n"
            "  LAB\n"
            "    CARL");
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("User Info"));

  // The grid sits where frame 1031 was, as control 4097, with its columns.
  const QWidget* place = ui::FindControlWidget(dlg, res::IDC_GRID_PLACE);
  ASSERT_NE(place, nullptr);
  EXPECT_FALSE(place->isVisible());
  EXPECT_EQ(Grid()->geometry(), place->geometry());
  EXPECT_EQ(ui::FindControlWidget(dlg, CUserInfoGrid::kControlId), Grid());
  EXPECT_TRUE(Grid()->hasImages());
  QStringList titles;
  for (int c = 0; c < Grid()->ColumnCount(); ++c) {
    titles << Grid()->Header()->model()->headerData(c, Qt::Horizontal).toString() + ":" +
                  QString::number(Grid()->ColumnWidth(c));
  }
  EXPECT_EQ(titles.join(' '), QStringLiteral("Computer:200 Alias:100 Black List:100"));
  // Images 0, 1 and 2 of bitmap 139: network, domain, computer.
  EXPECT_EQ(Grid()->GetRowImage(*Grid()->NodeAt(0)), CUserInfoGrid::kImageNetwork);
  EXPECT_EQ(Grid()->GetRowImage(*Grid()->NodeAt(1)), CUserInfoGrid::kImageDomain);
  EXPECT_EQ(Grid()->GetRowImage(*Grid()->NodeAt(2)), CUserInfoGrid::kImageComputer);
}

TEST_F(UserInfoDlgTest, AnEmptyCacheIsEnumeratedOnceAndReopeningUsesIt) {
  OpenFilled();
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(cache.Entries(), kHomeAndLab);
  Click(res::IDCANCEL);
  EXPECT_EQ(dlg->result(), QDialog::Rejected);

  network.Set({"OFFICE", "\\\\DAVE"});
  OpenFilled();
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(RowOf("CARL"), 5);

  // An empty network: the root alone, and the next opening asks again.
  cache.Replace({});
  network.Set({});
  OpenFilled();
  EXPECT_EQ(network.calls, 2);
  EXPECT_EQ(Shape(), "Entire Nerwork");
  OpenFilled();
  EXPECT_EQ(network.calls, 3);
}

TEST_F(UserInfoDlgTest, StoredComputersTheNetworkLacksAreListedUnderTheirDomains) {
  cache.Replace(kHomeAndLab);
  StoreBook({{"HOME", {{"AARON Old laptop", "", "12"}, {"BOB", "bobby", ""}}},
             {"GONE", {{"ZED", "zz", ""}}},
             {"LAB", {{"carl", "lower", ""}}}});
  OpenFilled();
  // AARON sorts in before ALICE; the domain nobody shows comes last; "carl"
  // is not CARL (the merge compares exactly) and sorts in behind it, but the
  // book's lookups do not tell them apart, so both show the alias.
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  HOME\n"
            "    AARON Old laptop [|12]\n"
            "    ALICE Front desk\n"
            "    BOB [bobby|]\n"
            "  LAB\n"
            "    CARL [lower|]\n"
            "    carl [lower|]\n"
            "  GONE\n"
            "    ZED [zz|]");
  EXPECT_EQ(cache.Entries(), kHomeAndLab);  // the cache is not changed
}

TEST_F(UserInfoDlgTest, OddEntriesAndTextInTheCodePage) {
  cache.Replace({"\\\\LONER", "HOME", "\\\\", "\\\\J\xDCRGEN Kiosk"});
  OpenFilled();
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  LONER\n"
            "  HOME\n"
            "    J\xDCRGEN Kiosk");
  EXPECT_EQ(Grid()->DisplayText(Grid()->NodeAt(3)->Row().Label()),
            QStringLiteral("J\u00dcRGEN Kiosk"));

  // A typed alias goes into the book in the code page.
  ui::CCellEdit* editor = EditAlias("J\xDC");
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("J"));
  QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_Udiaeresis, QStringLiteral("\u00fc"),
                      Qt::NoModifier);
  QTest::keyClicks(editor, QStringLiteral("rgen"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(Grid()->NodeAt(3)->Row().Cell(0), "J\xFCrgen");
  Click(res::IDC_USER_INFO_OK);
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(Stored(kAliasSection, "J\xDCRGEN"), "J\xFCrgen");
  EXPECT_EQ(Stored(kAlias1Section, "J\xFCrgen"), "J\xDCRGEN");
  // LONER stands where domains stand, so it is not a computer of the book.
  EXPECT_EQ(Stored(kDomainSection, "J\xDCRGEN Kiosk"), "HOME");
}

// ---- Editing -------------------------------------------------------------------

TEST_F(UserInfoDlgTest, AnAliasIsTypedInPlaceAndOkSavesTheBookAndCloses) {
  cache.Replace(kHomeAndLab);
  OpenFilled();
  // A single click never edits.
  ClickCell("BOB", CUserInfoGrid::kAliasColumn);
  EXPECT_EQ(Editor(), nullptr);
  EXPECT_EQ(Grid()->SelectedRow(), RowOf("BOB"));
  EXPECT_EQ(Grid()->CurrentColumn(), CUserInfoGrid::kAliasColumn);

  ui::CCellEdit* editor = EditAlias("CARL");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->objectName(), QStringLiteral("4660"));
  QTest::keyClicks(editor, QStringLiteral("buddy"));
  QTest::keyClick(editor, Qt::Key_Return);  // ends the edit, not the dialog
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(Editor(), nullptr);

  // Escape drops an edit and leaves the dialog open as well.
  editor = EditAlias("BOB");
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("dropped"));
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  HOME\n"
            "    ALICE Front desk\n"
            "    BOB\n"
            "  LAB\n"
            "    CARL [buddy|]");

  // Enter with the Alias column current edits the selected row's alias; on
  // any other column it presses OK, which saves and closes.
  Grid()->setFocus();
  QTest::keyClick(Grid(), Qt::Key_Up);
  QTest::keyClick(Grid(), Qt::Key_Down);  // BOB again
  QTest::keyClick(Grid(), Qt::Key_Return);
  editor = Editor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral(" spaced "));  // kept as typed
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::keyClick(Grid(), Qt::Key_Left);
  EXPECT_EQ(Grid()->CurrentColumn(), CUserInfoGrid::kComputerColumn);
  QTest::keyClick(Grid(), Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(Stored(kAliasSection, "CARL"), "buddy");
  EXPECT_EQ(Stored(kAlias1Section, "buddy"), "CARL");
  EXPECT_EQ(Stored(kDomainSection, "CARL"), "LAB");
  EXPECT_EQ(Stored(kAliasSection, "BOB"), " spaced ");
  EXPECT_EQ(ResolveAlias(profile, "BUDDY"), "CARL");
}

TEST_F(UserInfoDlgTest, OkKeepsWhatIsTypedInAnOpenEditor) {
  cache.Replace(kHomeAndLab);
  OpenFilled();
  ui::CCellEdit* editor = EditAlias("ALICE");
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("front"));
  Button(res::IDC_USER_INFO_OK)->click();  // pressed without moving the focus
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(Stored(kAliasSection, "ALICE"), "front");
  EXPECT_EQ(Stored(kDomainSection, "ALICE Front desk"), "HOME");
}

TEST_F(UserInfoDlgTest, TheBlackListCellIsSetThroughTheBlackListDialog) {
  cache.Replace(kHomeAndLab);
  StoreBook({{"HOME", {{"BOB", "", "x"}}}});  // not a number: shown as stored
  OpenFilled();
  EXPECT_EQ(Grid()->NodeAt(RowOf("BOB"))->Row().Cell(1), "x");

  // "x" opens with four empty boxes; ticking two gives "5".
  QString title;
  OnBlackListDialog([&title](CBlackListDlg* bl) {
    title = ui::FindControl<QLabel>(bl, res::IDC_BLACK_LIST_TITLE)->text();
    for (int id = res::IDC_NO_RESPOND_P2P; id <= res::IDC_NO_POPUP_BC; ++id)
      EXPECT_FALSE(ui::FindControl<QCheckBox>(bl, id)->isChecked()) << id;
    ui::FindControl<QCheckBox>(bl, res::IDC_NO_RESPOND_P2P)->setChecked(true);
    ui::FindControl<QCheckBox>(bl, res::IDC_NO_POPUP_P2P)->setChecked(true);
    ui::FindControl<QPushButton>(bl, res::IDOK)->click();
  });
  DoubleClickCell("BOB", CUserInfoGrid::kBlackListColumn);
  EXPECT_EQ(title, QStringLiteral("BOB"));
  EXPECT_EQ(Grid()->NodeAt(RowOf("BOB"))->Row().Cell(1), "5");

  // Cancel changes nothing; all four boxes give 15.
  OnBlackListDialog([](CBlackListDlg* bl) {
    EXPECT_TRUE(ui::FindControl<QCheckBox>(bl, res::IDC_NO_POPUP_P2P)->isChecked());
    ui::FindControl<QPushButton>(bl, res::IDCANCEL)->click();
  });
  DoubleClickCell("BOB", CUserInfoGrid::kBlackListColumn);
  EXPECT_EQ(Grid()->NodeAt(RowOf("BOB"))->Row().Cell(1), "5");
  OnBlackListDialog([](CBlackListDlg* bl) {
    for (int id = res::IDC_NO_RESPOND_P2P; id <= res::IDC_NO_POPUP_BC; ++id)
      ui::FindControl<QCheckBox>(bl, id)->setChecked(true);
    ui::FindControl<QPushButton>(bl, res::IDOK)->click();
  });
  DoubleClickCell("CARL", CUserInfoGrid::kBlackListColumn);
  EXPECT_EQ(Grid()->NodeAt(RowOf("CARL"))->Row().Cell(1), "15");
  // A domain row's cell can be set too, but it is never stored.
  OnBlackListDialog([](CBlackListDlg* bl) {
    ui::FindControl<QCheckBox>(bl, res::IDC_NO_POPUP_BC)->setChecked(true);
    ui::FindControl<QPushButton>(bl, res::IDOK)->click();
  });
  DoubleClickCell("LAB", CUserInfoGrid::kBlackListColumn);
  EXPECT_EQ(Grid()->NodeAt(RowOf("LAB"))->Row().Cell(1), "8");
  // Back to 0 empties the cell.
  OnBlackListDialog([](CBlackListDlg* bl) {
    for (int id = res::IDC_NO_RESPOND_P2P; id <= res::IDC_NO_POPUP_BC; ++id)
      ui::FindControl<QCheckBox>(bl, id)->setChecked(false);
    ui::FindControl<QPushButton>(bl, res::IDOK)->click();
  });
  DoubleClickCell("CARL", CUserInfoGrid::kBlackListColumn);
  EXPECT_EQ(Grid()->NodeAt(RowOf("CARL"))->Row().Cell(1), "");

  Click(res::IDC_USER_INFO_OK);
  EXPECT_EQ(Stored(kBlackListSection, "BOB"), "5");
  EXPECT_EQ(GetBlackListMask(profile, "bob"), BL_NO_RESPONSE_P2P | BL_NO_POPUP_P2P);
  EXPECT_EQ(Stored(kBlackListSection, "CARL"), "<none>");
  EXPECT_EQ(Stored(kDomainSection, "CARL"), "<none>");
  EXPECT_EQ(Stored(kBlackListSection, "LAB"), "<none>");
}

TEST_F(UserInfoDlgTest, NoRowIsDeletedOrDraggedAndTheComputerColumnToggles) {
  cache.Replace(kHomeAndLab);
  OpenFilled();
  ClickCell("HOME", CUserInfoGrid::kComputerColumn);
  QTest::keyClick(Grid(), Qt::Key_Delete);
  EXPECT_EQ(Grid()->RowCount(), 6);
  EXPECT_TRUE(Grid()->MakeRowDragImage(1).isNull());

  // A double click on the Computer column collapses and expands the row.
  DoubleClickCell("HOME", CUserInfoGrid::kComputerColumn);
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  HOME\n"
            "  LAB\n"
            "    CARL");
  DoubleClickCell("HOME", CUserInfoGrid::kComputerColumn);
  EXPECT_EQ(Grid()->RowCount(), 6);
  // Keypad "-" and "*" on the root.
  ClickCell("Entire", CUserInfoGrid::kComputerColumn);
  QTest::keyClick(Grid(), Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(Shape(), "Entire Nerwork");
  QTest::keyClick(Grid(), Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_EQ(Grid()->RowCount(), 6);
  EXPECT_TRUE(dlg->isVisible());
}

// ---- Refresh, the enumeration, a failed save -------------------------------------

TEST_F(UserInfoDlgTest, RefreshEnumeratesAgainAndDropsUnsavedEdits) {
  cache.Replace(kHomeAndLab);
  StoreBook({{"LAB", {{"CARL", "carlos", ""}}}});
  OpenFilled();
  ui::CCellEdit* editor = EditAlias("CARL");
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, QStringLiteral("-unsaved"));
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(Grid()->NodeAt(RowOf("CARL"))->Row().Cell(0), "carlos-unsaved");

  network.Set({"LAB", "\\\\CARL", "\\\\DORA", "NEW", "\\\\EMIL"});
  Click(res::IDC_REFRESH);
  ASSERT_TRUE(WaitFilled(2));
  EXPECT_EQ(network.calls, 1);
  EXPECT_EQ(Shape(),
            "Entire Nerwork\n"
            "  LAB\n"
            "    CARL [carlos|]\n"
            "    DORA\n"
            "  NEW\n"
            "    EMIL");
  Click(res::IDCANCEL);
  EXPECT_EQ(Stored(kAliasSection, "CARL"), "carlos");
}

TEST_F(UserInfoDlgTest, TheWindowGoesOnWhileTheNetworkIsEnumerated) {
  network.Hold();
  Open();
  ASSERT_TRUE(QTest::qWaitFor([this] { return network.entered(); }, 5000));
  ExpectBusy({res::IDC_USER_INFO_OK, res::IDC_REFRESH});
  EXPECT_FALSE(Grid()->isEnabled());
  ExpectTheAnimationMovesOn();

  network.Release();
  ASSERT_TRUE(WaitFilled());
  EXPECT_FALSE(dlg->animation().isPlaying());
  EXPECT_TRUE(Button(res::IDC_USER_INFO_OK)->isEnabled());
  EXPECT_TRUE(Grid()->isEnabled());
  EXPECT_EQ(RowOf("CARL"), 5);

  // Cancel in the middle of a refresh: closed at once, nothing saved, the
  // late list still goes into the cache.
  network.Hold();
  network.Set({"LATE", "\\\\ONE"});
  Click(res::IDC_REFRESH);
  ASSERT_TRUE(QTest::qWaitFor([this] { return network.entered(); }, 5000));
  Click(res::IDCANCEL);
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
  delete dlg.data();
  network.Release();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !refresh.isRunning(); }, 5000));
  EXPECT_EQ(cache.Entries(), (NetworkNameList{"LATE", "\\\\ONE"}));
  EXPECT_EQ(reg.writeCount(), 0);
}

TEST_F(UserInfoDlgTest, AFailedSaveSaysSoAndKeepsTheDialogWithItsEdits) {
  cache.Replace(kHomeAndLab);
  StoreBook({{"HOME", {{"BOB", "old", "4"}}}});
  OpenFilled();
  ui::CCellEdit* editor = EditAlias("ALICE");
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("new"));
  QTest::keyClick(editor, Qt::Key_Return);

  reg.FailWriteAfter(1);  // the transaction breaks part-way
  Click(res::IDC_USER_INFO_OK);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], CUserInfoDlg::kSaveFailedText);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(Grid()->NodeAt(RowOf("ALICE"))->Row().Cell(0), "new");
  // The book is as it was.
  EXPECT_EQ(Stored(kAliasSection, "BOB"), "old");
  EXPECT_EQ(Stored(kBlackListSection, "BOB"), "4");
  EXPECT_EQ(Stored(kAliasSection, "ALICE"), "<none>");

  reg.FailWriteAfter(-1);
  Click(res::IDC_USER_INFO_OK);
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(Stored(kAliasSection, "ALICE"), "new");
  EXPECT_EQ(Stored(kAliasSection, "BOB"), "old");
}

TEST_F(UserInfoDlgTest, EnlargingGrowsTheGridAndMovesTheButtonsNeverSmallerThanAtOpening) {
  cache.Replace(kHomeAndLab);
  OpenFilled();
  const QSize opening = dlg->size();
  EXPECT_EQ(dlg->minimumSize(), opening);
  const QRect grid = Grid()->geometry();
  QMap<int, QRect> at;
  for (int id : {res::IDC_USER_INFO_OK, res::IDCANCEL, res::IDC_REFRESH, res::IDC_SEARCH_ANIMATION})
    at[id] = ui::FindControlWidget(dlg, id)->geometry();

  dlg->resize(opening + QSize(70, 30));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->size() == opening + QSize(70, 30); }, 2000));
  EXPECT_EQ(Grid()->geometry(), grid.adjusted(0, 0, 70, 30));
  for (auto it = at.cbegin(); it != at.cend(); ++it)
    EXPECT_EQ(ui::FindControlWidget(dlg, it.key())->geometry(), it.value().translated(70, 0))
        << it.key();

  dlg->resize(opening - QSize(40, 40));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->size() == opening; }, 2000));
  EXPECT_EQ(Grid()->geometry(), grid);
}

// ---- As the application wires it ---------------------------------------------------

class UserInfoAppTest : public widgettest::AppTest {
 protected:
  UserInfoAppTest() : AppTest("TessivaneUserInfoTest") {}
};

TEST_F(UserInfoAppTest, TheReceiveWindowOpensItAndTheNextMessageFollowsTheBook) {
  system.computerName = "ALICE";
  std::vector<MessageRecord> arriving;
  std::vector<std::string> answers;
  std::atomic<int> enumerations{0};
  bool held = false;

  app::AppServices s = Services();
  s.openMessageSlot = [&held] {
    held = true;
    return app::SlotOpenResult::kOpened;
  };
  s.slotHeld = [&held] { return held; };
  s.readMessageSlot = [&arriving](std::vector<MessageRecord>& list, int) {
    for (auto& r : arriving) list.push_back(std::move(r));
    arriving.clear();
    return 1;
  };
  s.sendDatagram = [&answers](std::string_view sender, std::string_view receiver,
                              std::string_view) {
    answers.push_back(std::string(sender) + ">" + std::string(receiver));
    return 1;
  };
  s.refreshNetworkList = [&enumerations](bool) {
    ++enumerations;
    return NetworkNameList{"LANFOLK", "\\ALICE", "\\BOB", "\\CAROL"};
  };
  app::MessengerApp messenger(std::move(s));
  ASSERT_TRUE(messenger.InitInstance());
  CReceiveDlg* receive = messenger.receiveWindow();
  ASSERT_NE(receive, nullptr);
  ASSERT_TRUE(receive->isCommandEnabled(res::ID_OPTION_USER_INFO));

  // User Info over the (hidden) receive window: BOB black-listed for pop-ups
  // and answers of person-to-person messages, CAROL called "buddy".
  bool ran = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<CUserInfoDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->parentWidget(), receive);
    ASSERT_TRUE(
        QTest::qWaitFor([dlg] { return !dlg->isRefreshing() && dlg->fillCount() == 1; }, 5000));
    CUserInfoGrid* grid = dlg->grid();
    ASSERT_EQ(grid->ComputerCount(0), 3u);
    grid->SetAliasCell(0, 2, "buddy");
    grid->SetBlackListCell(0, 1, std::to_string(BL_NO_RESPONSE_P2P | BL_NO_POPUP_P2P));
    ran = true;
    ui::FindControl<QPushButton>(dlg, res::IDC_USER_INFO_OK)->click();
  });
  EXPECT_TRUE(receive->OnCommand(res::ID_OPTION_USER_INFO));  // the modal loop
  ASSERT_TRUE(ran);
  EXPECT_EQ(enumerations, 1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  const Profile profile(reg);
  EXPECT_EQ(ResolveAlias(profile, "buddy"), "CAROL");

  // BOB's message is stored without popping the window up or an answer;
  // CAROL's pops it up and is answered.
  arriving.push_back(MessageRecord::FromDatagram(BuildMessengerDatagram("BOB", "ALICE", "hi"),
                                                 "2003-10-20 09:05:07"));
  receive->OnPoll();
  EXPECT_EQ(receive->store().total(), 1u);
  EXPECT_FALSE(receive->isVisible());
  EXPECT_TRUE(answers.empty());
  arriving.push_back(MessageRecord::FromDatagram(BuildMessengerDatagram("CAROL", "ALICE", "yo"),
                                                 "2003-10-20 09:05:08"));
  receive->OnPoll();
  EXPECT_EQ(receive->store().total(), 2u);
  EXPECT_TRUE(receive->isVisible());
  EXPECT_EQ(answers, std::vector<std::string>{"~ALICE>CAROL"});
}

}  // namespace
}  // namespace vantrel
