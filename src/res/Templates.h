#pragma once
// The shapes of the program's resources as data: dialog templates, menus and
// tool bars. The tables themselves live in Dialogs.h and Menus.h; the
// ui::DialogBuilder turns them into widgets. Nothing here depends on Qt, so
// the tables can be read (and checked) by any layer.
//
// Dialog templates keep the conventions of a Windows dialog resource:
// positions and sizes are dialog units of the template's font (a quarter of the
// average character width horizontally, an eighth of the character height
// vertically), controls are listed in creation order, which is also the tab
// order, and style flags say what the control is beyond its kind.

#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel::res {

// A rectangle in dialog units.
struct DlgRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

enum class ControlKind {
  Static,    // text label (LTEXT/CTEXT/RTEXT)
  Icon,      // an icon resource drawn at its natural size (image = icon id)
  Frame,     // an empty rectangle: a border or a placeholder for a custom control
  HLine,     // an etched horizontal rule (height ignored)
  VLine,     // an etched vertical rule (width ignored)
  GroupBox,  // a titled frame; the controls inside are its siblings, not its children
  PushButton,
  DefPushButton,  // the button that Enter presses
  CheckBox,       // automatic check box
  RadioButton,    // automatic radio button
  Edit,           // single-line edit, or multi-line with style::kMultiLine
  ComboBox,
  ListBox,
  TreeView,
  ListView,   // list view; report view with style::kReport
  Animation,  // a clip player (image = animation resource id)
  Hyperlink,  // a static that is a link (ui::HyperlinkLabel): opens its target when clicked
};

// Control style flags. Not every flag applies to every kind.
namespace style {
// Any window.
inline constexpr uint64_t kDisabled = 1ull << 0;
inline constexpr uint64_t kHidden = 1ull << 1;
inline constexpr uint64_t kTabStop = 1ull << 2;
inline constexpr uint64_t kGroup = 1ull << 3;
inline constexpr uint64_t kBorder = 1ull << 4;
inline constexpr uint64_t kVScroll = 1ull << 5;
inline constexpr uint64_t kHScroll = 1ull << 6;
// Edits.
inline constexpr uint64_t kMultiLine = 1ull << 8;
inline constexpr uint64_t kReadOnly = 1ull << 9;
inline constexpr uint64_t kUpperCase = 1ull << 10;
inline constexpr uint64_t kAutoHScroll = 1ull << 11;
inline constexpr uint64_t kAutoVScroll = 1ull << 12;
inline constexpr uint64_t kWantReturn = 1ull << 13;
inline constexpr uint64_t kPassword = 1ull << 14;
inline constexpr uint64_t kNumber = 1ull << 15;
// Statics (kCenter also centres an animation).
inline constexpr uint64_t kCenter = 1ull << 16;
inline constexpr uint64_t kRight = 1ull << 17;
inline constexpr uint64_t kCenterImage = 1ull << 18;  // single line, centred vertically
inline constexpr uint64_t kNoWordWrap = 1ull << 19;
inline constexpr uint64_t kSunken = 1ull << 20;
inline constexpr uint64_t kNoPrefix = 1ull << 21;  // '&' is shown, not a mnemonic
inline constexpr uint64_t kNotify = 1ull << 22;
inline constexpr uint64_t kEtched = 1ull << 23;  // frames
// Tree views.
inline constexpr uint64_t kHasButtons = 1ull << 24;
inline constexpr uint64_t kHasLines = 1ull << 25;
inline constexpr uint64_t kLinesAtRoot = 1ull << 26;
inline constexpr uint64_t kShowSelAlways = 1ull << 27;
inline constexpr uint64_t kNoDragDrop = 1ull << 28;
// List views, combo boxes, animations.
inline constexpr uint64_t kReport = 1ull << 32;
inline constexpr uint64_t kDropDownList = 1ull << 33;  // combo box without an edit field
inline constexpr uint64_t kTransparent = 1ull << 34;
inline constexpr uint64_t kAnimTimer = 1ull << 35;
}  // namespace style

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::Static;
  std::string_view text;
  DlgRect rect;
  uint64_t style = 0;
  int limit = 0;  // edits: most characters accepted, 0 for no limit of its own
  int image = 0;  // icons and animations: the resource id
};

// Dialog (window) style flags.
namespace dlgstyle {
inline constexpr uint32_t kPopup = 1u << 0;
inline constexpr uint32_t kCaption = 1u << 1;
inline constexpr uint32_t kSysMenu = 1u << 2;
inline constexpr uint32_t kMinimizeBox = 1u << 3;
inline constexpr uint32_t kMaximizeBox = 1u << 4;
inline constexpr uint32_t kModalFrame = 1u << 5;  // fixed dialog frame
inline constexpr uint32_t kResizable = 1u << 6;   // thick, sizing frame
inline constexpr uint32_t kAppWindow = 1u << 7;   // its own button in the task bar
}  // namespace dlgstyle

struct DialogTemplate {
  int id = 0;
  std::string_view caption;
  std::string_view fontFace;  // "System", "MS Sans Serif": mapped to a sans font
  int fontPoints = 8;
  int width = 0;  // client size in dialog units
  int height = 0;
  uint32_t style = 0;
  std::span<const ControlTemplate> controls;
};

// Menu item flags.
namespace menuflag {
inline constexpr uint32_t kDefault = 1u << 0;  // the default item, drawn bold
inline constexpr uint32_t kGrayed = 1u << 1;
inline constexpr uint32_t kChecked = 1u << 2;
}  // namespace menuflag

// One item of a drop-down menu; an item with id 0 and no text is a separator.
struct MenuItemTemplate {
  std::string_view text;
  int id = 0;
  uint32_t flags = 0;
  constexpr bool IsSeparator() const { return id == 0 && text.empty(); }
};
inline constexpr MenuItemTemplate kMenuSeparator{};

struct PopupTemplate {
  std::string_view text;
  std::span<const MenuItemTemplate> items;
};

// A menu resource: a bar of drop-down menus (or, for context menus, a bar
// whose first drop-down is the one that is shown).
struct MenuTemplate {
  int id = 0;
  std::span<const PopupTemplate> popups;
};

// A tool-bar resource: command ids in button order, 0 for a separator; the
// images of the buttons (separators have none) lie side by side in the bitmap.
struct ToolBarTemplate {
  int id = 0;
  int bitmap = 0;
  int buttonWidth = 16;
  int buttonHeight = 16;
  std::span<const int> buttons;
};

}  // namespace vantrel::res
