#pragma once
// Shots of the receive window for vantrel_shots: with three messages, empty,
// with its Message and Option menus open, the notification-area icon with its
// menu, a tool-bar tip, and the start-up boxes of the sender-only mode.
//
// Each window gets a world of its own (an in-memory settings hive, fixed
// system information, its own icon owner); nothing goes to the network.
//
// Entries for Shots() in shots_main.cpp:
//   {"receive-window", shots::ReceiveWindow},
//   {"receive-empty", shots::ReceiveEmpty},
//   {"receive-menu-message", shots::ReceiveMessageMenu},
//   {"receive-menu-option", shots::ReceiveOptionMenu},
//   {"receive-tooltip", shots::ReceiveToolTip},
//   {"receive-tray-menu", shots::ReceiveTrayMenu},
//   {"box-no-permission", shots::NoPermissionBox, {90, 140}},
//   {"box-another-receiver", shots::AnotherReceiverBox, {90, 140}},

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <memory>
#include <string>
#include <vector>

#include "app/OperatingMode.h"
#include "platform/linux/IconvCodePage.h"
#include "platform/linux/SqliteRegistry.h"
#include "receive/qt/ReceiveDlg.h"
#include "res/ResourceIds.h"
#include "transport/Datagram.h"
#include "ui/DialogBuilder.h"
#include "ui/QuitFlag.h"
#include "ui/TrayIcon.h"
#include "ui/TrayOwner.h"

namespace vantrel::shots {

// The computer BOB on a Western system, at a fixed time.
class ShotSystemInfo : public ISystemInfo {
 public:
  std::string ComputerName() override { return "BOB"; }
  uint32_t PlatformId() override { return VER_PLATFORM_WIN32_WINDOWS; }
  uint16_t DefaultLanguageId() override { return 1033; }
  uint32_t AnsiCodePage() override { return 1252; }
  std::string LocalTimeText() override { return "2003-10-20 09:05:07"; }
  std::string ModuleFileName() override { return "/usr/local/bin/Vantrel"; }
  uint32_t RunCommand(std::string_view) override { return 33; }
  void Beep() override {}
};

struct ReceiveWorld {
  std::unique_ptr<SqliteRegistry> reg = SqliteRegistry::CreateTemporary();
  ShotSystemInfo system;
  linux::IconvCodePage codePage;
  ui::TrayOwner trayOwner;
  ui::QuitFlag quit;
  NoHookLibrary hook;
  std::vector<MessageRecord> arriving;
};

inline MessageRecord ShotMessage(const char* sender, const char* receiver, const char* text,
                                 const char* time) {
  return MessageRecord::FromDatagram(BuildMessengerDatagram(sender, receiver, text), time);
}

// A receive window as start-up makes it, holding the given messages.
inline CReceiveDlg* NewReceiveDlg(std::vector<MessageRecord> messages, bool withTray = false) {
  auto world = std::make_shared<ReceiveWorld>();
  if (!withTray) {
    static const int someoneElse = 0;
    world->trayOwner.Add(&someoneElse);
  }
  ReceiveContext c;
  c.registry = world->reg.get();
  c.system = &world->system;
  c.codePage = &world->codePage;
  c.isPopupCaptureMode = [] { return 0; };
  ReceiveWorld* w = world.get();
  c.readMessageSlot = [w](std::vector<MessageRecord>& list, int) {
    for (auto& r : w->arriving) list.push_back(std::move(r));
    w->arriving.clear();
    return 1;
  };
  c.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 1; };
  c.hook = &world->hook;
  c.trayOwner = &world->trayOwner;
  c.quit = &world->quit;
  auto* dlg = new CReceiveDlg(std::move(c));
  // The world outlives the window: the window saves into it while it goes.
  QObject::connect(dlg, &QObject::destroyed, [world] {});
  dlg->Create();
  world->arriving = std::move(messages);
  dlg->OnPoll();
  return dlg;
}

inline std::vector<MessageRecord> ThreeMessages() {
  std::vector<MessageRecord> m;
  m.push_back(ShotMessage("ALICE", "BOB", "Lunch at twelve in the small meeting room?",
                          "2003-10-20 08:58:41"));
  // Code page 1252: "Grüße aus dem Labor ..." with a line break.
  m.push_back(ShotMessage("J\xDCRGEN", "BOB",
                          "Gr\xFC\xDF"
                          "e aus dem Labor!\r\nThe nightly build is green again; "
                          "the second switch goes into rack 4.",
                          "2003-10-20 09:01:13"));
  m.push_back(ShotMessage("~CARL", "BOB", "I've got your message on 2003-10-20 09:04:55.",
                          "2003-10-20 09:05:07"));
  return m;
}

// Three messages, the middle one on show.
inline QWidget* ReceiveWindow() {
  CReceiveDlg* dlg = NewReceiveDlg(ThreeMessages());
  dlg->OnCommand(res::ID_MESSAGE_PREVIOUS);
  return dlg;
}

inline QWidget* ReceiveEmpty() { return NewReceiveDlg({}); }

// The window with one drop-down of its menu bar open (in the screen picture).
inline QWidget* ReceiveWithMenu(int index) {
  CReceiveDlg* dlg = NewReceiveDlg(ThreeMessages());
  QTimer::singleShot(150, dlg, [dlg, index] {
    const QList<QAction*> tops = dlg->menuBar()->actions();
    if (index < tops.size()) dlg->menuBar()->setActiveAction(tops[index]);
  });
  return dlg;
}

inline QWidget* ReceiveMessageMenu() { return ReceiveWithMenu(0); }
inline QWidget* ReceiveOptionMenu() { return ReceiveWithMenu(1); }

// The tip of the tool bar's Delete button (in the screen picture).
inline QWidget* ReceiveToolTip() {
  CReceiveDlg* dlg = NewReceiveDlg(ThreeMessages());
  QTimer::singleShot(150, dlg, [dlg] {
    QToolBar* bar = dlg->toolBar();
    QAction* first = bar->actions().value(0);
    if (!first) return;
    QWidget* button = bar->widgetForAction(first);
    const QPoint at = button->mapToGlobal(QPoint(button->width() / 2, button->height()));
    QToolTip::showText(at, first->toolTip(), button);
  });
  QObject::connect(dlg, &QObject::destroyed, [] { QToolTip::hideText(); });
  return dlg;
}

// The receive window owning the icon, with the icon's menu opened as a right
// click opens it (in the screen picture, next to the icon in the tray host).
inline QWidget* ReceiveTrayMenu() {
  CReceiveDlg* dlg = NewReceiveDlg(ThreeMessages(), /*withTray=*/true);
  QTimer::singleShot(150, dlg, [dlg] {
    if (ui::TrayIcon* tray = dlg->trayIcon())
      tray->OnTrayNotify(ui::kTrayIconId, ui::TrayMouseEvent::kRightButtonUp, QPoint(880, 450));
  });
  return dlg;
}

// The start-up boxes of the sender-only mode, opened without a modal loop.
inline QWidget* StartupBox(const std::string& text) {
  return new QMessageBox(QMessageBox::Warning, QStringLiteral("Tessivane"),
                         QString::fromStdString(text), QMessageBox::Ok);
}

inline QWidget* NoPermissionBox() {
  return StartupBox(app::NoPermissionText("/usr/local/bin/Vantrel"));
}

inline QWidget* AnotherReceiverBox() { return StartupBox(std::string(app::kAnotherReceiverText)); }

}  // namespace vantrel::shots
