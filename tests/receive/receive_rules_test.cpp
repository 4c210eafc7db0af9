#include "receive/ReceiveRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

using C = ReceiveCommand;

TEST(ReceiveRulesTest, EmptyStoreDisablesBrowsingButNotSendOrResponse) {
  ReceiveCommandState s;
  for (C id : {C::kDelete, C::kDeleteAll, C::kPrevious, C::kNext})
    EXPECT_FALSE(IsReceiveCommandEnabled(id, s)) << static_cast<int>(id);
  for (C id : {C::kSend, C::kResponse, C::kExit, C::kAbout, C::kAutoStart, C::kAutoPopup,
               C::kAutoBeep, C::kTrayShow, C::kTrayAbout, C::kTrayExit})
    EXPECT_TRUE(IsReceiveCommandEnabled(id, s)) << static_cast<int>(id);
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
    EXPECT_EQ(IsReceiveCommandEnabled(C::kPrevious, s), r.previous) << r.current;
    EXPECT_EQ(IsReceiveCommandEnabled(C::kNext, s), r.next) << r.current;
    EXPECT_TRUE(IsReceiveCommandEnabled(C::kDelete, s));
    EXPECT_TRUE(IsReceiveCommandEnabled(C::kDeleteAll, s));
  }
  s.total = 1;
  s.current = 1;
  EXPECT_FALSE(IsReceiveCommandEnabled(C::kPrevious, s));
  EXPECT_FALSE(IsReceiveCommandEnabled(C::kNext, s));
}

TEST(ReceiveRulesTest, CommandsWithoutHandlerAreDisabled) {
  ReceiveCommandState s;
  EXPECT_FALSE(IsReceiveCommandEnabled(C::kUserInfo, s));  // no dialog yet
  s.userInfoAvailable = true;
  EXPECT_TRUE(IsReceiveCommandEnabled(C::kUserInfo, s));
}

TEST(ReceiveRulesTest, CheckMarksShowTheFlags) {
  ReceiveCommandState s;
  s.autoStart = true;
  s.autoBeep = true;
  EXPECT_TRUE(IsReceiveCommandChecked(C::kAutoStart, s));
  EXPECT_FALSE(IsReceiveCommandChecked(C::kAutoPopup, s));
  EXPECT_TRUE(IsReceiveCommandChecked(C::kAutoBeep, s));
  EXPECT_FALSE(IsReceiveCommandChecked(C::kSend, s));
  EXPECT_TRUE(IsReceiveCommandCheckable(C::kAutoPopup));
  EXPECT_FALSE(IsReceiveCommandCheckable(C::kDelete));
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
}  // namespace vantrel
