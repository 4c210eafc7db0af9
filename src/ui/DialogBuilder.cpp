#include "ui/DialogBuilder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cmath>

#include "res/Resources.h"
#include "res/StringTable.h"
#include "ui/HyperlinkLabel.h"

namespace vantrel::ui {
namespace {

using res::ControlKind;
namespace style = res::style;

constexpr char kControlIdProperty[] = "controlId";

// Windows' MulDiv for the non-negative values of dialog geometry (negative
// ones round symmetrically).
int MulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The text without its mnemonic markers: "&&" is one ampersand, a single one
// disappears.
QString WithoutMnemonics(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

// Static text shows '&' as a mnemonic marker unless kNoPrefix.
QString StaticText(std::string_view raw, bool noPrefix) {
  const QString text = FromUtf8(raw);
  return noPrefix ? text : WithoutMnemonics(text);
}

// Upper-cases what is typed, like an edit with ES_UPPERCASE: one character for
// one (the simple case mapping of each UTF-16 unit; surrogates stay as they
// are), so the text keeps its length and the cursor stays where it was. A
// full mapping would turn "ß" into "SS" and push the cursor off its place.
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    for (QChar& c : input) {
      if (!c.isSurrogate()) c = c.toUpper();
    }
    return Acceptable;
  }
};

// A multi-line edit without ES_WANTRETURN hands Enter to its dialog, which
// presses the default button; Ctrl+Enter still makes a new line.
class ReturnToDialogFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        key->modifiers().testFlag(Qt::ControlModifier)) {
      return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() == widget) return false;
    QKeyEvent copy(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(widget->window(), &copy);
    return true;
  }
};

// Keeps a multi-line edit at most `limit` characters long: what was just typed
// or pasted beyond the limit is removed again.
void EnforceLimit(QPlainTextEdit* edit, int limit) {
  QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, limit] {
    const qsizetype length = edit->document()->characterCount() - 1;
    if (length <= limit) return;
    const int excess = static_cast<int>(length - limit);
    QTextCursor cursor = edit->textCursor();
    const int end = cursor.position();
    if (end >= excess) {
      cursor.setPosition(end - excess);
      cursor.setPosition(end, QTextCursor::KeepAnchor);
    } else {
      cursor.movePosition(QTextCursor::End);
      cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, excess);
    }
    cursor.removeSelectedText();
  });
}

// Sets a label up as the static control c (a plain QLabel or a link).
QWidget* MakeStatic(const res::ControlTemplate& c, QLabel* label) {
  label->setTextFormat(Qt::PlainText);
  label->setText(StaticText(c.text, (c.style & style::kNoPrefix) != 0));
  Qt::Alignment align = Qt::AlignLeft;
  if (c.style & style::kCenter) align = Qt::AlignHCenter;
  if (c.style & style::kRight) align = Qt::AlignRight;
  const bool centerImage = (c.style & style::kCenterImage) != 0;
  label->setAlignment(align | (centerImage ? Qt::AlignVCenter : Qt::AlignTop));
  label->setWordWrap(!centerImage && !(c.style & style::kNoWordWrap));
  if (c.style & style::kSunken) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setIndent(2);
  } else if (c.style & style::kBorder) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    label->setIndent(2);
  }
  return label;
}

