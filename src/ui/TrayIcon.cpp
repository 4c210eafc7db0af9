#include "ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "res/Menus.h"
#include "ui/DialogBuilder.h"

namespace vantrel::ui {
namespace {

// The last active pop-up of window: the modal dialog in front of it, or else
// its newest visible child dialog; null when there is none.
QWidget* LastActivePopup(QWidget* window) {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    for (QWidget* w = modal->parentWidget(); w; w = w->parentWidget())
      if (w == window) return modal;
  }
  QWidget* found = nullptr;
  for (QDialog* d : window->findChildren<QDialog*>()) {
    if (d->isVisible() && d->isWindow() && d->isModal()) found = d;
  }
  return found;
}

void BringToFront(QWidget* w) {
  w->raise();
  w->activateWindow();
}

}  // namespace

void ShowAndActivate(QWidget* window) {
  if (!window) return;
  window->showNormal();
  window->update();
  QWidget* popup = LastActivePopup(window);
  BringToFront(window);
  if (window->isMinimized()) {
    window->showNormal();
    window->update();
  }
  if (popup && popup != window) BringToFront(popup);
}

TrayIcon::TrayIcon(QWidget* window, QIcon icon, ui::TrayOwner& owner,
                   std::function<bool()> trayAvailable)
    : QObject(nullptr),
      window_(window),
      icon_(std::move(icon)),
      owner_(owner),
      trayAvailable_(trayAvailable
                         ? std::move(trayAvailable)
                         : std::function<bool()>(&QSystemTrayIcon::isSystemTrayAvailable)) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::Add() {
  if (!owner_.Add(window_)) return false;
  if (trayAvailable_()) {
    ShowIcon();
    return true;
  }
  // No notification area (yet): the window is its own home. A tray host that
  // starts later (a desktop still coming up at log-on) is taken as it comes.
  otherHome_ = true;
  homeCheck_ = std::make_unique<QTimer>();
  connect(homeCheck_.get(), &QTimer::timeout, this, [this] {
    if (!trayAvailable_()) return;
    homeCheck_->stop();
    otherHome_ = false;
    ShowIcon();
  });
  homeCheck_->start(kHomeCheckMs);
  return true;
}

void TrayIcon::ShowIcon() {
  tray_ = std::make_unique<QSystemTrayIcon>(icon_);
  tray_->setToolTip(QString::fromLatin1(kToolTip));
  // Hosts that draw the menu themselves (status-notifier items) take it from
  // here; the others report the right click, and OnTrayNotify opens it.
  tray_->setContextMenu(menu());
  connect(tray_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            ui::TrayMouseEvent event = ui::TrayMouseEvent::kOther;
            if (reason == QSystemTrayIcon::Trigger) event = ui::TrayMouseEvent::kLeftButtonDown;
            if (reason == QSystemTrayIcon::Context) event = ui::TrayMouseEvent::kRightButtonUp;
            OnTrayNotify(ui::kTrayIconId, event, QCursor::pos());
          });
  tray_->show();
}

bool TrayIcon::Remove() {
  if (!owner_.Remove(window_)) return false;
  homeCheck_.reset();
  if (tray_) {
    tray_->hide();
    tray_.reset();
  }
  return true;
}

bool TrayIcon::OnTrayNotify(uint32_t iconId, ui::TrayMouseEvent event, const QPoint& cursor) {
  switch (ui::DecideTrayNotify(owner_, window_, iconId, event)) {
    case ui::TrayAction::kNotHandled:
      return false;
    case ui::TrayAction::kOpenMenu: {
      QMenu* m = menu();
      // Some hosts open the context menu themselves before they report the
      // click; it is not opened twice.
      if (!m->isVisible()) {
        m->setActiveAction(m->defaultAction());
        m->popup(cursor);
      }
      break;
    }
    case ui::TrayAction::kShowWindow:
      ShowAndActivate(window_);
      break;
    case ui::TrayAction::kNone:
      break;
  }
  return true;
}

QMenu* TrayIcon::menu() {
  if (!menu_) {
    menu_.reset(BuildPopupMenu(res::kTrayMenu, 0, nullptr));
    ConnectMenu(menu_.get());
  }
  return menu_.get();
}

QMenu* TrayIcon::NewOtherHomeMenu(QWidget* parent) {
  QMenu* m = BuildPopupMenu(res::kTrayMenu, 0, parent);
  m->setTitle(QStringLiteral("&Program"));
  ConnectMenu(m);
  return m;
}

void TrayIcon::ConnectMenu(QMenu* m) {
  connect(m, &QMenu::triggered, this, [this](QAction* action) {
    if (const int id = CommandId(action); id != 0) emit commandTriggered(id);
  });
}

}  // namespace vantrel::ui
