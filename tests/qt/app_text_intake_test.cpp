// The application object hands pop-up texts from the session listener (any
// thread) to the receive window on the user-interface thread, only while it
// receives, and stops the intake before the window goes.

#include <gtest/gtest.h>

#include <QApplication>
#include <thread>

#include "app/qt/MessengerApp.h"
#include "qt/AppTest.h"
#include "transport/MessageSession.h"

namespace vantrel::app {
namespace {

class TextIntakeTest : public widgettest::AppTest {
 protected:
  TextIntakeTest() : AppTest("TessivaneIntakeTest") {}
  void SetUp() override {
    AppTest::SetUp();
    system.computerName = "CAROL";
  }

  AppServices Services() {
    AppServices s = AppTest::Services();
    s.openMessageSlot = [this] { return slotResult; };
    s.slotHeld = [this] { return slotResult == SlotOpenResult::kOpened; };
    s.readMessageSlot = [](std::vector<MessageRecord>&, int) { return 1; };
    s.startTextIntake = [this](std::function<void(std::string)> d) {
      ++starts;
      deliver = std::move(d);
    };
    s.stopTextIntake = [this] { stops.push_back(windowAtStop()); };
    return s;
  }

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
