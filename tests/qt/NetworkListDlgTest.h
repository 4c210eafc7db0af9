#pragma once
// What the tests of the dialogs over the network list cache (Select Receiver,
// User Info) share: a fake network whose enumeration counts its calls and can
// be held on a latch, the cache and the refresh over it, the code page, and
// the dialog under test, deleted after each test.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <initializer_list>
#include <mutex>

#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SearchAnimation.h"
#include "platform/linux/IconvCodePage.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "ui/DialogBuilder.h"
#include "ui/TextCodec.h"

namespace vantrel::widgettest {

// The network as the enumeration finds it. Enumerate runs on the refresh
// thread; Hold makes it wait until Release.
class FakeNetwork {
 public:
  NetworkNameList Enumerate() {
    ++calls;
    std::unique_lock lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
    return list_;
  }
  void Set(NetworkNameList list) {
    const std::lock_guard lock(mutex_);
    list_ = std::move(list);
  }
  void Hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
    entered_ = false;
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  bool entered() {
    const std::lock_guard lock(mutex_);
    return entered_;
  }

  std::atomic<int> calls{0};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  NetworkNameList list_;
  bool held_ = false;
  bool entered_ = false;
};

inline const NetworkNameList kHomeAndLab = {"HOME", "\\\\ALICE Front desk", "\\\\BOB", "LAB",
                                            "\\\\CARL"};

template <typename Dlg>
class NetworkListDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res::InitResources();
    network.Set(kHomeAndLab);
  }
  void TearDown() override {
    network.Release();
    delete dlg.data();
  }

  // Deletes the dialog of the last opening and shows the one make makes.
  template <typename Make>
  Dlg* Show(Make make) {
    delete dlg.data();
    dlg = make();
    dlg->show();
    dlg->activateWindow();
    return dlg;
  }

  QPushButton* Button(int id) const { return ui::FindControl<QPushButton>(dlg, id); }
  void Click(int id) const { QTest::mouseClick(Button(id), Qt::LeftButton); }

  // An enumeration runs: the dialog waits for it with the busy cursor and the
  // search animation playing, the buttons named disabled, and Cancel not.
  void ExpectBusy(std::initializer_list<int> waitingButtons) const {
    EXPECT_TRUE(dlg->isRefreshing());
    EXPECT_TRUE(dlg->animation().isPlaying());
    EXPECT_EQ(dlg->cursor().shape(), Qt::BusyCursor);
    for (int id : waitingButtons) EXPECT_FALSE(Button(id)->isEnabled()) << id;
    EXPECT_TRUE(Button(res::IDCANCEL)->isEnabled());
  }

  // The search animation moves on to its third frame, and the control shows
  // another picture than at first.
  void ExpectTheAnimationMovesOn() const {
    const auto* label = ui::FindControl<QLabel>(dlg, res::IDC_SEARCH_ANIMATION);
    const qint64 firstFrame = label->pixmap().cacheKey();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->animation().frame() >= 2; }, 3000));
    EXPECT_NE(label->pixmap().cacheKey(), firstFrame);
  }

  FakeNetwork network;
  NetworkListCache cache;
  NetworkRefresh refresh{cache, [this] { return network.Enumerate(); }};
  linux::IconvCodePage codePage;
  ui::TextCodec codec{codePage, 1252};
  QPointer<Dlg> dlg;
};

}  // namespace vantrel::widgettest