QWidget* MakeEdit(const res::ControlTemplate& c, QWidget* parent) {
  const bool readOnly = (c.style & style::kReadOnly) != 0;
  if (c.style & style::kMultiLine) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setReadOnly(readOnly);
    edit->setFrameStyle((c.style & style::kBorder) ? (QFrame::StyledPanel | QFrame::Sunken)
                                                   : QFrame::NoFrame);
    edit->setVerticalScrollBarPolicy((c.style & style::kVScroll) ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
    const bool hscroll = (c.style & style::kHScroll) != 0;
    edit->setHorizontalScrollBarPolicy(hscroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode((hscroll || (c.style & style::kAutoHScroll))
                              ? QPlainTextEdit::NoWrap
                              : QPlainTextEdit::WidgetWidth);
    edit->setTabChangesFocus(true);
    if (!(c.style & style::kWantReturn)) edit->installEventFilter(new ReturnToDialogFilter(edit));
    if (c.limit > 0) {
      edit->setProperty("maxLength", c.limit);
      EnforceLimit(edit, c.limit);
    }
    return edit;
  }
  auto* edit = new QLineEdit(parent);
  edit->setReadOnly(readOnly);
  edit->setFrame((c.style & style::kBorder) != 0);
  if (c.limit > 0) edit->setMaxLength(c.limit);
  if (c.style & style::kPassword) edit->setEchoMode(QLineEdit::Password);
  if (c.style & style::kUpperCase) {
    edit->setValidator(new UpperCaseValidator(edit));
  } else if (c.style & style::kNumber) {
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  }
  return edit;
}

// ---- texts that fit their controls

// The widest line of text in whole pixels (rounded up: a glyph that ends at
// 168.3 needs 169) and the height of its lines, as the widget draws them: the
// first line is the font's height (what a template gives a line), each further
// one starts a line spacing lower. That spacing is fractional and includes the
// font's leading (12.65 pixels for an 11-pixel Liberation Sans), so two lines
// need 25 pixels where the template's 16 units give 24.
QSize TextExtent(const QFont& font, const QString& text) {
  const QFontMetricsF exact(font);
  const QStringList lines = text.split(u'\n');
  qreal widest = 0;
  for (const QString& line : lines) widest = std::max(widest, exact.horizontalAdvance(line));
  const qreal further = static_cast<qreal>(lines.size() - 1) * exact.lineSpacing();
  const int height = QFontMetrics(font).height() + static_cast<int>(std::ceil(further));
  return {static_cast<int>(std::ceil(widest)), height};
}

// The rectangle a plain-text label draws its text in: its contents less the
// margin, and less the indent on the sides the text is aligned to (a framed
// label without an indent of its own gets half an 'x').
QRect LabelTextArea(const QLabel* label) {
  QRect area = label->contentsRect();
  const int margin = label->margin();
  area.adjust(margin, margin, -margin, -margin);
  int indent = label->indent();
  if (indent < 0 && label->frameWidth() > 0) {
    indent = label->fontMetrics().horizontalAdvance(u'x') / 2 - margin;
  }
  if (indent > 0) {
    const Qt::Alignment align =
        QStyle::visualAlignment(label->layoutDirection(), label->alignment());
    if (align & Qt::AlignLeft) area.setLeft(area.left() + indent);
    if (align & Qt::AlignRight) area.setRight(area.right() - indent);
    if (align & Qt::AlignTop) area.setTop(area.top() + indent);
    if (align & Qt::AlignBottom) area.setBottom(area.bottom() - indent);
  }
  return area;
}

// The rectangle beside the indicator where a check box or radio button draws
// its text.
QRect ButtonTextArea(const QAbstractButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  option.icon = button->icon();
  option.iconSize = button->iconSize();
  const QStyle::SubElement contents = qobject_cast<const QRadioButton*>(button)
                                          ? QStyle::SE_RadioButtonContents
                                          : QStyle::SE_CheckBoxContents;
  return button->style()->subElementRect(contents, &option, button);
}

// Where a span keeps its place when it grows: its leading edge, its centre or
// its trailing edge, after the alignment of what it shows.
enum class Anchor { Leading, Centre, Trailing };

// Grows the span [start, start + size) to `needed`, keeping its anchor; it
// never starts before 0 (what does not fit before goes after).
void GrowSpan(int& start, int& size, int needed, Anchor anchor) {
  if (needed <= size) return;
  const int extra = needed - size;
  if (anchor == Anchor::Trailing) {
    start -= extra;
  } else if (anchor == Anchor::Centre) {
    start -= extra / 2;
  }
  start = std::max(start, 0);
  size = needed;
}

Anchor HorizontalAnchor(Qt::Alignment align) {
  if (align & Qt::AlignHCenter) return Anchor::Centre;
  return (align & Qt::AlignRight) ? Anchor::Trailing : Anchor::Leading;
}

Anchor VerticalAnchor(Qt::Alignment align) {
  if (align & Qt::AlignVCenter) return Anchor::Centre;
  return (align & Qt::AlignBottom) ? Anchor::Trailing : Anchor::Leading;
}

// The geometry in which the control's text fits, grown from its present one;
// the present one when the text fits or the control shows no text.
QRect GeometryThatFits(QWidget* control) {
  QRect r = control->geometry();
  QString text;
  QRect area;
  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
  if (auto* label = qobject_cast<QLabel*>(control)) {
    // Links fit themselves to their text; labels with pictures or rich text
    // are not measured.
    text = label->text();
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (qobject_cast<HyperlinkLabel*>(control) || rich) return r;
    area = LabelTextArea(label);
    align = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
  } else if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
    auto* button = static_cast<QAbstractButton*>(control);
    text = WithoutMnemonics(button->text());
    area = ButtonTextArea(button);
    align = QStyle::visualAlignment(button->layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter);
  } else {
    return r;
  }
  if (text.isEmpty()) return r;
  const QSize extent = TextExtent(control->font(), text);
  int x = r.x(), y = r.y(), w = r.width(), h = r.height();
  GrowSpan(x, w, extent.width() + (r.width() - area.width()), HorizontalAnchor(align));
  GrowSpan(y, h, extent.height() + (r.height() - area.height()), VerticalAnchor(align));
  return {x, y, w, h};
}

