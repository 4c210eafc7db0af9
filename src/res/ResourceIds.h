#pragma once
// Resource, control and command identifiers of the program. The numbers are
// part of the program's identity (templates, string table, update rules and
// tests refer to them), so they never change; a new one gets the next free
// number of its range.
//
//   IDD_  dialog templates          IDR_  menus, tool bars, icons shared by a frame
//   IDI_  icons                     IDB_  bitmaps
//   IDC_  controls (per dialog; the same number may serve several dialogs)
//   ID_   menu and tool-bar commands
//   IDS_  strings that are not command tips

namespace vantrel::res {

// Predefined dialog commands.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// The identifier of controls nobody addresses (labels, frames).
inline constexpr int IDC_STATIC = -1;
// A separator in tool-bar tables.
inline constexpr int ID_SEPARATOR = 0;

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SEND = 102;
inline constexpr int IDD_RECEIVE = 129;
inline constexpr int IDD_SELECT_RECEIVER = 137;
inline constexpr int IDD_USER_INFO = 140;
inline constexpr int IDD_BLACK_LIST = 141;

// Icons, menus, tool bar, bitmaps, animation.
inline constexpr int IDI_MAINFRAME = 128;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_RECEIVE_MENU = 130;
inline constexpr int IDR_TOOLBAR = 133;
inline constexpr int IDB_TOOLBAR = 133;
inline constexpr int IDR_TRAY_MENU = 136;
inline constexpr int IDR_SEARCH_AVI = 138;
inline constexpr int IDB_NETWORK_IMAGES = 139;

// Strings.
inline constexpr int IDS_APP_TITLE = 57344;  // the application title, also the profile name

// Receive window, dialog 129.
inline constexpr int IDC_MSG_TEXT = 1007;       // multi-line read-only message text
inline constexpr int IDC_MSG_FROM = 1011;       // "From ... to ..." or "No message"
inline constexpr int IDC_MSG_ON = 1012;         // "On " and the receive time
inline constexpr int IDC_CURRENT_COUNT = 1013;  // "Current: %lu"
inline constexpr int IDC_TOTAL_COUNT = 1014;    // "Total: %lu"
inline constexpr int IDC_AUTO_RESPOND = 1023;
inline constexpr int IDC_SHOW_RESPONSE = 1024;

// Send dialog, dialog 102.
inline constexpr int IDC_MESSAGE = 1000;
inline constexpr int IDC_SEND = 1001;
inline constexpr int IDC_SENDER = 1003;
inline constexpr int IDC_RECEIVER = 1017;
inline constexpr int IDC_CLEAR = 1021;
inline constexpr int IDC_OTHERS = 1026;  // "...": the Select Receiver dialog
inline constexpr int IDC_HISTORY_NEXT = 1033;
inline constexpr int IDC_HISTORY_PREV = 1034;
inline constexpr int IDC_HISTORY_DELETE = 1035;
inline constexpr int IDC_QUICK_OK = 1036;
inline constexpr int IDC_QUICK_THANKS = 1037;
inline constexpr int IDC_QUICK_YES = 1038;
inline constexpr int IDC_QUICK_NO = 1039;

// About box, dialog 100.
inline constexpr int IDC_HOMEPAGE = 1007;
inline constexpr int IDC_EMAIL = 1008;
inline constexpr int IDC_ABOUT_VERSION = 1009;

// Select Receiver, dialog 137; User Info, dialog 140 (shared: 1027, 1028).
inline constexpr int IDC_RECEIVER_TREE = 1025;
inline constexpr int IDC_REFRESH = 1027;
inline constexpr int IDC_SEARCH_ANIMATION = 1028;
inline constexpr int IDC_SELECT_ALL = 1029;
inline constexpr int IDC_USER_INFO_OK = 1030;
inline constexpr int IDC_GRID_PLACE = 1031;  // placeholder the grid takes over

// Black List, dialog 141: the title line and the four check boxes (1006 + bit).
inline constexpr int IDC_BLACK_LIST_TITLE = 1005;
inline constexpr int IDC_NO_RESPOND_P2P = 1006;
inline constexpr int IDC_NO_RESPOND_BC = 1007;
inline constexpr int IDC_NO_POPUP_P2P = 1008;
inline constexpr int IDC_NO_POPUP_BC = 1009;

// Commands of menu 130 and tool bar 133.
inline constexpr int ID_MESSAGE_SEND = 32771;
inline constexpr int ID_MESSAGE_DELETE = 32772;
inline constexpr int ID_MESSAGE_PREVIOUS = 32773;
inline constexpr int ID_MESSAGE_NEXT = 32774;
inline constexpr int ID_HELP_ABOUT = 32776;
inline constexpr int ID_MESSAGE_DELETE_ALL = 32783;
inline constexpr int ID_OPTION_AUTO_START = 32785;
inline constexpr int ID_OPTION_AUTO_POPUP = 32786;
inline constexpr int ID_OPTION_AUTO_BEEP = 32787;
inline constexpr int ID_MESSAGE_RESPONSE = 32788;
inline constexpr int ID_OPTION_USER_INFO = 32793;
inline constexpr int ID_MESSAGE_EXIT = IDOK;  // "Exit" of menu 130 is the OK command

// Commands of the notification-area menu 136.
inline constexpr int ID_TRAY_SHOW = 32790;
inline constexpr int ID_TRAY_EXIT = 32791;
inline constexpr int ID_TRAY_ABOUT = 32792;

}  // namespace vantrel::res
