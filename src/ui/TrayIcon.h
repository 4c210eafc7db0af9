#pragma once
// The notification-area icon of the program and ShowAndActivate, the one way
// a window is brought to the front.
//
// One icon per process: a main window (the receive window, or the Send dialog
// when the program only sends) makes a TrayIcon and calls Add at its
// initialisation and Remove when it is destroyed. Only the first window that
// adds the icon owns it (ui::TrayOwner); for every other window both calls
// do nothing. The owner gets the left click as a request to show itself and
// the icon menu's commands (Show, About, Exit) through commandTriggered.
//
// Without a notification area the icon cannot be shown; the owner window then
// carries the same three commands in a menu of its own menu bar and stays on
// the task bar when minimised (usesOtherHome()). Should a notification area
// appear later, the icon moves there and usesOtherHome() turns false.

#include <QIcon>
#include <QObject>
#include <functional>
#include <memory>

#include "ui/TrayOwner.h"

class QMenu;
class QPoint;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace vantrel::ui {

// Shows window normally and brings it to the front; when a modal dialog of
// that window is open, the dialog comes to the front instead.
void ShowAndActivate(QWidget* window);

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // The tip shown over the icon.
  static constexpr char kToolTip[] = "Vantrel";
  // How often a window without a notification area looks for one.
  static constexpr int kHomeCheckMs = 3000;

  // trayAvailable answers whether the desktop has a notification area
  // (QSystemTrayIcon::isSystemTrayAvailable when not given).
  TrayIcon(QWidget* window, QIcon icon, ui::TrayOwner& owner = ui::TrayOwner::Process(),
           std::function<bool()> trayAvailable = {});
  ~TrayIcon() override;

  // AddTrayIcon: makes the window the owner and shows the icon; false (and
  // nothing happens) when some window owns the icon already.
  bool Add();
  // RemoveTrayIcon: hides the icon when the window is the owner; false
  // otherwise. The window stays the owner.
  bool Remove();

  bool isOwner() const { return owner_.IsOwner(window_); }
  // The owner window lives without a notification area.
  bool usesOtherHome() const { return isOwner() && otherHome_; }

  // OnTrayNotify: the handler of the icon's mouse events. Left button: the
  // window is shown and brought to the front. Right button: the icon menu
  // opens at cursor. False when the window is not the owner or iconId is not
  // the program's icon.
  bool OnTrayNotify(uint32_t iconId, ui::TrayMouseEvent event, const QPoint& cursor);

  // Menu 136 with "Show" as its bold default item; its actions carry the
  // command ids in their data. Made on the first use.
  QMenu* menu();
  // A new menu with the same three commands, for a menu bar (the other home).
  QMenu* NewOtherHomeMenu(QWidget* parent);

  // The icon while it is shown (null otherwise); for tests.
  QSystemTrayIcon* systemTrayIcon() const { return tray_.get(); }

 signals:
  // A command of the icon menu: 32790 Show, 32792 About, 32791 Exit.
  void commandTriggered(int id);

 private:
  void ConnectMenu(QMenu* menu);
  void ShowIcon();

  QWidget* window_;  // not owned; the icon lives as long as its window
  QIcon icon_;
  ui::TrayOwner& owner_;
  std::function<bool()> trayAvailable_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QTimer> homeCheck_;
  bool otherHome_ = false;
};

}  // namespace vantrel::ui