// Grows the area holding a control (the dialog, or its client area under a
// menu bar) so that nothing of the control is cut off at the right or bottom
// edge; the control keeps the gap it had to that edge before it grew, up to
// one average character. A fixed area gets a new fixed size, a resizable one a
// new size and, if it has one, a minimum that holds the control.
void GrowClientToHold(QWidget* control, const QRect& before) {
  QWidget* client = control->parentWidget();
  if (!client) return;
  const QRect now = control->geometry();
  const QSize size = client->size();
  const int cap = control->fontMetrics().averageCharWidth();
  const auto needed = [cap](int edgeBefore, int edgeNow, int extent) {
    if (edgeNow <= extent) return extent;
    return edgeNow + std::clamp(extent - edgeBefore, 0, cap);
  };
  const QSize grown(needed(before.x() + before.width(), now.x() + now.width(), size.width()),
                    needed(before.y() + before.height(), now.y() + now.height(), size.height()));
  if (grown == size) return;
  if (client->minimumSize() == client->maximumSize()) {
    client->setFixedSize(grown);
    return;
  }
  if (!client->minimumSize().isEmpty()) {
    const QSize holds(now.x() + now.width(), now.y() + now.height());
    client->setMinimumSize(client->minimumSize().expandedTo(holds));
  }
  client->resize(grown);
}

bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::Edit:
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
    case ControlKind::TreeView:
    case ControlKind::ListView:
      return true;
    default:
      return false;
  }
}

