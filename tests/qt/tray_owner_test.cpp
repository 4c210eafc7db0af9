#include "ui/TrayOwner.h"

#include <gtest/gtest.h>

namespace vantrel::ui {
namespace {

TEST(TrayOwnerTest, FirstWindowOwnsTheIconForTheWholeProcess) {
  TrayOwner owner;
  int receive = 0, send = 0;
  EXPECT_TRUE(owner.Add(&receive));
  EXPECT_FALSE(owner.Add(&send));     // the Send dialog gets no icon of its own
  EXPECT_FALSE(owner.Remove(&send));  // and removing it removes nothing
  EXPECT_TRUE(owner.IsOwner(&receive));
  EXPECT_TRUE(owner.Remove(&receive));
  // Removing the icon does not give up the ownership.
  EXPECT_EQ(owner.owner(), &receive);
  EXPECT_FALSE(owner.Add(&send));
  EXPECT_FALSE(owner.Add(nullptr));
  EXPECT_FALSE(owner.IsOwner(nullptr));
}

TEST(TrayOwnerTest, NullWindowNeverBecomesOwner) {
  TrayOwner owner;
  EXPECT_FALSE(owner.Add(nullptr));
  int w = 0;
  EXPECT_TRUE(owner.Add(&w));
}

TEST(TrayOwnerTest, NotifyIsHandledOnlyForTheOwnerAndOurIcon) {
  TrayOwner owner;
  int receive = 0, send = 0;
  owner.Add(&receive);
  EXPECT_EQ(DecideTrayNotify(owner, &receive, kTrayIconId, TrayMouseEvent::kLeftButtonDown),
            TrayAction::kShowWindow);
  EXPECT_EQ(DecideTrayNotify(owner, &receive, kTrayIconId, TrayMouseEvent::kRightButtonUp),
            TrayAction::kOpenMenu);
  EXPECT_EQ(DecideTrayNotify(owner, &receive, kTrayIconId, TrayMouseEvent::kOther),
            TrayAction::kNone);
  EXPECT_EQ(DecideTrayNotify(owner, &send, kTrayIconId, TrayMouseEvent::kLeftButtonDown),
            TrayAction::kNotHandled);
  EXPECT_EQ(DecideTrayNotify(owner, &receive, 137, TrayMouseEvent::kLeftButtonDown),
            TrayAction::kNotHandled);
  TrayOwner none;
  EXPECT_EQ(DecideTrayNotify(none, &receive, kTrayIconId, TrayMouseEvent::kRightButtonUp),
            TrayAction::kNotHandled);
}

}  // namespace
}  // namespace vantrel::ui
