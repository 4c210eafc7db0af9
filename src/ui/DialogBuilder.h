#pragma once
// Turns the resource tables of src/res (dialog templates, menus, tool bars,
// strings) into Qt widgets.
//
// Dialogs. A window class builds itself from its template in its constructor:
//
//   CSendDlg::CSendDlg(QWidget* owner) : QDialog(owner) {
//     ui::BuildDialog(this, res::kSendDialog);
//     auto* receiver = ui::FindControl<QLineEdit>(this, res::IDC_RECEIVER);
//     connect(receiver, &QLineEdit::textChanged, this, &CSendDlg::onReceiverChanged);
//     ...
//   }
//
// BuildDialog sets the window's title, frame and fixed size from the template,
// gives it the template's font, and creates every control at its place
// (dialog units converted with that font, as Windows converts them), in table
// order, which is also the tab order. Each control's objectName is its id as
// a decimal number ("1017") and FindControl looks controls up by id.
//
// Texts are never clipped, whatever font the desktop has: a static, check box
// or radio button whose text does not fit its rectangle with the actual font
// grows until it does (FitTextControl), and the dialog grows with it when it
// would reach past the client area. A layout that fits is left exactly as the
// template says; nothing shrinks.
//
// Kinds and the widgets made for them:
//   Static        QLabel, plain text, top-left aligned and word-wrapped unless
//                 the style says otherwise; kSunken/kBorder give it a frame
//   Hyperlink     HyperlinkLabel, attached in its place: the window only sets
//                 its target (FindControl<HyperlinkLabel>(this, id))
//   Icon          QLabel holding the icon's 32x32 pixmap
//   Frame         QFrame (box); HLine/VLine: QFrame lines
//   GroupBox      QGroupBox (the controls inside are siblings, as on Windows)
//   PushButton    QPushButton; DefPushButton also setDefault(true)
//   CheckBox      QCheckBox;  RadioButton: QRadioButton
//   Edit          QLineEdit (limit = maxLength, kUpperCase upper-cases while
//                 typing one character for one, so the length and the cursor
//                 stay, kReadOnly, kPassword, kNumber); with kMultiLine a
//                 QPlainTextEdit (limit enforced while typing, kVScroll shows
//                 the vertical bar, without kWantReturn the Enter key goes to
//                 the dialog's default button)
//   ComboBox      QComboBox (editable unless kDropDownList), one line high
//   ListBox       QListWidget;  ListView: QTreeWidget (report) or QListWidget
//   TreeView      QTreeWidget without header (kLinesAtRoot: root decoration)
//   Animation     QLabel placeholder for the clip player
//
// With a menu template, BuildDialog also puts a QMenuBar above the client
// area (the controls then live in BuiltDialog::client, still found by
// FindControl). The receive window adds tool bar 133 in the top 14 dialog
// units that its template leaves free:
//
//   auto built = ui::BuildDialog(this, res::kReceiveDialog, &res::kReceiveMenu);
//   QToolBar* bar = ui::BuildToolBar(res::kReceiveToolBar, built.client);
//   bar->setGeometry(0, 0, built.client->width(), built.units.Y(14));
//
// Menus and tool bars. Every QAction made from a table carries its command id
// in data() (CommandId(action)) and as its objectName; a window connects
// QMenu::triggered / QToolBar::actionTriggered to its command handler and keeps
// its update rules in one function applied through ApplyCommandRule.

#include <QFont>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string_view>

#include "res/Templates.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

