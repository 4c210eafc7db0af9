// The in-place editor inside a real dialog with a default button and
// window shortcuts: Enter ends the edit and not the dialog, Escape cancels
// the edit and not the dialog, Ctrl+C, Ctrl+V and Delete stay with the text;
// the end is reported exactly once and the editor is gone after it; it grows
// with the text up to its parent's right edge.

#include "ui/CellEdit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFocusEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <vector>

namespace vantrel::ui {
namespace {

struct Report {
  int row;
  int column;
  QString text;
  bool cancelled;
};

class CellEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.resize(400, 200);
    grid = new QWidget(&dialog);  // stands in for the grid: the focus goes back to it
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->setGeometry(10, 10, 300, 150);
    ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    ok->setGeometry(320, 10, 60, 24);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    other = new QPushButton(QStringLiteral("Other"), &dialog);
    other->setGeometry(320, 40, 60, 24);
    // Window shortcuts that would take the editor's keys if it let them.
    for (QKeySequence key : {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_C),
                             QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::Key_Escape),
                             QKeySequence(Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_J)}) {
      auto* action = new QAction(&dialog);
      action->setShortcut(key);
      QObject::connect(action, &QAction::triggered, [this] { ++shortcutsFired; });
      dialog.addAction(action);
    }
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }

  CCellEdit* Open(const QString& text, QRect rect = QRect(20, 20, 80, 20)) {
    auto* editor = new CCellEdit(grid, grid, 3, 1, text, Qt::AlignLeft, 4660, rect);
    QObject::connect(editor, &CCellEdit::endLabelEdit,
                     [this](int row, int column, const QString& t, bool cancelled) {
                       reports.push_back({row, column, t, cancelled});
                     });
    return editor;
  }

  static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Before the dialog: an editor still open when the dialog goes reports then.
  std::vector<Report> reports;
  int shortcutsFired = 0;
  QDialog dialog;
  QWidget* grid = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* other = nullptr;
};

TEST_F(CellEditTest, OpensWithTheTextTheFocusAndTheCaretAtTheStart) {
  CCellEdit* editor = Open(QStringLiteral("alias"));
  EXPECT_EQ(editor->objectName(), QStringLiteral("4660"));
  EXPECT_TRUE(editor->isVisible());
  EXPECT_TRUE(editor->hasFocus());
  EXPECT_EQ(editor->text(), QStringLiteral("alias"));
  EXPECT_EQ(editor->cursorPosition(), 0);
  EXPECT_FALSE(editor->hasSelectedText());
  EXPECT_EQ(editor->font(), grid->font());
}

TEST_F(CellEditTest, EnterEndsTheEditOnceAndLeavesTheDialogOpen) {
  QPointer<CCellEdit> editor = Open(QStringLiteral("old"));
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("new"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].row, 3);
  EXPECT_EQ(reports[0].column, 1);
  EXPECT_EQ(reports[0].text, QStringLiteral("new"));
  EXPECT_FALSE(reports[0].cancelled);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(shortcutsFired, 0);
  EXPECT_TRUE(grid->hasFocus());
  EXPECT_TRUE(editor.isNull() || !editor->isVisible());
  Flush();
  EXPECT_TRUE(editor.isNull());
  // Nothing more is reported when the focus wanders on.
  other->setFocus();
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(CellEditTest, AnEmptyTextIsReportedAsTypedNotAsCancelled) {
  CCellEdit* editor = Open(QStringLiteral("old"));
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_Delete);
  QTest::keyClick(editor, Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].text.isEmpty());
  EXPECT_FALSE(reports[0].cancelled);
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(CellEditTest, EscapeCancelsTheEditAndNotTheDialog) {
  QPointer<CCellEdit> editor = Open(QStringLiteral("old"));
  QTest::keyClicks(editor, QStringLiteral("xyz"));
  QTest::keyClick(editor, Qt::Key_Escape);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].cancelled);
  EXPECT_TRUE(reports[0].text.isNull());
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(shortcutsFired, 0);
  Flush();
  EXPECT_TRUE(editor.isNull());
}

TEST_F(CellEditTest, CopyPasteAndDeleteWorkWhileTheDialogHasShortcutsForThem) {
  QApplication::clipboard()->setText(QStringLiteral("before"));
  CCellEdit* editor = Open(QStringLiteral("abcdef"));
  editor->setSelection(0, 3);
  QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
  editor->setCursorPosition(6);
  QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(editor->text(), QStringLiteral("abcdefabc"));
  editor->setCursorPosition(0);
  QTest::keyClick(editor, Qt::Key_Delete);
  EXPECT_EQ(editor->text(), QStringLiteral("bcdefabc"));
  // A Ctrl key the edit has no use for does not reach the dialog either.
  QTest::keyClick(editor, Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(shortcutsFired, 0);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(editor->hasFocus());
}

TEST_F(CellEditTest, LosingTheFocusElsewhereStoresTheTextButTheContextMenuDoesNot) {
  CCellEdit* editor = Open(QStringLiteral("x"));
  QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
  QCoreApplication::sendEvent(editor, &popup);
  EXPECT_TRUE(reports.empty());
  QTest::keyClicks(editor, QStringLiteral("y"));
  QTest::mouseClick(other, Qt::LeftButton);
  other->setFocus(Qt::MouseFocusReason);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, QStringLiteral("yx"));
  EXPECT_FALSE(reports[0].cancelled);
}

TEST_F(CellEditTest, GrowsWithTheTextUpToTheParentsRightEdge) {
  CCellEdit* editor = Open(QString(), QRect(200, 20, 40, 20));
  const int start = editor->width();
  QTest::keyClicks(editor, QStringLiteral("ab"));
  EXPECT_EQ(editor->width(), start);  // still fits
  QTest::keyClicks(editor, QStringLiteral("wwwwwwww"));
  EXPECT_GT(editor->width(), start);
  EXPECT_EQ(editor->x(), 200);
  QTest::keyClicks(editor, QString(60, QLatin1Char('w')));
  EXPECT_EQ(editor->geometry().right(), grid->width() - 1);
  // Beyond the edge the text scrolls inside it: everything typed is kept.
  EXPECT_EQ(editor->text().size(), 70);
  // Pasted text grows it too.
  CCellEdit* second = nullptr;
  QTest::keyClick(editor, Qt::Key_Return);
  second = Open(QString(), QRect(20, 60, 30, 20));
  QApplication::clipboard()->setText(QStringLiteral("a long pasted alias"));
  QTest::keyClick(second, Qt::Key_V, Qt::ControlModifier);
  EXPECT_GT(second->width(), 30);
}

}  // namespace
}  // namespace vantrel::ui
