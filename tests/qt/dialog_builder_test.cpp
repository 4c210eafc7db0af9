// The dialog builder against the real templates: every control of every
// dialog is made with its kind, id, text, place and style, and its text fits
// whatever the font (controls grow, and the dialog with them, only when the
// text would be clipped); menus and the tool bar carry their command ids; the
// string table answers by id.

#include "ui/DialogBuilder.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolBar>
#include <cmath>
#include <memory>

#include "res/Dialogs.h"
#include "res/Menus.h"
#include "res/StringTable.h"
#include "ui/HyperlinkLabel.h"

namespace vantrel {
namespace {

using res::ControlKind;

// Expected dialog base units, computed here from the font as Windows computes
// them, and the edge-wise conversion of a rectangle.
struct Expected {
  double cx = 0;
  double cy = 0;
  explicit Expected(const QFont& font) {
    QFontMetrics fm(font);
    const int extent = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    cx = (extent / 26 + 1) / 2;
    cy = fm.height();
  }
  int X(int dlu) const { return static_cast<int>(std::lround(dlu * cx / 4.0)); }
  int Y(int dlu) const { return static_cast<int>(std::lround(dlu * cy / 8.0)); }
  QRect Rect(int x, int y, int w, int h) const {
    return QRect(QPoint(X(x), Y(y)), QPoint(X(x + w) - 1, Y(y + h) - 1));
  }
};

const char* ExpectedClass(const res::ControlTemplate& c) {
  switch (c.kind) {
    case ControlKind::Static:
    case ControlKind::Icon:
      return "QLabel";
    case ControlKind::GroupBox:
      return "QGroupBox";
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      return "QPushButton";
    case ControlKind::CheckBox:
      return "QCheckBox";
    case ControlKind::Edit:
      return (c.style & res::style::kMultiLine) ? "QPlainTextEdit" : "QLineEdit";
    case ControlKind::TreeView:
      return "QTreeWidget";
    case ControlKind::Animation:
      return "QLabel";
    case ControlKind::Hyperlink:
      return "vantrel::ui::HyperlinkLabel";
    case ControlKind::Frame:
    case ControlKind::HLine:
    case ControlKind::VLine:
      return "QFrame";
    default:
      return "";
  }
}

QString ShownText(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
  return {};
}

bool ShowsText(ControlKind kind) {
  return kind == ControlKind::Static || kind == ControlKind::Hyperlink ||
         kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

// Every control of every template: kind, id, text and geometry, in order.
// (Where texts make controls and dialogs grow is checked by ExpectTextsFit.)
TEST(DialogBuilder, BuildsEveryControlOfEachTemplate) {
  for (const res::DialogTemplate* tmpl : res::kDialogs) {
    SCOPED_TRACE(tmpl->id);
    QDialog dialog;
    const ui::BuiltDialog built = ui::BuildDialog(&dialog, *tmpl);
    ASSERT_EQ(built.client, &dialog);
    const Expected expect(built.client->font());
    EXPECT_EQ(built.units.baseX, expect.cx);
    EXPECT_EQ(built.units.baseY, expect.cy);
    EXPECT_EQ(dialog.minimumSize() == dialog.maximumSize(),
              !(tmpl->style & res::dlgstyle::kResizable));
    EXPECT_EQ(
        dialog.windowTitle(),
        QString::fromUtf8(tmpl->caption.data(), static_cast<qsizetype>(tmpl->caption.size())));

    const QList<QWidget*> made = built.client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(made.size(), static_cast<qsizetype>(tmpl->controls.size()));
    for (size_t i = 0; i < tmpl->controls.size(); ++i) {
      const res::ControlTemplate& c = tmpl->controls[i];
      QWidget* w = made[static_cast<qsizetype>(i)];
      SCOPED_TRACE(c.id);
      EXPECT_STREQ(w->metaObject()->className(), ExpectedClass(c));
      EXPECT_EQ(w->objectName(), QString::number(c.id));
      EXPECT_EQ(ui::ControlId(w), c.id);
      if (c.id != res::IDC_STATIC) {
        EXPECT_EQ(ui::FindControlWidget(&dialog, c.id), w);
      }
      const QRect place = expect.Rect(c.rect.x, c.rect.y, c.rect.w, c.rect.h);
      if (c.kind == ControlKind::Hyperlink) {
        // A link fits itself to its text where the template puts it.
        EXPECT_EQ(w->pos(), place.topLeft());
      } else if (!ShowsText(c.kind) && c.kind != ControlKind::Icon &&
                 c.kind != ControlKind::HLine && c.kind != ControlKind::VLine) {
        EXPECT_EQ(w->geometry(), place);
      }
      if (c.kind != ControlKind::Icon && c.kind != ControlKind::HLine &&
          c.kind != ControlKind::VLine) {
        EXPECT_EQ(ShownText(w).toStdString(), std::string(c.text));
      }
      EXPECT_EQ(w->isHidden(), (c.style & res::style::kHidden) != 0);
    }
  }
}

TEST(DialogBuilder, DialogFontGivesPlausibleUnitsAndSansFace) {
  const QFont font = ui::DialogFont("System", 8);
  EXPECT_EQ(font.pixelSize(), 11);  // 8 points at 96 dpi
  EXPECT_EQ(ui::DialogFont("MS Sans Serif", 10).pixelSize(), 13);
  const ui::DialogUnits units = ui::DialogBaseUnits(font);
  EXPECT_GE(units.baseX, 4);
  EXPECT_LE(units.baseX, 8);
  EXPECT_GE(units.baseY, 11);
  EXPECT_LE(units.baseY, 16);
  EXPECT_FALSE(QFontInfo(font).fixedPitch());
}

TEST(DialogBuilder, ConvertsEachEdgeWithWindowsRounding) {
  const ui::DialogUnits units{6, 13};
  EXPECT_EQ(units.X(3), 5);    // 4.5 rounds up
  EXPECT_EQ(units.Y(43), 70);  // 69.875
  EXPECT_EQ(units.Y(4), 7);    // 6.5 rounds up
  // Edges are converted, not the size: 3 units at x=3 span 5..9, not 5 wide.
  EXPECT_EQ(units.Map({3, 4, 3, 4}), QRect(5, 7, 4, 6));
  // The receive window's message field.
  EXPECT_EQ(units.Map({3, 43, 179, 95}), QRect(5, 70, 273 - 5, 224 - 70));
}

// Two rectangles spelled out: the message field of the receive window and the
// Send button, with the dialog's own client size.
TEST(DialogBuilder, PlacesKnownControlsInPixels) {
  QDialog receive;
  ui::BuildDialog(&receive, res::kReceiveDialog);
  const Expected e(receive.font());
  auto* text = ui::FindControl<QPlainTextEdit>(&receive, res::IDC_MSG_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->x(), std::lround(3 * e.cx / 4));
  EXPECT_EQ(text->y(), std::lround(43 * e.cy / 8));
  EXPECT_EQ(text->x() + text->width(), std::lround(182 * e.cx / 4));
  EXPECT_EQ(text->y() + text->height(), std::lround(138 * e.cy / 8));
  EXPECT_EQ(receive.width(), std::lround(185 * e.cx / 4));
  EXPECT_EQ(receive.height(), std::lround(156 * e.cy / 8));

  QDialog send;
  ui::BuildDialog(&send, res::kSendDialog);
  auto* button = ui::FindControl<QPushButton>(&send, res::IDC_SEND);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->geometry().topLeft(), QPoint(e.X(165), e.Y(13)));
  EXPECT_EQ(button->geometry().bottomRight() + QPoint(1, 1), QPoint(e.X(192), e.Y(25)));
}

TEST(DialogBuilder, WindowStyleFromTemplate) {
  QDialog receive;
  ui::BuildDialog(&receive, res::kReceiveDialog);
  EXPECT_EQ(receive.windowType(), Qt::Dialog);
  EXPECT_TRUE(receive.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(receive.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(receive.minimumSize(), receive.maximumSize());  // not resizable

  QDialog send;
  ui::BuildDialog(&send, res::kSendDialog);
  EXPECT_EQ(send.windowType(), Qt::Window);  // its own task-bar button
  EXPECT_EQ(send.windowTitle(), QStringLiteral("Send"));
}

TEST(DialogBuilder, SendDialogStylesAndLimits) {
  QDialog send;
  ui::BuildDialog(&send, res::kSendDialog);
  auto* receiver = ui::FindControl<QLineEdit>(&send, res::IDC_RECEIVER);
  auto* message = ui::FindControl<QPlainTextEdit>(&send, res::IDC_MESSAGE);
  auto* sender = ui::FindControl<QLineEdit>(&send, res::IDC_SENDER);
  ASSERT_TRUE(receiver && message && sender);

  // Typed receivers become upper case.
  QTest::keyClicks(receiver, "bob alice");
  EXPECT_EQ(receiver->text(), QStringLiteral("BOB ALICE"));

  EXPECT_TRUE(sender->isReadOnly());
  EXPECT_TRUE(sender->isHidden());
  EXPECT_EQ(sender->maxLength(), 16);

  // The message takes 400 characters, whether typed or pasted.
  message->setPlainText(QString(398, QLatin1Char('a')));
  message->moveCursor(QTextCursor::End);
  QTest::keyClicks(message, "bcde");
  EXPECT_EQ(message->toPlainText().size(), 400);
  EXPECT_TRUE(message->toPlainText().endsWith(QStringLiteral("abc")));
  message->insertPlainText(QString(50, QLatin1Char('z')));
  EXPECT_EQ(message->toPlainText().size(), 400);

  auto* sendButton = ui::FindControl<QPushButton>(&send, res::IDC_SEND);
  ASSERT_NE(sendButton, nullptr);
  EXPECT_TRUE(sendButton->isDefault());
  EXPECT_EQ(message->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST(DialogBuilder, ReceiveDialogStyles) {
  QDialog receive;
  ui::BuildDialog(&receive, res::kReceiveDialog);
  auto* text = ui::FindControl<QPlainTextEdit>(&receive, res::IDC_MSG_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_NE(text->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  for (int id : {res::IDC_CURRENT_COUNT, res::IDC_TOTAL_COUNT}) {
    auto* counter = ui::FindControl<QLabel>(&receive, id);
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->frameShape(), QFrame::Panel);
    EXPECT_EQ(counter->frameShadow(), QFrame::Sunken);
  }
  EXPECT_NE(ui::FindControl<QCheckBox>(&receive, res::IDC_AUTO_RESPOND), nullptr);
}

// Tab order is table order: the Send dialog's resource order.
TEST(DialogBuilder, TabOrderFollowsTheTable) {
  QDialog send;
  ui::BuildDialog(&send, res::kSendDialog);
  const QList<int> expected = {
      res::IDC_RECEIVER, res::IDC_MESSAGE,      res::IDC_SEND,           res::IDC_OTHERS,
      res::IDC_CLEAR,    res::IDC_HISTORY_PREV, res::IDC_HISTORY_DELETE, res::IDC_HISTORY_NEXT,
      res::IDC_QUICK_OK, res::IDC_QUICK_THANKS, res::IDC_QUICK_YES,      res::IDC_QUICK_NO};
  QList<int> order;
  QWidget* first = ui::FindControlWidget(&send, res::IDC_RECEIVER);
  QWidget* w = first;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && !w->isHidden() && w != &send) {
      order << ui::ControlId(w);
    }
    w = w->nextInFocusChain();
  } while (w != first && order.size() < 40);
  EXPECT_EQ(order, expected);
}

// Enter in a multi-line edit without "want return" presses the default button;
// with it, Enter makes a new line.
TEST(DialogBuilder, EnterInMultiLineEditFollowsWantReturn) {
  static constexpr res::ControlTemplate kControls[] = {
      {10,
       ControlKind::Edit,
       "",
       {4, 4, 100, 40},
       res::style::kMultiLine | res::style::kTabStop,
       0,
       0},
      {11,
       ControlKind::Edit,
       "",
       {4, 50, 100, 40},
       res::style::kMultiLine | res::style::kWantReturn | res::style::kTabStop,
       0,
       0},
      {res::IDOK, ControlKind::DefPushButton, "OK", {110, 4, 40, 14}, res::style::kTabStop, 0, 0},
  };
  static constexpr res::DialogTemplate kTmpl{500, "T", "System", 8, 160, 100, 0, kControls};
  QDialog dialog;
  ui::BuildDialog(&dialog, kTmpl);
  dialog.show();  // a dialog presses only visible default buttons
  auto* ok = ui::FindControl<QPushButton>(&dialog, res::IDOK);
  ASSERT_NE(ok, nullptr);
  QSignalSpy clicked(ok, &QPushButton::clicked);
  auto* plain = ui::FindControl<QPlainTextEdit>(&dialog, 10);
  auto* wants = ui::FindControl<QPlainTextEdit>(&dialog, 11);
  ASSERT_TRUE(plain && wants);

  QTest::keyClick(wants, Qt::Key_Return);
  EXPECT_EQ(wants->toPlainText(), QStringLiteral("\n"));
  EXPECT_EQ(clicked.count(), 0);

  QTest::keyClick(plain, Qt::Key_Return);
  EXPECT_EQ(plain->toPlainText(), QString());
  EXPECT_EQ(clicked.count(), 1);
}

TEST(DialogBuilder, FindControlIsTypedAndStaysInItsWindow) {
  QDialog receive;
  // A child dialog made first, with a control of the same id (1007).
  auto* about = new QDialog(&receive);
  ui::BuildDialog(about, res::kAboutDialog);
  ui::BuildDialog(&receive, res::kReceiveDialog, &res::kReceiveMenu);

  auto* text = ui::FindControl<QPlainTextEdit>(&receive, res::IDC_MSG_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(text->window(), about);
  EXPECT_EQ(ui::FindControl<QLabel>(&receive, res::IDC_MSG_TEXT), nullptr);  // wrong type
  EXPECT_EQ(ui::FindControlWidget(&receive, 4242), nullptr);
  EXPECT_EQ(ui::FindControlWidget(&receive, res::IDC_EMAIL), nullptr);  // only in the child
  EXPECT_NE(ui::FindControl<QLabel>(about, res::IDC_HOMEPAGE), nullptr);
}

TEST(DialogBuilder, MenuTemplatePutsABarAboveTheClientArea) {
  QDialog receive;
  const ui::BuiltDialog built = ui::BuildDialog(&receive, res::kReceiveDialog, &res::kReceiveMenu);
  ASSERT_NE(built.menuBar, nullptr);
  ASSERT_NE(built.client, &receive);
  EXPECT_EQ(built.client->size(), QSize(built.units.X(res::kReceiveDialog.width),
                                        built.units.Y(res::kReceiveDialog.height)));
  EXPECT_EQ(ui::FindControlWidget(&receive, res::IDC_MSG_FROM)->parentWidget(), built.client);
  receive.adjustSize();
  EXPECT_GE(receive.height(), built.client->height() + built.menuBar->sizeHint().height());
}

TEST(DialogBuilder, ReceiveMenuCarriesCommandIds) {
  QWidget owner;
  QMenuBar* bar = ui::BuildMenuBar(res::kReceiveMenu, &owner);
  const QList<QAction*> tops = bar->actions();
  ASSERT_EQ(tops.size(), 3);
  EXPECT_EQ(tops[0]->text(), QStringLiteral("Message"));
  EXPECT_EQ(tops[1]->text(), QStringLiteral("Option"));
  EXPECT_EQ(tops[2]->text(), QStringLiteral("Help"));

  const QList<QAction*> items = tops[0]->menu()->actions();
  QStringList texts;
  QList<int> ids;
  for (QAction* a : items) {
    texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    ids << ui::CommandId(a);
  }
  EXPECT_EQ(texts, (QStringList{"Send", "Response", "Delete", "Delete All", "-", "Previous", "Next",
                                "-", "Exit"}));
  EXPECT_EQ(ids, (QList<int>{32771, 32788, 32772, 32783, 0, 32773, 32774, 0, 1}));

  QList<int> optionIds;
  for (QAction* a : tops[1]->menu()->actions()) optionIds << ui::CommandId(a);
  EXPECT_EQ(optionIds, (QList<int>{32785, 32786, 0, 32787, 0, 32793}));
  EXPECT_EQ(ui::CommandId(tops[2]->menu()->actions().value(0)), 32776);

  const QList<QAction*> about = ui::FindActions(&owner, res::ID_HELP_ABOUT);
  ASSERT_EQ(about.size(), 1);
  EXPECT_EQ(about[0]->text(), QStringLiteral("About"));
}

TEST(DialogBuilder, TrayMenuHasBoldDefaultShow) {
  QWidget owner;
  QMenu* menu = ui::BuildPopupMenu(res::kTrayMenu, 0, &owner);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(ui::BuildPopupMenu(res::kTrayMenu, 1, &owner), nullptr);
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_EQ(items[0]->text(), QStringLiteral("Show"));
  EXPECT_EQ(ui::CommandId(items[0]), res::ID_TRAY_SHOW);
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(ui::CommandId(items[2]), res::ID_TRAY_ABOUT);
  EXPECT_TRUE(items[3]->isSeparator());
  EXPECT_EQ(ui::CommandId(items[4]), res::ID_TRAY_EXIT);
  EXPECT_EQ(menu->defaultAction(), items[0]);
  EXPECT_TRUE(items[0]->font().bold());
  EXPECT_FALSE(items[2]->font().bold());
  EXPECT_FALSE(items[4]->font().bold());
}

TEST(DialogBuilder, ToolBarButtonsImagesAndTips) {
  QWidget owner;
  QToolBar* bar = ui::BuildToolBar(res::kReceiveToolBar, &owner);
  const QList<QAction*> actions = bar->actions();
  ASSERT_EQ(actions.size(), 7);
  const QList<int> ids = {32772, 32773, 32774, 32783, 0, 32771, 32788};
  const QStringList tips = {"Delete", "Previous", "Next", "Delete All", "", "Send", "Response"};
  QList<QImage> images;
  for (qsizetype i = 0; i < actions.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actions[i]->isSeparator(), ids[i] == 0);
    EXPECT_EQ(ui::CommandId(actions[i]), ids[i]);
    if (ids[i] == 0) continue;
    EXPECT_EQ(actions[i]->toolTip(), tips[i]);
    const QImage image = actions[i]->icon().pixmap(16, 16).toImage();
    ASSERT_EQ(image.size(), QSize(16, 16));
    images << image;
  }
  EXPECT_EQ(bar->iconSize(), QSize(16, 16));
  // Six different pictures, each with something drawn in it.
  for (qsizetype i = 0; i < images.size(); ++i) {
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) opaque += qAlpha(images[i].pixel(x, y)) > 128;
    }
    EXPECT_GT(opaque, 40) << "image " << i;
    for (qsizetype j = i + 1; j < images.size(); ++j) EXPECT_NE(images[i], images[j]);
  }
}

TEST(DialogBuilder, CommandRulesReachMenusAndToolBar) {
  QDialog receive;
  const ui::BuiltDialog built = ui::BuildDialog(&receive, res::kReceiveDialog, &res::kReceiveMenu);
  ui::BuildToolBar(res::kReceiveToolBar, built.client);
  bool autoPopup = true;
  const ui::CommandRule rule = [&autoPopup](int id) {
    ui::CommandState s;
    if (id == res::ID_MESSAGE_DELETE) s.enabled = false;
    if (id == res::ID_OPTION_AUTO_POPUP) s.checked = autoPopup;
    return s;
  };
  const QList<QAction*> deletes = ui::FindActions(&receive, res::ID_MESSAGE_DELETE);
  ASSERT_EQ(deletes.size(), 2);  // menu item and tool-bar button
  ui::ApplyCommandRule(deletes, rule);
  for (QAction* a : deletes) EXPECT_FALSE(a->isEnabled());

  ui::ApplyCommandRuleOnShow(built.menuBar, rule);
  QAction* popup = ui::FindActions(built.menuBar, res::ID_OPTION_AUTO_POPUP).value(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(popup->isChecked());
  emit built.menuBar->actions()[1]->menu()->aboutToShow();
  EXPECT_TRUE(popup->isCheckable());
  EXPECT_TRUE(popup->isChecked());
  autoPopup = false;
  emit built.menuBar->actions()[1]->menu()->aboutToShow();
  EXPECT_FALSE(popup->isChecked());
}

TEST(StringTable, TitleAndTips) {
  EXPECT_EQ(res::LoadString(res::IDS_APP_TITLE), "Tessivane");
  EXPECT_EQ(ui::LoadStringResource(57344), QStringLiteral("Tessivane"));
  EXPECT_EQ(res::LoadString(1026), "Others");
  EXPECT_EQ(res::LoadString(1033), "Next");
  EXPECT_EQ(res::LoadString(1034), "Previous");
  EXPECT_EQ(res::LoadString(1035), "Delete");
  EXPECT_EQ(res::LoadString(32783), "Delete All");
  EXPECT_EQ(res::LoadString(32788), "Response");
  EXPECT_TRUE(res::LoadString(1017).empty());  // no tip: no string
  EXPECT_TRUE(ui::LoadStringResource(0).isEmpty());
  // Every string id is unique.
  for (size_t i = 0; i < std::size(res::kStringTable); ++i) {
    for (size_t j = i + 1; j < std::size(res::kStringTable); ++j) {
      EXPECT_NE(res::kStringTable[i].id, res::kStringTable[j].id);
    }
  }
}

// ---------------------------------------------------------------- texts fit

// Forces the dialog font for one scope.
class ForcedDialogFont {
 public:
  explicit ForcedDialogFont(const QStringList& families)
      : previous_(ui::SetDialogFontFamilies(families)) {}
  ~ForcedDialogFont() { ui::SetDialogFontFamilies(previous_); }
  ForcedDialogFont(const ForcedDialogFont&) = delete;
  ForcedDialogFont& operator=(const ForcedDialogFont&) = delete;

 private:
  QStringList previous_;
};

// What a control shows as text and the rectangle it draws it in (a label: its
// contents less margin and indent; a check box or radio button: beside its
// indicator). No text for other controls and for links, which fit themselves.
struct TextPlace {
  QString text;
  QRect area;
};

TextPlace TextPlaceOf(QWidget* w) {
  if (qobject_cast<ui::HyperlinkLabel*>(w)) return {};
  if (auto* label = qobject_cast<QLabel*>(w)) {
    QRect area = label->contentsRect().marginsRemoved(
        QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
    if (label->indent() > 0) {
      const Qt::Alignment a = label->alignment();
      if (a & Qt::AlignLeft) area.setLeft(area.left() + label->indent());
      if (a & Qt::AlignRight) area.setRight(area.right() - label->indent());
      if (a & Qt::AlignTop) area.setTop(area.top() + label->indent());
      if (a & Qt::AlignBottom) area.setBottom(area.bottom() - label->indent());
    }
    return {label->text(), area};
  }
  auto* button = qobject_cast<QAbstractButton*>(w);
  if (!button || !(qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))) return {};
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  const auto element =
      qobject_cast<QRadioButton*>(w) ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents;
  QString text = button->text();
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
  return {text, button->style()->subElementRect(element, &option, button)};
}

// Whether the text fits a box of the given size: every line's advance, rounded
// up, in the width; in the height the font's height for the first line and the
// (fractional) line spacing for each further one, rounded up.
bool Fits(const QFont& font, const QString& text, QSize box) {
  const QFontMetricsF exact(font);
  const QStringList lines = text.split(u'\n');
  for (const QString& line : lines) {
    if (std::ceil(exact.horizontalAdvance(line)) > box.width()) return false;
  }
  const double further = std::ceil(static_cast<double>(lines.size() - 1) * exact.lineSpacing());
  return QFontMetrics(font).height() + further <= box.height();
}

// The ink a widget shows inside its frame: the pixels that differ from its
// background.
int Ink(QWidget* w) {
  const QImage image = w->grab(w->contentsRect()).toImage();
  const QRgb background = w->palette().color(w->backgroundRole()).rgb();
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += image.pixel(x, y) != background;
  }
  return ink;
}

// Checks a dialog built from tmpl with its font. Every text fits its control,
// and a bigger control shows no more of it (nothing was cut off). A control
// whose text fits its template rectangle keeps that rectangle exactly; one
// whose text does not has grown from it, never shrunk, and lies inside the
// client area. The client area keeps the template's size unless a grown
// control needs more.
struct Growth {
  int controls = 0;     // controls that grew
  int wider = 0;        // of them, those that grew in width
  int singleLine = 0;   // of them, those with one line of text
  bool client = false;  // the client area grew
};

Growth ExpectTextsFit(const res::DialogTemplate& tmpl, const ui::BuiltDialog& built) {
  SCOPED_TRACE(QFontInfo(built.client->font()).family().toStdString());
  const Expected expect(built.client->font());
  const QSize templateSize(expect.X(tmpl.width), expect.Y(tmpl.height));
  const QRect client(QPoint(0, 0), built.client->size());
  Growth grown;
  bool pastTemplateEdge = false;
  const QList<QWidget*> made = built.client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  EXPECT_EQ(made.size(), static_cast<qsizetype>(tmpl.controls.size()));
  for (size_t i = 0; i < tmpl.controls.size() && i < static_cast<size_t>(made.size()); ++i) {
    const res::ControlTemplate& c = tmpl.controls[i];
    QWidget* w = made[static_cast<qsizetype>(i)];
    const TextPlace place = TextPlaceOf(w);
    if (place.text.isEmpty()) continue;
    SCOPED_TRACE(place.text.toStdString());
    EXPECT_TRUE(Fits(w->font(), place.text, place.area.size()))
        << "area " << place.area.width() << "x" << place.area.height();

    // Nothing more shows when the control is bigger.
    const QRect now = w->geometry();
    const int ink = Ink(w);
    EXPECT_GT(ink, 0);
    w->setGeometry(now.adjusted(0, 0, 40, 40));
    EXPECT_EQ(Ink(w), ink);
    w->setGeometry(now);

    const QRect templ = expect.Rect(c.rect.x, c.rect.y, c.rect.w, c.rect.h);
    const QSize areaThen = place.area.size() - (now.size() - templ.size());
    if (Fits(w->font(), place.text, areaThen)) {
      EXPECT_EQ(now, templ) << "a text that fits moved its control";
    } else {
      ++grown.controls;
      grown.wider += now.width() > templ.width();
      grown.singleLine += !place.text.contains(u'\n');
      EXPECT_TRUE(now.contains(templ)) << "grown control left its place";
      EXPECT_TRUE(client.contains(now)) << "grown control cut off at the edge";
      pastTemplateEdge = pastTemplateEdge || !QRect(QPoint(0, 0), templateSize).contains(now);
    }
  }
  if (pastTemplateEdge) {
    EXPECT_TRUE(client.size().width() >= templateSize.width() &&
                client.size().height() >= templateSize.height());
    EXPECT_NE(client.size(), templateSize);
  } else {
    EXPECT_EQ(client.size(), templateSize);
  }
  grown.client = client.size() != templateSize;
  return grown;
}

Growth BuildAndExpectTextsFit(const res::DialogTemplate& tmpl) {
  SCOPED_TRACE(tmpl.id);
  QDialog dialog;
  return ExpectTextsFit(tmpl, ui::BuildDialog(&dialog, tmpl));
}

// The font the desktop gives (Liberation Sans where it is installed).
TEST(DialogBuilder, TextsFitTheirControls) {
  for (const res::DialogTemplate* tmpl : res::kDialogs) BuildAndExpectTextsFit(*tmpl);
}

// The fallback font of a desktop without Liberation, and wider faces: texts
// still fit, because their controls grow.
TEST(DialogBuilder, TextsFitWithOtherFonts) {
  for (const char* family : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"}) {
    SCOPED_TRACE(family);
    const ForcedDialogFont forced({QString::fromLatin1(family)});
    const QFont font = ui::DialogFont("MS Sans Serif", 8);
    int grown = 0;
    for (const res::DialogTemplate* tmpl : res::kDialogs) {
      grown += BuildAndExpectTextsFit(*tmpl).controls;
    }
    // Every letter as wide as an average one makes the templates' texts wider
    // than they were laid out for: growing is what keeps them whole.
    if (QFontInfo(font).family() == QStringLiteral("DejaVu Sans Mono")) {
      EXPECT_GT(grown, 0);
    }
  }
}

// The templates are laid out for the metrics of Liberation Sans: with it no
// control grows wider and no dialog changes its size. Only a label of several
// lines gets taller: each further line starts the font's fractional line
// spacing lower (leading included), and without the extra pixel the last
// line's descenders would be cut off.
TEST(DialogBuilder, NothingMovesWithLiberationSans) {
  const ForcedDialogFont forced({QStringLiteral("Liberation Sans")});
  if (QFontInfo(ui::DialogFont("System", 8)).family() != QStringLiteral("Liberation Sans")) {
    GTEST_SKIP() << "Liberation Sans is not installed (fonts-liberation2)";
  }
  for (const res::DialogTemplate* tmpl : res::kDialogs) {
    SCOPED_TRACE(tmpl->id);
    const Growth grown = BuildAndExpectTextsFit(*tmpl);
    EXPECT_EQ(grown.wider, 0);
    EXPECT_EQ(grown.singleLine, 0);
    EXPECT_FALSE(grown.client);
  }
}

// With the dialog font mapped as usual, and after a forced one is taken back.
TEST(DialogBuilder, ForcedFontFamiliesAreRestorable) {
  const QFont usual = ui::DialogFont("System", 8);
  {
    const ForcedDialogFont forced({QStringLiteral("DejaVu Serif")});
    EXPECT_EQ(ui::DialogFont("System", 8).families(), QStringList{"DejaVu Serif"});
    EXPECT_EQ(ui::DialogFont("System", 8).pixelSize(), usual.pixelSize());
    QDialog dialog;
    ui::BuildDialog(&dialog, res::kAboutDialog);
    EXPECT_EQ(dialog.font().families(), QStringList{"DejaVu Serif"});
  }
  EXPECT_EQ(ui::DialogFont("System", 8).families(), usual.families());
  EXPECT_EQ(usual.families().value(0), QStringLiteral("Liberation Sans"));
}

// Controls made too small for their texts on purpose: each grows by its
// alignment, the dialog grows where one would pass its edge, and what fits
// keeps its place.
TEST(DialogBuilder, GrowsTooSmallControlsAndTheDialog) {
  namespace st = res::style;
  static constexpr res::ControlTemplate kControls[] = {
      {10, ControlKind::Static, "A left aligned text far too long", {4, 4, 20, 8}, 0, 0, 0},
      {11, ControlKind::Static, "Right aligned, too long", {60, 16, 30, 8}, st::kRight, 0, 0},
      {12, ControlKind::Static, "Centred and too long", {40, 28, 20, 8}, st::kCenter, 0, 0},
      {13, ControlKind::Static, "two\nlines", {100, 4, 50, 8}, 0, 0, 0},
      {14, ControlKind::CheckBox, "A check box with a long text", {4, 40, 30, 10}, 0, 0, 0},
      {15, ControlKind::RadioButton, "A radio button, long too", {4, 52, 30, 10}, 0, 0, 0},
      {16, ControlKind::Static, "This one runs past the right edge", {120, 66, 30, 8}, 0, 0, 0},
      {17, ControlKind::Static, "Fits", {4, 66, 60, 8}, 0, 0, 0},
      {18, ControlKind::Static, "Down at the bottom\nin two lines", {4, 82, 100, 8}, 0, 0, 0},
      {19, ControlKind::Static, "Sunken 1234567", {100, 40, 20, 11}, st::kSunken, 0, 0},
  };
  static constexpr res::DialogTemplate kTmpl{501, "T", "System", 8, 160, 90, 0, kControls};

  for (const bool withMenu : {false, true}) {
    SCOPED_TRACE(withMenu);
    QDialog dialog;
    const ui::BuiltDialog built =
        ui::BuildDialog(&dialog, kTmpl, withMenu ? &res::kReceiveMenu : nullptr);
    EXPECT_EQ(ExpectTextsFit(kTmpl, built).controls, 9);
    const ui::DialogUnits& u = built.units;
    auto place = [&](int id) { return ui::FindControlWidget(&dialog, id)->geometry(); };
    const auto templ = [&](int id) {
      for (const auto& c : kControls) {
        if (c.id == id) return u.Map(c.rect);
      }
      return QRect();
    };
    // Left aligned keeps its left edge, right aligned its right edge, centred
    // its centre; two lines get two lines' height and keep their width.
    EXPECT_EQ(place(10).topLeft(), templ(10).topLeft());
    EXPECT_GT(place(10).width(), templ(10).width());
    EXPECT_EQ(place(11).right(), templ(11).right());
    EXPECT_LT(place(11).left(), templ(11).left());
    EXPECT_NEAR(place(12).center().x(), templ(12).center().x(), 1);
    EXPECT_EQ(place(13).width(), templ(13).width());
    EXPECT_EQ(place(13).top(), templ(13).top());
    EXPECT_GE(place(13).height(), 2 * QFontMetrics(built.client->font()).height());
    EXPECT_EQ(place(14).topLeft(), templ(14).topLeft());
    EXPECT_EQ(place(17), templ(17));

    // The client grew to the right and down, keeping a small gap, and stays
    // fixed; under a menu bar the dialog holds the grown client.
    const QSize client = built.client->size();
    EXPECT_GT(client.width(), place(16).right() + 1);
    EXPECT_LE(client.width(), place(16).right() + 1 + u.baseX * 2);
    EXPECT_GT(client.height(), u.Y(90));
    EXPECT_EQ(built.client->minimumSize(), built.client->maximumSize());
    if (withMenu) {
      dialog.adjustSize();
      EXPECT_GE(dialog.width(), client.width());
      EXPECT_GE(dialog.height(), client.height() + built.menuBar->sizeHint().height());
    }
  }
}

// A text set at run time: the window asks for the fit; a resizable dialog grows
// and keeps a minimum that holds the control.
TEST(DialogBuilder, FitTextControlAfterANewText) {
  static constexpr res::ControlTemplate kControls[] = {
      {10, ControlKind::Static, "short", {4, 4, 40, 8}, 0, 0, 0},
  };
  static constexpr res::DialogTemplate kTmpl{
      502, "T", "System", 8, 50, 20, res::dlgstyle::kResizable, kControls};
  QDialog dialog;
  ui::BuildDialog(&dialog, kTmpl);
  auto* label = ui::FindControl<QLabel>(&dialog, 10);
  ASSERT_NE(label, nullptr);
  const QRect before = label->geometry();
  EXPECT_FALSE(ui::FitTextControl(label));  // fits: nothing changes
  EXPECT_EQ(label->geometry(), before);

  dialog.setMinimumSize(dialog.size());
  label->setText(QStringLiteral("a much longer text than the label was made for"));
  EXPECT_TRUE(ui::FitTextControl(label));
  EXPECT_EQ(label->pos(), before.topLeft());
  EXPECT_TRUE(QRect(QPoint(0, 0), dialog.size()).contains(label->geometry()));
  EXPECT_GE(dialog.minimumWidth(), label->geometry().right() + 1);
  EXPECT_NE(dialog.minimumSize(), dialog.maximumSize());  // still resizable
  EXPECT_FALSE(ui::FitTextControl(nullptr));
}

// The upper-case edit maps one character to one: "ß" stays (its upper case is
// two letters), the length and the cursor stay where the user put them.
TEST(DialogBuilder, UpperCaseEditKeepsLengthAndCursor) {
  QDialog send;
  ui::BuildDialog(&send, res::kSendDialog);
  auto* receiver = ui::FindControl<QLineEdit>(&send, res::IDC_RECEIVER);
  ASSERT_NE(receiver, nullptr);
  QTest::keyClicks(receiver, "abcd");
  QTest::keyClick(receiver, Qt::Key_Left);
  QTest::keyClick(receiver, Qt::Key_Left);
  ASSERT_EQ(receiver->cursorPosition(), 2);
  QTest::keyClicks(receiver, QStringLiteral("straße"));
  EXPECT_EQ(receiver->text(), QStringLiteral("ABSTRAßECD"));
  EXPECT_EQ(receiver->text().size(), 10);
  EXPECT_EQ(receiver->cursorPosition(), 8);

  // Pasted text goes the same way; a surrogate pair is left as it is.
  const QString deseret = QString::fromUcs4(U"\U00010428");
  QString pasted = QStringLiteral("ǆx") + deseret + QStringLiteral("ß");
  int pos = 1;
  receiver->validator()->validate(pasted, pos);
  EXPECT_EQ(pasted, QStringLiteral("ǄX") + deseret + QStringLiteral("ß"));
  EXPECT_EQ(pos, 1);
}

}  // namespace
}  // namespace vantrel
