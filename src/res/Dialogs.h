#pragma once
// Dialog templates. Controls are listed in creation order, which is the tab
// order; rectangles are in dialog units (x, y, width, height). To add a dialog:
// give it an IDD_ constant in ResourceIds.h, write its control table and its
// DialogTemplate here, and list it in kDialogs.

#include "res/ResourceIds.h"
#include "res/Templates.h"

// The tables name only the fields that differ from the defaults; GCC 12 warns
// about designated initializers that leave members to their default values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vantrel::res {

// ---- Dialog 129: the receive window ----------------------------------------
// The top 14 units stay free for tool bar 133; menu 130 sits above the client
// area.
inline constexpr ControlTemplate kReceiveControls[] = {
    {.id = IDC_MSG_FROM, .kind = ControlKind::Static, .rect = {3, 14, 179, 8}},
    {.id = IDC_MSG_ON, .kind = ControlKind::Static, .rect = {3, 22, 179, 8}},
    {.id = IDC_AUTO_RESPOND,
     .kind = ControlKind::CheckBox,
     .text = "Auto Respond",
     .rect = {3, 31, 61, 10},
     .style = style::kTabStop},
    {.id = IDC_SHOW_RESPONSE,
     .kind = ControlKind::CheckBox,
     .text = "Show Response",
     .rect = {102, 31, 69, 10},
     .style = style::kTabStop},
    {.id = IDC_MSG_TEXT,
     .kind = ControlKind::Edit,
     .rect = {3, 43, 179, 95},
     .style = style::kMultiLine | style::kReadOnly | style::kBorder | style::kVScroll |
              style::kAutoVScroll | style::kTabStop},
    {.id = IDC_CURRENT_COUNT,
     .kind = ControlKind::Static,
     .rect = {3, 142, 87, 11},
     .style = style::kSunken},
    {.id = IDC_TOTAL_COUNT,
     .kind = ControlKind::Static,
     .rect = {95, 142, 87, 11},
     .style = style::kSunken},
};

inline constexpr DialogTemplate kReceiveDialog{
    .id = IDD_RECEIVE,
    .caption = "Recieve",
    .fontFace = "System",
    .fontPoints = 8,
    .width = 185,
    .height = 156,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kMinimizeBox |
             dlgstyle::kModalFrame,
    .controls = kReceiveControls,
};

// ---- Dialog 102: the Send dialog -------------------------------------------
inline constexpr ControlTemplate kSendControls[] = {
    {.kind = ControlKind::GroupBox, .text = "To", .rect = {3, 3, 158, 42}},
    {.kind = ControlKind::Static,
     .text = "(Names are delimitated by space,\n.. for all groups)",
     .rect = {7, 26, 113, 16}},
    {.id = IDC_RECEIVER,
     .kind = ControlKind::Edit,
     .rect = {7, 13, 135, 12},
     .style = style::kUpperCase | style::kAutoHScroll | style::kBorder | style::kTabStop},
    {.id = IDC_MESSAGE,
     .kind = ControlKind::Edit,
     .rect = {3, 61, 189, 105},
     .style = style::kMultiLine | style::kWantReturn | style::kAutoVScroll | style::kVScroll |
              style::kBorder | style::kTabStop,
     .limit = 400},
    {.id = IDC_SEND,
     .kind = ControlKind::DefPushButton,
     .text = "Send",
     .rect = {165, 13, 27, 12},
     .style = style::kTabStop},
    {.id = IDC_OTHERS,
     .kind = ControlKind::PushButton,
     .text = "...",
     .rect = {145, 13, 12, 12},
     .style = style::kTabStop},
    {.id = IDC_CLEAR,
     .kind = ControlKind::PushButton,
     .text = "Clear",
     .rect = {130, 29, 27, 12},
     .style = style::kTabStop},
    {.id = IDC_HISTORY_PREV,
     .kind = ControlKind::PushButton,
     .text = "<",
     .rect = {165, 29, 9, 12},
     .style = style::kTabStop},
    {.id = IDC_HISTORY_DELETE,
     .kind = ControlKind::PushButton,
     .text = "X",
     .rect = {174, 29, 9, 12},
     .style = style::kTabStop},
    {.id = IDC_HISTORY_NEXT,
     .kind = ControlKind::PushButton,
     .text = ">",
     .rect = {183, 29, 9, 12},
     .style = style::kTabStop},
    {.id = IDC_QUICK_OK,
     .kind = ControlKind::PushButton,
     .text = "OK!",
     .rect = {3, 48, 39, 11},
     .style = style::kTabStop},
    {.id = IDC_QUICK_THANKS,
     .kind = ControlKind::PushButton,
     .text = "Thanks!",
     .rect = {53, 48, 39, 11},
     .style = style::kTabStop},
    {.id = IDC_QUICK_YES,
     .kind = ControlKind::PushButton,
     .text = "Yes.",
     .rect = {103, 48, 39, 11},
     .style = style::kTabStop},
    {.id = IDC_QUICK_NO,
     .kind = ControlKind::PushButton,
     .text = "No.",
     .rect = {153, 48, 39, 11},
     .style = style::kTabStop},
    {.kind = ControlKind::Static, .text = "From:", .rect = {3, 63, 20, 8}, .style = style::kHidden},
    {.id = IDC_SENDER,
     .kind = ControlKind::Edit,
     .rect = {29, 62, 106, 14},
     .style = style::kReadOnly | style::kAutoHScroll | style::kBorder | style::kHidden,
     .limit = 16},
};

