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
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu |
             dlgstyle::kMinimizeBox | dlgstyle::kModalFrame,
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
    {.kind = ControlKind::Static,
     .text = "From:",
     .rect = {3, 63, 20, 8},
     .style = style::kHidden},
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
    .style = dlgstyle::kPopup | dlgstyle::kCaption | dlgstyle::kSysMenu |
             dlgstyle::kMinimizeBox | dlgstyle::kModalFrame | dlgstyle::kAppWindow,
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
     .kind = ControlKind::Static,
     .text = "jorun.halvik@korbelund.example",
     .rect = {42, 44, 170, 8},
     .style = style::kNotify},
    {.id = IDC_HOMEPAGE, .kind = ControlKind::Static, .rect = {42, 54, 170, 8},
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

// ---- Lookup -----------------------------------------------------------------
inline constexpr const DialogTemplate* kDialogs[] = {&kAboutDialog, &kSendDialog,
                                                     &kReceiveDialog};

constexpr const DialogTemplate* FindDialog(int id) {
  for (const DialogTemplate* d : kDialogs) {
    if (d->id == id) return d;
  }
  return nullptr;
}

}  // namespace vantrel::res

#pragma GCC diagnostic pop