Qt::WindowFlags WindowFlagsFor(uint32_t s) {
  namespace ds = res::dlgstyle;
  Qt::WindowFlags flags = (s & ds::kAppWindow) ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint;
  if (s & ds::kCaption) flags |= Qt::WindowTitleHint;
  if (s & ds::kSysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (s & ds::kMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  if (s & ds::kMaximizeBox) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

void FillMenu(QMenu* menu, const res::PopupTemplate& popup) {
  menu->setTitle(FromUtf8(popup.text));
  for (const res::MenuItemTemplate& item : popup.items) {
    if (item.IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(FromUtf8(item.text));
    action->setData(item.id);
    action->setObjectName(QString::number(item.id));
    if (item.flags & res::menuflag::kGrayed) action->setEnabled(false);
    if (item.flags & res::menuflag::kChecked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (item.flags & res::menuflag::kDefault) {
      QFont bold = action->font();
      bold.setBold(true);
      action->setFont(bold);
      menu->setDefaultAction(action);
    }
  }
}

// Child windows (dialogs) keep their own ids; menus are windows too but belong
// to the window that made them.
bool IsOtherWindow(const QObject* object) {
  const auto* widget = qobject_cast<const QWidget*>(object);
  return widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget);
}

QWidget* FindIn(const QObject* parent, const QString& name) {
  for (QObject* child : parent->children()) {
    if (IsOtherWindow(child)) continue;
    if (auto* widget = qobject_cast<QWidget*>(child);
        widget && widget->objectName() == name && widget->property(kControlIdProperty).isValid()) {
      return widget;
    }
  }
  for (QObject* child : parent->children()) {
    if (IsOtherWindow(child)) continue;
    if (QWidget* found = FindIn(child, name)) return found;
  }
  return nullptr;
}

void CollectActions(const QObject* parent, int commandId, QList<QAction*>* out) {
  for (QObject* child : parent->children()) {
    if (IsOtherWindow(child)) continue;
    if (auto* action = qobject_cast<QAction*>(child); action && CommandId(action) == commandId) {
      out->append(action);
    }
    CollectActions(child, commandId, out);
  }
}

}  // namespace

int DialogUnits::X(int dlu) const { return MulDiv(dlu, baseX, 4); }
int DialogUnits::Y(int dlu) const { return MulDiv(dlu, baseY, 8); }

QRect DialogUnits::Map(const res::DlgRect& r) const {
  const int left = X(r.x);
  const int top = Y(r.y);
  return {left, top, X(r.x + r.w) - left, Y(r.y + r.h) - top};
}

namespace {
QStringList& ForcedFamilies() {
  static QStringList families;
  return families;
}
}  // namespace

QStringList SetDialogFontFamilies(const QStringList& families) {
  QStringList previous = ForcedFamilies();
  ForcedFamilies() = families;
  return previous;
}

QFont DialogFont(std::string_view face, int points) {
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(MulDiv(points > 0 ? points : 8, 96, 72));
  if (!ForcedFamilies().isEmpty()) {
    font.setFamilies(ForcedFamilies());
    return font;
  }
  const QString name = FromUtf8(face);
  static const QStringList kSansFaces = {
      QStringLiteral("System"), QStringLiteral("MS Sans Serif"), QStringLiteral("MS Shell Dlg"),
      QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma")};
  QStringList families;
  if (!name.isEmpty() && !kSansFaces.contains(name, Qt::CaseInsensitive)) families << name;
  families << QStringLiteral("Liberation Sans") << QStringLiteral("Arimo")
           << QStringLiteral("Nimbus Sans") << QStringLiteral("Arial")
           << QStringLiteral("Helvetica") << QStringLiteral("DejaVu Sans");
  font.setFamilies(families);
  return font;
}

DialogUnits DialogBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int extent = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(extent / 26 + 1) / 2, metrics.height()};
}

QWidget* CreateControl(const res::ControlTemplate& c, QWidget* parent, const DialogUnits& units) {
  QWidget* widget = nullptr;
  QRect geometry = units.Map(c.rect);
  switch (c.kind) {
    case ControlKind::Static:
      widget = MakeStatic(c, new QLabel(parent));
      break;
    case ControlKind::Hyperlink:
      widget = MakeStatic(c, new HyperlinkLabel(parent));
      break;
    case ControlKind::Icon: {
      auto* label = new QLabel(parent);
      label->setPixmap(res::LoadIconResource(c.image).pixmap(32, 32));
      geometry.setSize(QSize(32, 32));  // icons keep their natural size
      widget = label;
      break;
    }
    case ControlKind::Frame: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::Box |
                           ((c.style & style::kEtched) ? QFrame::Sunken : QFrame::Plain));
      widget = frame;
      break;
    }
    case ControlKind::HLine:
    case ControlKind::VLine: {
      auto* line = new QFrame(parent);
      const bool horizontal = c.kind == ControlKind::HLine;
      line->setFrameStyle((horizontal ? QFrame::HLine : QFrame::VLine) | QFrame::Sunken);
      if (horizontal) {
        geometry.setHeight(2);
      } else {
        geometry.setWidth(2);
      }
      widget = line;
      break;
    }
    case ControlKind::GroupBox:
      widget = new QGroupBox(StaticText(c.text, false), parent);
      break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new QPushButton(FromUtf8(c.text), parent);
      if (c.kind == ControlKind::DefPushButton) button->setDefault(true);
      widget = button;
      break;
    }
    case ControlKind::CheckBox:
      widget = new QCheckBox(FromUtf8(c.text), parent);
      break;
    case ControlKind::RadioButton:
      widget = new QRadioButton(FromUtf8(c.text), parent);
      break;
    case ControlKind::Edit:
      widget = MakeEdit(c, parent);
      break;
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(!(c.style & style::kDropDownList));
      // The template's height includes the drop-down list; the box is one line.
      geometry.setHeight(combo->sizeHint().height());
      widget = combo;
      break;
    }
    case ControlKind::ListBox:
      widget = new QListWidget(parent);
      break;
    case ControlKind::TreeView: {
      auto* tree = new QTreeWidget(parent);
      tree->setHeaderHidden(true);
      tree->setRootIsDecorated((c.style & style::kLinesAtRoot) != 0);
      tree->setDragEnabled(false);
      widget = tree;
      break;
    }
    case ControlKind::ListView:
      if (c.style & style::kReport) {
        auto* table = new QTreeWidget(parent);
        table->setRootIsDecorated(false);
        widget = table;
      } else {
        widget = new QListWidget(parent);
      }
      break;
    case ControlKind::Animation: {
      auto* label = new QLabel(parent);
      label->setAlignment((c.style & style::kCenter) ? Qt::AlignCenter
                                                     : (Qt::AlignLeft | Qt::AlignTop));
      widget = label;
      break;
    }
  }
  widget->setObjectName(QString::number(c.id));
  widget->setProperty(kControlIdProperty, c.id);
  widget->setGeometry(geometry);
  // A link becomes one in its place: underlined, fitted to its text.
  if (auto* link = qobject_cast<HyperlinkLabel*>(widget)) link->AttachInPlace();
  if (TakesFocus(c.kind)) {
    widget->setFocusPolicy((c.style & style::kTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
  } else {
    widget->setFocusPolicy(Qt::NoFocus);
  }
  if (c.style & style::kDisabled) widget->setEnabled(false);
  if (c.style & style::kHidden) widget->hide();
  return widget;
}

BuiltDialog BuildDialog(QWidget* dialog, const res::DialogTemplate& tmpl,
                        const res::MenuTemplate* menu) {
  BuiltDialog built;
  const QFont font = DialogFont(tmpl.fontFace, tmpl.fontPoints);
  built.units = DialogBaseUnits(font);
  const QSize size(built.units.X(tmpl.width), built.units.Y(tmpl.height));
  const bool resizable = (tmpl.style & res::dlgstyle::kResizable) != 0;

  if (dialog->isWindow()) {
    dialog->setWindowFlags(WindowFlagsFor(tmpl.style));
    dialog->setWindowTitle(FromUtf8(tmpl.caption));
  }

  built.client = dialog;
  if (menu) {
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    built.menuBar = BuildMenuBar(*menu, dialog);
    // The menu bar speaks the dialog's font, as the old dialogs did.
    built.menuBar->setFont(font);
    for (QAction* top : built.menuBar->actions()) {
      if (QMenu* dropDown = top->menu()) dropDown->setFont(font);
    }
    layout->setMenuBar(built.menuBar);
    built.client = new QWidget(dialog);
    layout->addWidget(built.client);
    if (resizable) {
      built.client->setMinimumSize(size);
    } else {
      built.client->setFixedSize(size);
      layout->setSizeConstraint(QLayout::SetFixedSize);
    }
  } else if (resizable) {
    dialog->resize(size);
  } else {
    dialog->setFixedSize(size);
  }
  built.client->setFont(font);

  QWidget* previous = nullptr;
  QList<QWidget*> made;
  for (const res::ControlTemplate& c : tmpl.controls) {
    QWidget* widget = CreateControl(c, built.client, built.units);
    made << widget;
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
  // With another font than the one the template was laid out in, a text may
  // need more room than its rectangle gives.
  for (QWidget* widget : made) FitTextControl(widget);
  return built;
}

bool FitTextControl(QWidget* control) {
  if (!control) return false;
  control->ensurePolished();
  const QRect before = control->geometry();
  const QRect fits = GeometryThatFits(control);
  if (fits != before) control->setGeometry(fits);
  // A link sizes itself to its text, so it may have grown already.
  if (fits != before || qobject_cast<HyperlinkLabel*>(control)) {
    GrowClientToHold(control, before);
  }
  return fits != before;
}

int ControlId(const QWidget* control) {
  const QVariant id = control ? control->property(kControlIdProperty) : QVariant();
  return id.isValid() ? id.toInt() : -1;
}

QWidget* FindControlWidget(const QWidget* root, int id) {
  return root ? FindIn(root, QString::number(id)) : nullptr;
}

QMenuBar* BuildMenuBar(const res::MenuTemplate& menu, QWidget* parent) {
  auto* bar = new QMenuBar(parent);
  bar->setObjectName(QString::number(menu.id));
  for (const res::PopupTemplate& popup : menu.popups) {
    auto* dropDown = new QMenu(bar);
    FillMenu(dropDown, popup);
    bar->addMenu(dropDown);
  }
  return bar;
}

QMenu* BuildPopupMenu(const res::MenuTemplate& menu, int index, QWidget* parent) {
  if (index < 0 || static_cast<size_t>(index) >= menu.popups.size()) return nullptr;
  auto* popup = new QMenu(parent);
  popup->setObjectName(QString::number(menu.id));
  FillMenu(popup, menu.popups[static_cast<size_t>(index)]);
  return popup;
}

int CommandId(const QAction* action) {
  const QVariant id = action ? action->data() : QVariant();
  return id.isValid() ? id.toInt() : 0;
}

QList<QAction*> FindActions(const QObject* root, int commandId) {
  QList<QAction*> found;
  if (root && commandId != 0) CollectActions(root, commandId, &found);
  return found;
}

QToolBar* BuildToolBar(const res::ToolBarTemplate& toolBar, QWidget* parent) {
  auto* bar = new QToolBar(parent);
  bar->setObjectName(QString::number(toolBar.id));
  bar->setIconSize(QSize(toolBar.buttonWidth, toolBar.buttonHeight));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const QPixmap strip = res::LoadBitmapResource(toolBar.bitmap);
  int image = 0;
  for (int id : toolBar.buttons) {
    if (id == res::ID_SEPARATOR) {
      bar->addSeparator();
      continue;
    }
    const QString tip = LoadStringResource(id);
    QIcon icon;
    if (!strip.isNull()) {
      icon = QIcon(
          strip.copy(image * toolBar.buttonWidth, 0, toolBar.buttonWidth, toolBar.buttonHeight));
    }
    ++image;
    QAction* action = bar->addAction(icon, tip);
    action->setToolTip(tip);
    action->setData(id);
    action->setObjectName(QString::number(id));
  }
  return bar;
}

QString LoadStringResource(int id) { return FromUtf8(res::LoadString(id)); }

void ApplyCommandRule(const QList<QAction*>& actions, const CommandRule& rule) {
  if (!rule) return;
  for (QAction* action : actions) {
    const int id = CommandId(action);
    if (id == 0 || action->isSeparator() || action->menu()) continue;
    const CommandState state = rule(id);
    action->setEnabled(state.enabled);
    if (state.checked) {
      action->setCheckable(true);
      action->setChecked(*state.checked);
    }
  }
}

void ApplyCommandRuleOnShow(QMenu* menu, CommandRule rule) {
  QObject::connect(menu, &QMenu::aboutToShow, menu,
                   [menu, rule = std::move(rule)] { ApplyCommandRule(menu->actions(), rule); });
}

void ApplyCommandRuleOnShow(QMenuBar* bar, CommandRule rule) {
  for (QAction* action : bar->actions()) {
    if (QMenu* dropDown = action->menu()) ApplyCommandRuleOnShow(dropDown, rule);
  }
}

}  // namespace vantrel::ui