inline constexpr DialogTemplate kSendDialog{
    .id = IDD_SEND,
    .caption = "Send",
    .fontFace = "System",
    .fontPoints = 8,
    .width = 195,
    .height = 170,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kMinimizeBox |
             dlgstyle::kModalFrame | dlgstyle::kAppWindow,
    .controls = kSendControls,
};

// ---- Dialog 100: the About box ---------------------------------------------
// The version line is completed at run time; the home-page link has no text
// of its own and shows its target.
inline constexpr ControlTemplate kAboutControls[] = {
    {.kind = ControlKind::Icon, .rect = {11, 10, 21, 20}, .image = IDI_MAINFRAME},
    {.id = IDC_ABOUT_VERSION,
     .kind = ControlKind::Static,
     .text = "Vantrel Version",
     .rect = {42, 10, 170, 8},
     .style = style::kNoPrefix},
    {.kind = ControlKind::Static,
     .text = "Tessivane pop-up messenger for the local network",
     .rect = {42, 20, 170, 8}},
    {.kind = ControlKind::Static, .text = "Written by Jorun Halvik", .rect = {42, 34, 170, 8}},
    {.id = IDC_EMAIL,
     .kind = ControlKind::Hyperlink,
     .text = "jorun.halvik@korbelund.example",
     .rect = {42, 44, 170, 8},
     .style = style::kNotify},
    {.id = IDC_HOMEPAGE,
     .kind = ControlKind::Hyperlink,
     .rect = {42, 54, 170, 8},
     .style = style::kNotify},
    {.kind = ControlKind::Static,
     .text = "Free to use, and to pass on unchanged.",
     .rect = {42, 68, 170, 8}},
    {.id = IDOK,
     .kind = ControlKind::DefPushButton,
     .text = "OK",
     .rect = {166, 82, 50, 14},
     .style = style::kTabStop | style::kGroup},
};

inline constexpr DialogTemplate kAboutDialog{
    .id = IDD_ABOUTBOX,
    .caption = "About Vantrel",
    .fontFace = "MS Sans Serif",
    .fontPoints = 8,
    .width = 222,
    .height = 103,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kModalFrame,
    .controls = kAboutControls,
};

// ---- Dialog 137: Select Receiver ---------------------------------------------
inline constexpr ControlTemplate kSelectReceiverControls[] = {
    {.kind = ControlKind::Static,
     .text = "This tree supports multi-selection:",
     .rect = {7, 7, 112, 8}},
    {.id = IDC_RECEIVER_TREE,
     .kind = ControlKind::TreeView,
     .rect = {7, 17, 127, 113},
     .style = style::kHasButtons | style::kHasLines | style::kLinesAtRoot | style::kShowSelAlways |
              style::kNoDragDrop | style::kBorder | style::kTabStop},
    {.id = IDOK,
     .kind = ControlKind::DefPushButton,
     .text = "OK",
     .rect = {142, 7, 32, 14},
     .style = style::kTabStop},
    {.id = IDCANCEL,
     .kind = ControlKind::PushButton,
     .text = "Cancel",
     .rect = {142, 24, 32, 14},
     .style = style::kTabStop},
    {.id = IDC_SELECT_ALL,
     .kind = ControlKind::PushButton,
     .text = "Sel All",
     .rect = {142, 50, 32, 14},
     .style = style::kTabStop},
    {.id = IDC_REFRESH,
     .kind = ControlKind::PushButton,
     .text = "Refresh",
     .rect = {142, 67, 32, 14},
     .style = style::kTabStop},
    {.id = IDC_SEARCH_ANIMATION,
     .kind = ControlKind::Animation,
     .rect = {142, 100, 32, 30},
     .style = style::kCenter | style::kTransparent,
     .image = IDR_SEARCH_AVI},
};

inline constexpr DialogTemplate kSelectReceiverDialog{
    .id = IDD_SELECT_RECEIVER,
    .caption = "Select Reciever",
    .fontFace = "System",
    .fontPoints = 10,
    .width = 181,
    .height = 137,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kResizable,
    .controls = kSelectReceiverControls,
};

