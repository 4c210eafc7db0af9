// The application object hands pop-up texts from the session listener (any
// thread) to the receive window on the user-interface thread, only while it
// receives, and stops the intake before the window goes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QUuid>
#include <thread>

#include "app/qt/MessengerApp.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/IconvCodePage.h"
#include "res/Resources.h"
#include "transport/MessageSession.h"

namespace vantrel::app {
namespace {

class TextIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res::InitResources();
    system.computerName = "CAROL";
    name = QStringLiteral("TessivaneIntakeTest-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
  }

  AppServices Services() {
    AppServices s;
    s.registry = &reg;
    s.system = &system;
    s.messageBox = &boxes;
    s.codePage = &codePage;
    s.openMessageSlot = [this] { return slotResult; };
    s.slotHeld = [this] { return slotResult == SlotOpenResult::kOpened; };
    s.readMessageSlot = [](std::vector<MessageRecord>&, int) { return 1; };
    s.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 1; };
    s.startTextIntake = [this](std::function<void(std::string)> d) {
      ++starts;
      deliver = std::move(d);
    };
    s.stopTextIntake = [this] { stops.push_back(windowAtStop()); };
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
  SlotOpenResult slotResult = SlotOpenResult::kOpened;
  int starts = 0;
  std::function<void(std::string)> deliver;
  std::function<bool()> windowAtStop = [] { return false; };
  std::vector<bool> stops;
};

TEST_F(TextIntakeTest, TextsFromAnotherThreadReachTheReceiveWindow) {
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  ASSERT_EQ(starts, 1);
  ASSERT_TRUE(deliver);
  const std::string text = ComposePopupText("BOB", "CAROL", "2024-05-01 10:00:00", "hello\r\n", 2);
  std::thread listener([&] { deliver(text); });
  listener.join();
  EXPECT_EQ(app.receiveWindow()->store().total(), 0u);  // not before the event loop runs
  QApplication::processEvents();
  ASSERT_EQ(app.receiveWindow()->store().total(), 1u);
  std::string time, sender, receiver, body;
  app.receiveWindow()->store().GetRecordFields(0, &time, &sender, &receiver, &body);
  EXPECT_EQ(sender, "BOB");
  EXPECT_EQ(receiver, "CAROL");
  EXPECT_EQ(body, "hello\r\n");
  EXPECT_EQ(time, system.timeText);  // the receive time, as for any captured pop-up
}

TEST_F(TextIntakeTest, SenderOnlyHasNoIntake) {
  slotResult = SlotOpenResult::kHeldByOther;
  MessengerApp app(Services());
  ASSERT_TRUE(app.InitInstance());
  ASSERT_EQ(app.mode(), OperatingMode::kSenderOnly);
  EXPECT_EQ(starts, 0);
}

TEST_F(TextIntakeTest, TheIntakeStopsBeforeTheWindowGoesAndLateTextsAreDropped) {
  {
    MessengerApp app(Services());
    ASSERT_TRUE(app.InitInstance());
    windowAtStop = [&app] { return app.receiveWindow() != nullptr; };
    // Exit from the icon menu destroys the window; a text already on its way
    // finds it gone and is dropped.
    quit.Set();
    app.receiveWindow()->DestroyWindow();
    deliver(ComposePopupText("BOB", "CAROL", "2024-05-01 10:00:00", "late", 2));
    QApplication::processEvents();
    // A text posted just before the application object goes is never run.
    deliver(ComposePopupText("BOB", "CAROL", "2024-05-01 10:00:00", "later", 2));
  }
  QApplication::processEvents();
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_TRUE(stops[0]);
}

}  // namespace
}  // namespace vantrel::app
