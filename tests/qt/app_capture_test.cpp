// The application object in pop-up capture mode with the real hook library:
// the receive window registers after the beep-service command, a message handed
// to its endpoint from another thread (as the capture helper hands it) reaches
// OnCopyData on the user-interface thread and is stored, and the window's end
// removes the registration.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "app/qt/MessengerApp.h"
#include "hook/linux/CaptureDir.h"
#include "hook/linux/client/CaptureHookLibrary.h"
#include "hook/linux/lib/Vantrel.h"
#include "qt/AppTest.h"

namespace vantrel::app {
namespace {

class AppCaptureTest : public widgettest::AppTest {
 protected:
  AppCaptureTest() : AppTest("TessivaneCaptureTest") {}
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    captureDir = dir.path().toStdString() + "/capture";
    ASSERT_EQ(mkdir(captureDir.c_str(), 03733), 0);
    const std::string runtime = dir.path().toStdString() + "/runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    setenv("VANTREL_CAPTURE_DIR", captureDir.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    system.platformId = VER_PLATFORM_WIN32_NT;
    system.languageId = 1033;
    system.computerName = "ALICE";
  }
  void TearDown() override {
    StopFunc();
    unsetenv("VANTREL_CAPTURE_DIR");
  }

  AppServices Services(IHookLibrary& hook) {
    AppServices s = AppTest::Services();
    s.openMessageSlot = [] { return SlotOpenResult::kHeldByOther; };  // nmbd has UDP 138
    s.slotHeld = [] { return false; };
    s.hook = &hook;
    return s;
  }

  std::optional<uint64_t> Registered() {
    std::optional<capture::CaptureDir> d = capture::CaptureDir::Open(captureDir);
    return d ? capture::ReadTarget(*d) : std::nullopt;
  }

  // As the capture helper does it, from a thread of its own.
  capture::Delivery Deliver(const std::string& sender, const std::string& body) {
    capture::Delivery result = capture::Delivery::kFailed;
    std::thread helper([&] {
      std::optional<capture::CaptureDir> d = capture::CaptureDir::Open(captureDir);
      std::optional<uint64_t> target = d ? capture::ReadTarget(*d) : std::nullopt;
      if (!target) return;
      capture::CapturedMessage m;
      m.sender = sender;
      m.receiver = "ALICE";
      m.body = body;
      result = capture::DeliverToWindow(*d, *target, m, std::chrono::milliseconds(2000));
    });
    helper.join();
    return result;
  }

  QTemporaryDir dir;
  std::string captureDir;
};

TEST_F(AppCaptureTest, CapturedMessagesReachTheReceiveWindowOnItsThread) {
  capture::CaptureHookConfig config;
  config.captureDir = captureDir;
  capture::CaptureHookLibrary hook(config);
  MessengerApp app(Services(hook));
  ASSERT_TRUE(app.InitInstance());
  ASSERT_EQ(app.mode(), OperatingMode::kPopupCapture);
  CReceiveDlg* window = app.receiveWindow();
  EXPECT_EQ(system.commands, std::vector<std::string>{"net stop  beep"});
  EXPECT_EQ(Registered(), hook.endpointId());

  EXPECT_EQ(Deliver("bobuser", "hello from bob\n"), capture::Delivery::kDelivered);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->store().total() == 1; }, 5000));
  RecordFields f = window->store().GetRecordFields(0);
  EXPECT_EQ(f.sender, "bobuser");
  EXPECT_EQ(f.receiver, "ALICE");
  EXPECT_EQ(f.text, "hello from bob");
  EXPECT_EQ(window->lastCapturedText().substr(0, 32), "Message from bobuser to ALICE on");

  EXPECT_EQ(Deliver("carol", "second"), capture::Delivery::kDelivered);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->store().total() == 2; }, 5000));
  EXPECT_EQ(window->store().GetRecordFields(1).sender, "carol");

  window->DestroyWindow();
  EXPECT_EQ(system.commands.back(), "net start  beep");
  EXPECT_FALSE(Registered());
  EXPECT_FALSE(hook.endpoint().isOpen());
  EXPECT_EQ(Deliver("late", "after the end"), capture::Delivery::kFailed);  // nobody registered
}

}  // namespace
}  // namespace vantrel::app
