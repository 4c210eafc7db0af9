// vantrel_shots: shows the program's windows one after another and writes a
// picture of each, for looking at layout, fonts and artwork by eye.
//
//   vantrel_shots OUTDIR [--import] [NAME...]
//
// Every shot is grabbed with QWidget::grab() into OUTDIR/NAME.png. With
// --import (on a real X display) the whole screen is also taken with
// ImageMagick's `import -window root` into OUTDIR/NAME-screen.png, which shows
// pop-up menus and the notification area as well. scripts/screenshots.sh runs
// this on a virtual display.
//
// To add a shot, append an entry to Shots(): a name and a function that makes
// the widget (shown by the driver), sets it up and returns it; the driver
// deletes it after the picture.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "CaptureShots.h"
#include "ReceiveShots.h"
#include "SelectReceiverShots.h"
#include "SendShots.h"
#include "UserInfoShots.h"
#include "res/Dialogs.h"
#include "res/Menus.h"
#include "res/Resources.h"
#include "ui/AboutDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/HyperlinkLabel.h"

namespace vantrel {
namespace {

struct Shot {
  const char* name;
  std::function<QWidget*()> make;
  QPoint at = {40, 40};
};

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
}

void SetLabel(QWidget* root, int id, const QString& text) {
  if (auto* label = ui::FindControl<QLabel>(root, id)) label->setText(text);
}

// The receive window's template with menu and tool bar, filled with a sample
// message (until the receive window has its own shot).
QWidget* ReceiveTemplate() {
  auto* dialog = new QDialog;
  const ui::BuiltDialog built = ui::BuildDialog(dialog, res::kReceiveDialog, &res::kReceiveMenu);
  QToolBar* bar = ui::BuildToolBar(res::kReceiveToolBar, built.client);
  bar->setGeometry(0, 0, built.client->width(), built.units.Y(14));
  SetLabel(dialog, res::IDC_MSG_FROM, QStringLiteral("From PC1 to BOB"));
  SetLabel(dialog, res::IDC_MSG_ON, QStringLiteral("On 2003-10-20 09:05:07"));
  SetLabel(dialog, res::IDC_CURRENT_COUNT, QStringLiteral("Current: 1"));
  SetLabel(dialog, res::IDC_TOTAL_COUNT, QStringLiteral("Total: 3"));
  if (auto* text = ui::FindControl<QPlainTextEdit>(dialog, res::IDC_MSG_TEXT)) {
    text->setPlainText(QStringLiteral(
        "Lunch at twelve in the small meeting room? Bring the printouts of the network "
        "plan, we still have to decide where the second switch goes."));
  }
  if (auto* box = ui::FindControl<QCheckBox>(dialog, res::IDC_SHOW_RESPONSE)) box->setChecked(true);
  dialog->setWindowTitle(ui::LoadStringResource(res::IDS_APP_TITLE));
  return dialog;
}

QWidget* SendTemplate() {
  auto* dialog = new QDialog;
  ui::BuildDialog(dialog, res::kSendDialog);
  if (auto* line = ui::FindControl<QLineEdit>(dialog, res::IDC_RECEIVER)) {
    line->setText(QStringLiteral("BOB ALICE"));
  }
  if (auto* text = ui::FindControl<QPlainTextEdit>(dialog, res::IDC_MESSAGE)) {
    text->setPlainText(QStringLiteral("The build is green again."));
  }
  return dialog;
}

QWidget* AboutHovered() {
  auto* box = new ui::AboutDlg;
  QTimer::singleShot(50, box, [box] {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(box->HomePageLink(), &enter);
    box->EmailLink()->SetVisited(true);
  });
  return box;
}

// The tray menu as a widget of its own (a pop-up is grabbed like any widget).
QWidget* TrayMenu() { return ui::BuildPopupMenu(res::kTrayMenu, 0, nullptr); }

// Artwork: icon 128 at each size, the tool-bar strip at 4x and 1x, the
// network images at 3x and 1x, the eight frames of the search animation.
QWidget* Artwork() {
  auto* label = new QLabel;
  QImage sheet(760, 310, QImage::Format_ARGB32);
  sheet.fill(QColor(236, 236, 236));
  QPainter painter(&sheet);
  const QIcon icon = res::LoadIconResource(res::IDI_MAINFRAME);
  int x = 10;
  for (int size : {16, 32, 48, 64, 128}) {
    painter.drawPixmap(x, 10, icon.pixmap(size, size));
    x += size + 16;
  }
  const QPixmap strip = res::LoadBitmapResource(res::IDB_TOOLBAR);
  painter.drawPixmap(QRect(10, 160, strip.width() * 4, strip.height() * 4), strip);
  painter.drawPixmap(QRect(420, 170, strip.width(), strip.height()), strip);
  const QPixmap network = res::LoadMaskedBitmapResource(res::IDB_NETWORK_IMAGES);
  painter.fillRect(QRect(530, 150, 200, 80), Qt::white);
  painter.drawPixmap(QRect(540, 160, network.width() * 3, network.height() * 3), network);
  painter.drawPixmap(QRect(540, 210, network.width(), network.height()), network);
  int fx = 10;
  for (const QPixmap& frame : res::LoadAnimationFrames(res::IDR_SEARCH_AVI)) {
    painter.drawPixmap(fx, 250, frame);
    fx += 56;
  }
  painter.end();
  label->setPixmap(QPixmap::fromImage(sheet));
  label->resize(sheet.size());
  return label;
}

// A tray icon with menu 136, for the screen grab with a tray host running.
QWidget* TrayIcon() {
  auto* owner = new QLabel(QStringLiteral("tray icon owner"));
  auto* tray = new QSystemTrayIcon(res::LoadIconResource(res::IDI_MAINFRAME), owner);
  tray->setToolTip(QStringLiteral("Vantrel"));
  tray->setContextMenu(ui::BuildPopupMenu(res::kTrayMenu, 0, owner));
  tray->show();
  std::fprintf(stderr, "tray available: %d\n", QSystemTrayIcon::isSystemTrayAvailable());
  return owner;
}

// A dialog template on its own, for dialogs whose window does not exist yet.
std::function<QWidget*()> Template(const res::DialogTemplate& tmpl) {
  return [&tmpl]() -> QWidget* {
    auto* dialog = new QDialog;
    ui::BuildDialog(dialog, tmpl);
    return dialog;
  };
}

std::vector<Shot> Shots() {
  return {
      {"about", [] { return new ui::AboutDlg; }},
      {"about-hover", AboutHovered},
      {"receive-template", ReceiveTemplate},
      {"send-template", SendTemplate},
      {"send-empty", shots::SendEmpty},
      {"send-history", shots::SendWithHistory},
      {"send-invalid-box", shots::SendInvalidBox, {90, 140}},
      {"receive-window", shots::ReceiveWindow},
      {"receive-empty", shots::ReceiveEmpty},
      {"receive-menu-message", shots::ReceiveMessageMenu},
      {"receive-menu-option", shots::ReceiveOptionMenu},
      {"receive-tooltip", shots::ReceiveToolTip},
      {"receive-tray-menu", shots::ReceiveTrayMenu},
      {"receive-captured", shots::ReceiveCaptured},
      {"box-no-permission", shots::NoPermissionBox, {90, 140}},
      {"box-another-receiver", shots::AnotherReceiverBox, {90, 140}},
      {"tray-menu", TrayMenu, {300, 200}},
      {"artwork", Artwork},
      {"tray-icon", TrayIcon, {600, 40}},
      {"select-receiver-template", Template(res::kSelectReceiverDialog)},
      {"select-receiver", shots::SelectReceiver},
      {"select-receiver-enlarged", shots::SelectReceiverEnlarged},
      {"select-receiver-multi", shots::SelectReceiverMultiSelection},
      {"select-receiver-refreshing", shots::SelectReceiverRefreshing},
      {"user-info-template", Template(res::kUserInfoDialog)},
      {"user-info", shots::UserInfo},
      {"user-info-editing", shots::UserInfoEditing},
      {"user-info-collapsed", shots::UserInfoCollapsed},
      {"user-info-black-list", shots::UserInfoBlackList},
      {"black-list-template", Template(res::kBlackListDialog)},
  };
}

int Run(const QString& outDir, bool screen, const QStringList& only) {
  QDir().mkpath(outDir);
  int written = 0;
  for (const Shot& shot : Shots()) {
    const QString name = QString::fromLatin1(shot.name);
    if (!only.isEmpty() && !only.contains(name)) continue;
    std::unique_ptr<QWidget> widget(shot.make());
    widget->move(shot.at);
    widget->show();
    widget->raise();
    widget->activateWindow();
    Settle(400);
    const QString file = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget->grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    ++written;
    if (screen) {
      const QString screenFile = outDir + QLatin1Char('/') + name + QStringLiteral("-screen.png");
      const int rc =
          QProcess::execute(QStringLiteral("import"),
                            {QStringLiteral("-window"), QStringLiteral("root"), screenFile});
      if (rc != 0) std::fprintf(stderr, "import failed for %s\n", qPrintable(name));
    }
    std::printf("%s\n", qPrintable(file));
    widget->hide();
    Settle(100);
  }
  return written > 0 ? 0 : 1;
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vantrel::res::InitResources();
  QApplication::setWindowIcon(vantrel::res::LoadIconResource(vantrel::res::IDI_MAINFRAME));
  QStringList args = QApplication::arguments().mid(1);
  if (args.isEmpty()) {
    std::fprintf(stderr, "usage: vantrel_shots OUTDIR [--import] [NAME...]\n");
    return 2;
  }
  const QString outDir = args.takeFirst();
  const bool screen = args.removeAll(QStringLiteral("--import")) > 0;
  return vantrel::Run(outDir, screen, args);
}