// ---- Dialog 140: User Info ----------------------------------------------------
// The grid is not a template control: it takes the place of frame 1031.
inline constexpr ControlTemplate kUserInfoControls[] = {
    {.kind = ControlKind::Static, .text = "Double click cell to edit it:", .rect = {7, 7, 84, 8}},
    {.id = IDC_GRID_PLACE, .kind = ControlKind::Frame, .rect = {7, 16, 179, 146}},
    {.id = IDC_USER_INFO_OK,
     .kind = ControlKind::DefPushButton,
     .text = "OK",
     .rect = {191, 7, 34, 14},
     .style = style::kTabStop},
    {.id = IDCANCEL,
     .kind = ControlKind::PushButton,
     .text = "Cancel",
     .rect = {191, 24, 34, 14},
     .style = style::kTabStop},
    {.id = IDC_REFRESH,
     .kind = ControlKind::PushButton,
     .text = "Refresh",
     .rect = {191, 58, 34, 14},
     .style = style::kTabStop},
    {.id = IDC_SEARCH_ANIMATION,
     .kind = ControlKind::Animation,
     .rect = {193, 132, 32, 30},
     .style = style::kCenter | style::kTransparent,
     .image = IDR_SEARCH_AVI},
};

inline constexpr DialogTemplate kUserInfoDialog{
    .id = IDD_USER_INFO,
    .caption = "User Info",
    .fontFace = "System",
    .fontPoints = 10,
    .width = 232,
    .height = 169,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kResizable,
    .controls = kUserInfoControls,
};

// ---- Dialog 141: Black List ---------------------------------------------------
inline constexpr ControlTemplate kBlackListControls[] = {
    {.id = IDC_BLACK_LIST_TITLE,
     .kind = ControlKind::Static,
     .text = "Static",
     .rect = {10, 8, 147, 8},
     .style = style::kNoPrefix},
    {.kind = ControlKind::Frame, .rect = {7, 6, 157, 53}, .style = style::kEtched},
    {.kind = ControlKind::Static, .text = "P2P Msg", .rect = {81, 20, 30, 8}},
    {.kind = ControlKind::Static, .text = "BC Msg", .rect = {127, 20, 27, 8}},
    {.kind = ControlKind::Static, .text = "No auto-response", .rect = {13, 33, 59, 8}},
    {.kind = ControlKind::Static, .text = "No auto-popup", .rect = {13, 47, 59, 8}},
    {.id = IDC_NO_RESPOND_P2P,
     .kind = ControlKind::CheckBox,
     .rect = {92, 34, 8, 8},
     .style = style::kTabStop},
    {.id = IDC_NO_RESPOND_BC,
     .kind = ControlKind::CheckBox,
     .rect = {135, 34, 8, 8},
     .style = style::kTabStop},
    {.id = IDC_NO_POPUP_P2P,
     .kind = ControlKind::CheckBox,
     .rect = {92, 48, 8, 8},
     .style = style::kTabStop},
    {.id = IDC_NO_POPUP_BC,
     .kind = ControlKind::CheckBox,
     .rect = {135, 48, 8, 8},
     .style = style::kTabStop},
    {.kind = ControlKind::HLine, .rect = {7, 18, 157, 1}},
    {.kind = ControlKind::HLine, .rect = {7, 30, 157, 1}},
    {.kind = ControlKind::HLine, .rect = {7, 44, 157, 1}},
    {.kind = ControlKind::VLine, .rect = {75, 18, 1, 41}},
    {.kind = ControlKind::VLine, .rect = {116, 18, 1, 41}},
    {.kind = ControlKind::Static,
     .text = "P2P Msg: Person to person message",
     .rect = {7, 62, 122, 8}},
    {.kind = ControlKind::Static, .text = "BC Msg: Broadcast message", .rect = {7, 72, 96, 8}},
    {.id = IDCANCEL,
     .kind = ControlKind::PushButton,
     .text = "Cancel",
     .rect = {52, 86, 29, 14},
     .style = style::kTabStop},
    {.id = IDOK,
     .kind = ControlKind::DefPushButton,
     .text = "OK",
     .rect = {89, 86, 29, 14},
     .style = style::kTabStop},
};

inline constexpr DialogTemplate kBlackListDialog{
    .id = IDD_BLACK_LIST,
    .caption = "Black List",
    .fontFace = "System",
    .fontPoints = 10,
    .width = 171,
    .height = 107,
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu | dlgstyle::kModalFrame,
    .controls = kBlackListControls,
};

// ---- Lookup -----------------------------------------------------------------
inline constexpr const DialogTemplate* kDialogs[] = {
    &kAboutDialog,          &kSendDialog,     &kReceiveDialog,
    &kSelectReceiverDialog, &kUserInfoDialog, &kBlackListDialog,
};

constexpr const DialogTemplate* FindDialog(int id) {
  for (const DialogTemplate* d : kDialogs) {
    if (d->id == id) return d;
  }
  return nullptr;
}

}  // namespace vantrel::res

#pragma GCC diagnostic pop
