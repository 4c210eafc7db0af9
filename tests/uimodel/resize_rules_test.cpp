// The size rules of a dialog with a sizing frame: the minimum is the opening
// size, and each size change is passed on as the difference to the previous
// one.
#include "uimodel/ResizeRules.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel::uimodel {
namespace {

constexpr Rect kClient{0, 0, 362, 274};

TEST(ResizeTrackerTest, NothingHappensBeforeInitialization) {
  ResizeTracker tracker;
  EXPECT_FALSE(tracker.initialized());
  EXPECT_EQ(tracker.MinimumTrackingSize(), std::nullopt);
  EXPECT_EQ(tracker.OnSize(400, 300, {0, 0, 400, 300}), std::nullopt);
  tracker.Init(370, 300, kClient);
  EXPECT_EQ(tracker.MinimumTrackingSize(), (Size{370, 300}));
}

TEST(ResizeTrackerTest, HandsOnTheChangeOnceAndOnlyWhenThereIsOne) {
  ResizeTracker tracker;
  tracker.Init(370, 300, kClient);
  EXPECT_EQ(tracker.OnSize(392, 274, {0, 0, 392, 274}), (SizeDelta{30, 0}));
  EXPECT_EQ(tracker.OnSize(392, 274, {0, 0, 392, 274}), std::nullopt);  // same size again
  EXPECT_EQ(tracker.OnSize(-1, 274, {0, 0, 392, 274}), std::nullopt);   // negative: ignored
  EXPECT_EQ(tracker.OnSize(392, 254, {0, 0, 392, 254}), (SizeDelta{0, -20}));
  EXPECT_EQ(tracker.lastClient(), (Rect{0, 0, 392, 254}));
}

TEST(ResizeTrackerTest, EnlargingAndShrinkingBackRestoresEveryControl) {
  ResizeTracker tracker;
  tracker.Init(370, 300, kClient);
  const Rect button{284, 14, 348, 42};
  const Rect tree{14, 34, 268, 260};
  Rect movedButton = button;
  Rect grownTree = tree;
  const std::vector<Rect> sizes = {
      {0, 0, 500, 274}, {0, 0, 500, 400}, {0, 0, 430, 350}, {0, 0, 900, 700}, {0, 0, 362, 274}};
  for (const Rect& client : sizes) {
    if (auto d = tracker.OnSize(client.width(), client.height(), client)) {
      movedButton = MovedRect(movedButton, d->dx, 0);
      grownTree = GrownRect(grownTree, d->dx, d->dy);
    }
    EXPECT_EQ(movedButton.width(), button.width());
    EXPECT_EQ(movedButton.top, button.top);
    EXPECT_EQ(movedButton.right, button.right + client.right - kClient.right);
    EXPECT_EQ(grownTree.left, tree.left);
    EXPECT_EQ(grownTree.bottom, tree.bottom + client.bottom - kClient.bottom);
  }
  EXPECT_EQ(movedButton, button);
  EXPECT_EQ(grownTree, tree);
}

TEST(ResizeTrackerTest, AWindowWithoutSizeAtInitializationIsNotLimited) {
  ResizeTracker tracker;
  tracker.Init(0, 300, kClient);
  EXPECT_EQ(tracker.MinimumTrackingSize(), std::nullopt);
  EXPECT_TRUE(tracker.initialized());  // size changes are passed on all the same
  EXPECT_EQ(tracker.OnSize(372, 274, {0, 0, 372, 274}), (SizeDelta{10, 0}));
}

}  // namespace
}  // namespace vantrel::uimodel
