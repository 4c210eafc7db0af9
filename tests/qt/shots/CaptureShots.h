#pragma once
// The receive window of ALICE in pop-up capture mode, after smbd handed it a
// message from "bobuser" (smbclient -M ALICE): the window registered with
// libVantrel.so's StartFunc, the message went to its endpoint the way the
// capture helper sends it, and the user-interface thread handed it to
// OnCopyData. The capture directory is a temporary one; nothing goes to the
// network.
//
// Entry for Shots() in shots_main.cpp:
//   {"receive-captured", shots::ReceiveCaptured},

#include <stdlib.h>
#include <sys/stat.h>

#include <QDir>
#include <QMetaObject>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "ReceiveShots.h"
#include "hook/linux/CaptureDir.h"
#include "hook/linux/client/CaptureHookLibrary.h"

namespace vantrel::shots {

// ALICE, a Western NT-family system (Samba hands it the messages).
class CaptureSystemInfo : public ShotSystemInfo {
 public:
  std::string ComputerName() override { return "ALICE"; }
  uint32_t PlatformId() override { return VER_PLATFORM_WIN32_NT; }
};

struct CaptureWorld {
  QTemporaryDir dir;
  std::unique_ptr<SqliteRegistry> reg = SqliteRegistry::CreateTemporary();
  CaptureSystemInfo system;
  linux::IconvCodePage codePage;
  ui::TrayOwner trayOwner;
  ui::QuitFlag quit;
  std::unique_ptr<capture::CaptureHookLibrary> hook;
};

inline QWidget* ReceiveCaptured() {
  auto world = std::make_shared<CaptureWorld>();
  const std::string captureDir = world->dir.path().toStdString() + "/capture";
  const std::string runtimeDir = world->dir.path().toStdString() + "/runtime";
  mkdir(captureDir.c_str(), 03733);
  mkdir(runtimeDir.c_str(), 0700);
  setenv("VANTREL_CAPTURE_DIR", captureDir.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
  capture::CaptureHookConfig config;
  config.captureDir = captureDir;
  config.greeting = {2, 1252};
  world->hook = std::make_unique<capture::CaptureHookLibrary>(config);

  static const int someoneElse = 0;
  world->trayOwner.Add(&someoneElse);
  ReceiveContext c;
  c.registry = world->reg.get();
  c.system = &world->system;
  c.codePage = &world->codePage;
  c.isPopupCaptureMode = [] { return 1; };
  c.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 1; };
  c.hook = world->hook.get();
  c.trayOwner = &world->trayOwner;
  c.quit = &world->quit;
  auto* dlg = new CReceiveDlg(std::move(c));
  // What the application object does with the texts the hook library queues.
  CaptureWorld* w = world.get();
  world->hook->SetCopyDataNotifier([dlg, w] {
    QMetaObject::invokeMethod(
        dlg,
        [dlg, w] {
          CapturedCopyData item;
          while (w->hook->TakeCopyData(item)) {
            CopyDataRecord record;
            record.cbData = static_cast<uint32_t>(item.bytes.size());
            record.lpData = item.bytes.data();
            dlg->OnCopyData(record);
          }
        },
        Qt::QueuedConnection);
  });
  QObject::connect(dlg, &QObject::destroyed, [world] { world->hook->SetCopyDataNotifier({}); });
  dlg->Create();  // capture mode: StartFunc with this window

  // smbclient -M ALICE from BOB, as the helper hands it over.
  capture::CapturedMessage message;
  message.arrivalNs = 1066640707ull * 1000000000ull;
  message.sender = "bobuser";
  message.receiver = "ALICE";
  message.body = "The build server is back up.\nLunch at twelve?\n";
  if (std::optional<capture::CaptureDir> d = capture::CaptureDir::Open(captureDir)) {
    if (std::optional<uint64_t> target = capture::ReadTarget(*d))
      capture::DeliverToWindow(*d, *target, message, std::chrono::milliseconds(2000));
  }
  return dlg;
}

}  // namespace vantrel::shots