namespace vantrel::ui {

// The dialog base units of a font, in pixels, and the conversion of dialog
// units: x * baseX / 4 and y * baseY / 8, rounded like Windows' MulDiv.
struct DialogUnits {
  int baseX = 0;  // average character width: (extent of A-Z a-z / 26 + 1) / 2
  int baseY = 0;  // character height
  int X(int dlu) const;
  int Y(int dlu) const;
  // Converts each edge separately, as MapDialogRect does.
  QRect Map(const res::DlgRect& r) const;
};

// The font a template names, at its point size on a 96 dpi screen. The old
// Windows dialog faces ("System", "MS Sans Serif", "MS Shell Dlg", "Tahoma")
// map to a metric-compatible sans font where one is installed, else the
// desktop's sans serif.
QFont DialogFont(std::string_view face, int points);
DialogUnits DialogBaseUnits(const QFont& font);

// Forces the dialog font's families (tried in order) for every dialog built
// afterwards, in place of the mapping above; an empty list restores the
// mapping. Returns the list in force before, so a test can put it back:
//
//   const QStringList old = ui::SetDialogFontFamilies({"DejaVu Serif"});
//   ...                                  // build and check dialogs
//   ui::SetDialogFontFamilies(old);
QStringList SetDialogFontFamilies(const QStringList& families);

struct BuiltDialog {
  QWidget* client = nullptr;    // parent of the controls: the dialog itself without a menu
  QMenuBar* menuBar = nullptr;  // the menu bar made from the menu template, if any
  DialogUnits units;            // of the template's font
};

// Builds the template into dialog (usually a QDialog, not yet shown). When
// dialog is a window its title, window flags and size are set from the
// template: a template without kResizable gets a fixed size.
BuiltDialog BuildDialog(QWidget* dialog, const res::DialogTemplate& tmpl,
                        const res::MenuTemplate* menu = nullptr);

// Creates one control of a template in parent (BuildDialog calls it for each).
QWidget* CreateControl(const res::ControlTemplate& control, QWidget* parent,
                       const DialogUnits& units);

// Grows a static (QLabel with plain text), check box or radio button whose text
// does not fit it with its font: its width to the longest line, its height to
// the number of lines, measured with the font's metrics and the widget's own
// margins, indent or indicator. It keeps its place by its alignment (left
// aligned text keeps the left edge, right aligned the right edge, centred the
// centre). When it then reaches past its parent (the dialog or its client
// area), the parent grows too: a fixed one stays fixed at the new size. A link
// fits itself; for it only the parent grows if needed. Returns true when the
// control grew. BuildDialog calls it for every control; a window calls it
// after giving a control a longer text at run time.
bool FitTextControl(QWidget* control);

// The id of a control made by the builder; -1 for other widgets.
int ControlId(const QWidget* control);

// The control with the given id below root, without descending into other
// windows (child dialogs have ids of their own). Null when there is none or it
// is not a T.
QWidget* FindControlWidget(const QWidget* root, int id);
template <class T = QWidget>
T* FindControl(const QWidget* root, int id) {
  return qobject_cast<T*>(FindControlWidget(root, id));
}

// A menu bar with one drop-down per popup of the template.
QMenuBar* BuildMenuBar(const res::MenuTemplate& menu, QWidget* parent);
// A context menu from the popup with the given index (menu 136: index 0).
QMenu* BuildPopupMenu(const res::MenuTemplate& menu, int index, QWidget* parent);
// The command id an action carries; 0 for actions not made from a table.
int CommandId(const QAction* action);
// Every action with the command id below root (menus, their drop-downs and tool
// bars), without descending into child dialogs.
QList<QAction*> FindActions(const QObject* root, int commandId);

// The tool bar with one button per command, images cut from the template's
// bitmap in button order, tool tips from the string table.
QToolBar* BuildToolBar(const res::ToolBarTemplate& toolBar, QWidget* parent);

// The string-table entry with the given id; empty when there is none.
QString LoadStringResource(int id);

// Update rules: what a window answers for one command.
struct CommandState {
  bool enabled = true;
  std::optional<bool> checked;  // set: the command shows a check mark state
};
using CommandRule = std::function<CommandState(int commandId)>;

// Puts every action with a command id through the rule.
void ApplyCommandRule(const QList<QAction*>& actions, const CommandRule& rule);
// Applies the rule to each drop-down of the bar (or to the menu) each time it
// is about to show.
void ApplyCommandRuleOnShow(QMenuBar* bar, CommandRule rule);
void ApplyCommandRuleOnShow(QMenu* menu, CommandRule rule);

}  // namespace vantrel::ui
