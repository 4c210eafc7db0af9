#pragma once
// The base of the fixtures that run the application object on fakes: the
// registry, the system, the boxes and the code page, a tray owner and a quit
// flag of the test's own, and a single-instance name no other test uses.

#include <gtest/gtest.h>

#include <QString>
#include <QUuid>

#include "app/qt/MessengerApp.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/IconvCodePage.h"
#include "res/Resources.h"

namespace vantrel::widgettest {

class AppTest : public ::testing::Test {
 protected:
  // namePrefix begins the single-instance name; a fresh id follows it.
  explicit AppTest(const char* namePrefix)
      : name(QStringLiteral("%1-%2").arg(QLatin1String(namePrefix),
                                         QUuid::createUuid().toString(QUuid::Id128))) {}

  void SetUp() override { res::InitResources(); }

  // The services on these fakes, with a tray to show the icon in and every
  // datagram sent; the mailslot and the rest are each test's own.
  app::AppServices Services() {
    app::AppServices s;
    s.registry = &reg;
    s.system = &system;
    s.messageBox = &boxes;
    s.codePage = &codePage;
    s.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 1; };
    s.instanceName = name;
    s.trayAvailable = [] { return true; };
    s.trayOwner = &trayOwner;
    s.quit = &quit;
    return s;
  }

  fakes::FakeRegistry reg;
  fakes::FakeSystemInfo system;
  fakes::RecordingMessageBox boxes;
  linux::IconvCodePage codePage;
  ui::TrayOwner trayOwner;
  ui::QuitFlag quit;
  QString name;
};

}  // namespace vantrel::widgettest
