#include "app/ReceiveRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::app {
namespace {

TEST(ReceiveRulesTest, EmptyStoreDisablesBrowsingButNotSendOrResponse) {
  ReceiveCommandState s;
  for (int id : {kCmdDelete, kCmdDeleteAll, kCmdPrevious, kCmdNext})
    EXPECT_FALSE(IsReceiveCommandEnabled(id, s)) << id;
  for (int id : {kCmdSend, kCmdResponse, kCmdExit, kCmdAbout, kCmdAutoStart, kCmdAutoPopup,
                 kCmdAutoBeep, kCmdTrayShow, kCmdTrayAbout, kCmdTrayExit})
    EXPECT_TRUE(IsReceiveCommandEnabled(id, s)) << id;
}

TEST(ReceiveRulesTest, PreviousAndNextFollowThePosition) {
  ReceiveCommandState s;
  s.total = 3;
  struct {
    uint32_t current;
    bool previous, next;
  } rows[] = {{1, false, true}, {2, true, true}, {3, true, false}};
  for (auto r : rows) {
    s.current = r.current;
    EXPECT_EQ(IsReceiveCommandEnabled(kCmdPrevious, s), r.previous) << r.current;
    EXPECT_EQ(IsReceiveCommandEnabled(kCmdNext, s), r.next) << r.current;
    EXPECT_TRUE(IsReceiveCommandEnabled(kCmdDelete, s));
    EXPECT_TRUE(IsReceiveCommandEnabled(kCmdDeleteAll, s));
  }
  s.total = 1;
  s.current = 1;
  EXPECT_FALSE(IsReceiveCommandEnabled(kCmdPrevious, s));
  EXPECT_FALSE(IsReceiveCommandEnabled(kCmdNext, s));
}

TEST(ReceiveRulesTest, CommandsWithoutHandlerAreDisabled) {
  ReceiveCommandState s;
  EXPECT_FALSE(IsReceiveCommandEnabled(kCmdUserInfo, s));  // no dialog yet
  s.userInfoAvailable = true;
  EXPECT_TRUE(IsReceiveCommandEnabled(kCmdUserInfo, s));
  EXPECT_FALSE(IsReceiveCommandEnabled(0, s));
  EXPECT_FALSE(IsReceiveCommandEnabled(32999, s));
}

TEST(ReceiveRulesTest, CheckMarksShowTheFlags) {
  ReceiveCommandState s;
  s.autoStart = true;
  s.autoBeep = true;
  EXPECT_TRUE(IsReceiveCommandChecked(kCmdAutoStart, s));
  EXPECT_FALSE(IsReceiveCommandChecked(kCmdAutoPopup, s));
  EXPECT_TRUE(IsReceiveCommandChecked(kCmdAutoBeep, s));
  EXPECT_FALSE(IsReceiveCommandChecked(kCmdSend, s));
  EXPECT_TRUE(IsReceiveCommandCheckable(kCmdAutoPopup));
  EXPECT_FALSE(IsReceiveCommandCheckable(kCmdDelete));
}

TEST(ReceiveRulesTest, CapturedTextIsCutAndNeverReadPastItsLength) {
  // A buffer of exactly cbData bytes with no terminator: reading one byte
  // more would leave it (ASan catches that).
  std::vector<char> big(5000, 'a');
  CopyDataRecord r{0, static_cast<uint32_t>(big.size()), big.data()};
  EXPECT_EQ(CapturedText(r).size(), kCapturedTextMax);

  std::vector<char> exact(1023, 'b');
  r = {0, 1023, exact.data()};
  EXPECT_EQ(CapturedText(r), std::string(1023, 'b'));

  const char withZero[] = {'h', 'i', '\0', 'x'};
  r = {0, 4, withZero};
  EXPECT_EQ(CapturedText(r), "hi");

  r = {0, 100, nullptr};
  EXPECT_EQ(CapturedText(r), "");
  r = {0, 0, exact.data()};
  EXPECT_EQ(CapturedText(r), "");
}

TEST(ReceiveRulesTest, LastCapturedTextComparesWithoutCase) {
  LastCapturedText last;
  EXPECT_TRUE(last.IsRepeat(""));  // empty at start
  last.Set("Message from ALICE to BOB\r\nHello");
  EXPECT_TRUE(last.IsRepeat("message from alice to bob\r\nhELLO"));
  EXPECT_FALSE(last.IsRepeat("Message from ALICE to BOB\r\nHello!"));
  last.Clear();
  EXPECT_FALSE(last.IsRepeat("Message from ALICE to BOB\r\nHello"));
  // Only ASCII letters fold; other bytes must match.
  EXPECT_FALSE(EqualsIgnoringCase("\xc4", "\xe4"));
  EXPECT_TRUE(EqualsIgnoringCase("\xc4Z", "\xc4z"));
}

}  // namespace
}  // namespace vantrel::app
