#pragma once
// Menu and tool-bar resources.

#include "res/ResourceIds.h"
#include "res/Templates.h"

namespace vantrel::res {

// ---- Menu 130: the receive window's menu bar --------------------------------
inline constexpr MenuItemTemplate kReceiveMessageItems[] = {
    {"Send", ID_MESSAGE_SEND},
    {"Response", ID_MESSAGE_RESPONSE},
    {"Delete", ID_MESSAGE_DELETE},
    {"Delete All", ID_MESSAGE_DELETE_ALL},
    kMenuSeparator,
    {"Previous", ID_MESSAGE_PREVIOUS},
    {"Next", ID_MESSAGE_NEXT},
    kMenuSeparator,
    {"Exit", ID_MESSAGE_EXIT},
};
inline constexpr MenuItemTemplate kReceiveOptionItems[] = {
    {"Auto Start", ID_OPTION_AUTO_START},
    {"Auto Popup", ID_OPTION_AUTO_POPUP},
    kMenuSeparator,
    {"Auto Beep", ID_OPTION_AUTO_BEEP},
    kMenuSeparator,
    {"User Info", ID_OPTION_USER_INFO},
};
inline constexpr MenuItemTemplate kReceiveHelpItems[] = {
    {"About", ID_HELP_ABOUT},
};
inline constexpr PopupTemplate kReceivePopups[] = {
    {"Message", kReceiveMessageItems},
    {"Option", kReceiveOptionItems},
    {"Help", kReceiveHelpItems},
};
inline constexpr MenuTemplate kReceiveMenu{IDR_RECEIVE_MENU, kReceivePopups};

// ---- Menu 136: the notification-area menu -----------------------------------
inline constexpr MenuItemTemplate kTrayItems[] = {
    {"Show", ID_TRAY_SHOW, menuflag::kDefault},
    kMenuSeparator,
    {"About", ID_TRAY_ABOUT},
    kMenuSeparator,
    {"Exit", ID_TRAY_EXIT},
};
inline constexpr PopupTemplate kTrayPopups[] = {
    {"Popup", kTrayItems},
};
inline constexpr MenuTemplate kTrayMenu{IDR_TRAY_MENU, kTrayPopups};

// ---- Tool bar 133 ------------------------------------------------------------
inline constexpr int kReceiveToolBarButtons[] = {
    ID_MESSAGE_DELETE, ID_MESSAGE_PREVIOUS, ID_MESSAGE_NEXT,     ID_MESSAGE_DELETE_ALL,
    ID_SEPARATOR,      ID_MESSAGE_SEND,     ID_MESSAGE_RESPONSE,
};
inline constexpr ToolBarTemplate kReceiveToolBar{
    .id = IDR_TOOLBAR,
    .bitmap = IDB_TOOLBAR,
    .buttonWidth = 16,
    .buttonHeight = 16,
    .buttons = kReceiveToolBarButtons,
};

// ---- Lookup -------------------------------------------------------------------
inline constexpr const MenuTemplate* kMenus[] = {&kReceiveMenu, &kTrayMenu};

constexpr const MenuTemplate* FindMenu(int id) {
  for (const MenuTemplate* m : kMenus) {
    if (m->id == id) return m;
  }
  return nullptr;
}

}  // namespace vantrel::res
