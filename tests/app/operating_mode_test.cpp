#include "app/OperatingMode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeSystem.h"

namespace vantrel::app {
namespace {

// Answers the three questions from fixed facts and records which were asked.
struct Facts {
  bool nt = false;
  SlotOpenResult slot = SlotOpenResult::kOpened;
  int language = 2;
  std::vector<std::string> asked;

  ModeQuestions Questions() {
    return {[this] {
              asked.push_back("platform");
              return nt;
            },
            [this] {
              asked.push_back("slot");
              return slot;
            },
            [this] {
              asked.push_back("language");
              return language;
            }};
  }
};

TEST(OperatingModeTest, ModeTableRowsAndTheOrderOfQuestions) {
  struct Row {
    bool nt;
    SlotOpenResult slot;
    int language;
    OperatingMode mode;
    std::string box;
    std::vector<std::string> asked;
  };
  const std::vector<std::string> all = {"platform", "slot", "language"};
  const std::vector<std::string> two = {"platform", "slot"};
  const Row rows[] = {
      {true, SlotOpenResult::kOpened, 0, OperatingMode::kMailslot, "", two},
      {true, SlotOpenResult::kHeldByOther, 1, OperatingMode::kPopupCapture, "", all},
      {true, SlotOpenResult::kHeldByOther, 2, OperatingMode::kPopupCapture, "", all},
      {true, SlotOpenResult::kHeldByOther, 0, OperatingMode::kSenderOnly,
       "Sorry, Vantrel only can recieve message in Simplified Chinese or English version "
       "Windows NT.",
       all},
      {false, SlotOpenResult::kOpened, 0, OperatingMode::kMailslot, "", two},
      {false, SlotOpenResult::kHeldByOther, 2, OperatingMode::kSenderOnly,
       "Another message reciever is running.\nSo you only can use Tessivane as sender.", two},
  };
  for (const Row& row : rows) {
    Facts facts{row.nt, row.slot, row.language, {}};
    ModeDecision d = DecideOperatingMode(facts.Questions(), "/usr/bin/Vantrel");
    SCOPED_TRACE(std::string(OperatingModeName(row.mode)) + (row.nt ? " nt" : " 9x"));
    EXPECT_EQ(d.mode, row.mode);
    EXPECT_EQ(d.box, row.box);
    EXPECT_EQ(facts.asked, row.asked);
  }
}

TEST(OperatingModeTest, MissingPermissionIsReportedAsSuchNotAsAnotherReceiver) {
  Facts facts{false, SlotOpenResult::kNoPermission, 2, {}};
  ModeDecision d = DecideOperatingMode(facts.Questions(), "/opt/tessivane/Vantrel");
  EXPECT_EQ(d.mode, OperatingMode::kSenderOnly);
  EXPECT_EQ(d.box.find("Another message reciever"), std::string::npos);
  EXPECT_NE(d.box.find("UDP 138"), std::string::npos);
  EXPECT_NE(d.box.find("setcap 'cap_net_bind_service=+ep' /opt/tessivane/Vantrel"),
            std::string::npos);
  EXPECT_NE(d.box.find("sysctl net.ipv4.ip_unprivileged_port_start=137"), std::string::npos);
  EXPECT_NE(d.box.find("only can use Tessivane as sender"), std::string::npos);

  // On NT the capture does not need the port: the language decides as before.
  Facts nt{true, SlotOpenResult::kNoPermission, 1, {}};
  EXPECT_EQ(DecideOperatingMode(nt.Questions(), "").mode, OperatingMode::kPopupCapture);
}

TEST(OperatingModeTest, LanguageIdsThroughTheNtRows) {
  // What SystemLanguageClass gives for Japanese (1041) and German (1031).
  Facts japanese{true, SlotOpenResult::kHeldByOther, 2, {}};
  EXPECT_EQ(DecideOperatingMode(japanese.Questions(), "").mode, OperatingMode::kPopupCapture);
  Facts german{true, SlotOpenResult::kHeldByOther, 0, {}};
  ModeDecision d = DecideOperatingMode(german.Questions(), "");
  EXPECT_EQ(d.mode, OperatingMode::kSenderOnly);
  EXPECT_EQ(d.box.rfind("Sorry, Vantrel only can recieve message", 0), 0u);
}

TEST(OperatingModeTest, PopupCaptureOnlyOnNtWithoutTheMailslot) {
  fakes::FakeSystemInfo sys;
  sys.platformId = VER_PLATFORM_WIN32_NT;
  EXPECT_EQ(IsPopupCaptureMode(false, sys), 1);
  EXPECT_EQ(IsPopupCaptureMode(true, sys), 0);
  sys.platformId = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_EQ(IsPopupCaptureMode(false, sys), 0);
  sys.platformId = 0;  // the version could not be read
  EXPECT_EQ(IsPopupCaptureMode(false, sys), 0);
}

}  // namespace
}  // namespace vantrel::app
