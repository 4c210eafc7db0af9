#include <gtest/gtest.h>

#include <cstdint>

#include <algorithm>
#include <string>
#include <vector>

#include "directory/AddressBook.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "receive/ArrivalProcessor.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

constexpr std::string_view kTime = "2003-10-20 09:05:07";

MessageRecord Msg(std::string_view sender, std::string_view receiver, std::string_view text = "hi",
                  std::string_view time = kTime) {
  return MessageRecord::FromDatagram(BuildMessengerDatagram(sender, receiver, text), time);
}

struct Sent {
  std::string sender, receiver, text;
  bool operator==(const Sent&) const = default;
};

// Records what ProcessArrivals asks of the window and of the network, in one
// ordered log.
class ArrivalTest : public ::testing::Test, public IArrivalView {
 protected:
  fakes::FakeRegistry reg;
  Profile profile{reg};
  fakes::FakeSystemInfo sys;
  MessageStore store;
  std::vector<std::string> log;
  std::vector<Sent> sent;
  int sendResult = 1;
  ArrivalFlags flags;
  bool captureMode = false;

  void RefreshMessageView() override {
    log.push_back("view:" + store.RefreshMessageView().firstHeaderLine);
  }
  void RefreshCounters() override { log.push_back("counters:" + store.RefreshCounters().current); }
  void ShowAndActivate() override { log.push_back("show"); }

  void SetUp() override { sys.computerName = "BOB"; }

  // What the window does for one batch: remember, append, process.
  ArrivalResult Arrive(std::vector<MessageRecord> batch) {
    uint32_t position = store.current(), total = store.total();
    store.Append(std::move(batch));
    ArrivalProcessor p(
        profile, sys,
        [this](std::string_view s, std::string_view r, std::string_view t) {
          sent.push_back(Sent{std::string(s), std::string(r), std::string(t)});
          log.push_back("send:" + std::string(r));
          return sendResult;
        },
        *this, captureMode);
    return p.ProcessArrivals(store, position, total, flags);
  }
  ArrivalResult Arrive(MessageRecord one) {
    std::vector<MessageRecord> batch;
    batch.push_back(std::move(one));
    return Arrive(std::move(batch));
  }

  void BlackList(std::string_view computer, int mask) {
    ASSERT_TRUE(profile.WriteString(kBlackListSection, computer, std::to_string(mask)));
  }
  void Alias(std::string_view alias, std::string_view computer) {
    ASSERT_TRUE(profile.WriteString(kAlias1Section, alias, computer));
  }
};

TEST_F(ArrivalTest, NewestBecomesCurrentAndIsShownBeforeAnythingElse) {
  flags = {true, true, true};
  store.Append(Msg("OLD", "BOB"));
  store.ShowNewest();
  store.Previous();
  ArrivalResult r = Arrive(Msg("ALICE", "BOB", "new"));
  EXPECT_EQ(r.newMessages, 1u);
  EXPECT_EQ(store.total(), 2u);
  EXPECT_EQ(store.current(), 2u);
  EXPECT_EQ(store.RefreshMessageView().text, "new");
  EXPECT_EQ(log, (std::vector<std::string>{"view:From ALICE to BOB", "counters:Current: 2", "show",
                                           "send:ALICE"}));
  EXPECT_EQ(sys.beeps, 1);
}

TEST_F(ArrivalTest, EmptyBatchAndPureRepeatsDoNothing) {
  flags = {true, true, true};
  EXPECT_EQ(Arrive(std::vector<MessageRecord>{}).newMessages, 0u);
  Arrive(Msg("ALICE", "BOB", "x"));
  log.clear();
  sent.clear();
  sys.beeps = 0;

  // Byte for byte equal, time included: removed at once.
  ArrivalResult r = Arrive(Msg("ALICE", "BOB", "x"));
  EXPECT_EQ(r.duplicatesRemoved, 1u);
  EXPECT_EQ(r.newMessages, 0u);
  EXPECT_EQ(store.RecordCount(), 1u);
  EXPECT_EQ(store.total(), 1u);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(sys.beeps, 0);

  // Same datagram in another second is a new message.
  r = Arrive(Msg("ALICE", "BOB", "x", "2003-10-20 09:05:08"));
  EXPECT_EQ(r.newMessages, 1u);
  EXPECT_EQ(store.total(), 2u);
}

TEST_F(ArrivalTest, DuplicatesInsideABatchKeepTheEarliest) {
  store.Append(Msg("OLD", "BOB", "o"));
  store.ShowNewest();
  std::vector<MessageRecord> batch;
  batch.push_back(Msg("A", "BOB", "1"));
  batch.push_back(Msg("B", "BOB", "2"));
  batch.push_back(Msg("A", "BOB", "1"));
  batch.push_back(Msg("OLD", "BOB", "o"));
  batch.push_back(Msg("B", "BOB", "2"));
  batch.push_back(Msg("C", "BOB", "3"));
  ArrivalResult r = Arrive(std::move(batch));
  EXPECT_EQ(r.duplicatesRemoved, 3u);
  ASSERT_EQ(store.RecordCount(), 4u);
  std::string senders;
  for (size_t i = 0; i < store.RecordCount(); ++i) senders += store.Record(i).Fields().sender;
  EXPECT_EQ(senders, "OLDABC");
  EXPECT_EQ(store.current(), 4u);
}

TEST_F(ArrivalTest, PopupUnlessTheBlackListForbidsItForEveryNewMessage) {
  flags.autoPopup = true;
  BlackList("PC12", 12);
  // Masks 12, 12 and 0: the sender without an entry decides, wherever it is.
  for (int place = 0; place < 3; ++place) {
    std::vector<MessageRecord> batch;
    for (int i = 0; i < 3; ++i)
      batch.push_back(Msg(i == place ? "FREE" : "PC12", "BOB", std::to_string(place * 3 + i)));
    log.clear();
    EXPECT_TRUE(Arrive(std::move(batch)).poppedUp) << place;
    EXPECT_EQ(std::count(log.begin(), log.end(), "show"), 1) << "one pop-up per batch";
  }
  std::vector<MessageRecord> batch;
  for (int i = 0; i < 3; ++i)
    batch.push_back(Msg("PC12", i == 1 ? "WORKGROUP" : "BOB", "b" + std::to_string(i)));
  log.clear();
  EXPECT_FALSE(Arrive(std::move(batch)).poppedUp);
  EXPECT_EQ(std::count(log.begin(), log.end(), "show"), 0);

  flags.autoPopup = false;
  EXPECT_FALSE(Arrive(Msg("FREE", "BOB", "off")).poppedUp);
}

TEST_F(ArrivalTest, PopupBitsSeparatePersonToPersonFromBroadcast) {
  flags.autoPopup = true;
  BlackList("PC8", 8);
  BlackList("PC4", 4);
  EXPECT_FALSE(Arrive(Msg("PC8", "WORKGROUP", "1")).poppedUp);
  EXPECT_TRUE(Arrive(Msg("PC8", "bob", "2")).poppedUp);  // receiver compared without case
  EXPECT_TRUE(Arrive(Msg("PC4", "WORKGROUP", "3")).poppedUp);
  EXPECT_FALSE(Arrive(Msg("PC4", "BOB", "4")).poppedUp);
  // A mask with neither pop-up bit still pops up.
  BlackList("PC3", 3);
  EXPECT_TRUE(Arrive(Msg("PC3", "BOB", "5")).poppedUp);
  EXPECT_TRUE(Arrive(Msg("PC3", "WORKGROUP", "6")).poppedUp);
}

TEST_F(ArrivalTest, PopupTranslatesSenderAndReceiverThroughAliases) {
  flags.autoPopup = true;
  Alias("me", "BOB");          // an alias of this computer
  Alias("carol", "PC-CAROL");  // an alias of a black-listed sender
  BlackList("PC-CAROL", 4);
  // Through the receiver alias the message counts as person-to-person.
  EXPECT_FALSE(Arrive(Msg("carol", "ME", "1")).poppedUp);
  EXPECT_TRUE(Arrive(Msg("carol", "WORKGROUP", "2")).poppedUp);
  // The automatic mark is dropped before the lookup: ~carol is judged as PC-CAROL.
  EXPECT_FALSE(Arrive(Msg("~carol", "BOB", "3")).poppedUp);
  EXPECT_TRUE(Arrive(Msg("~OTHER", "BOB", "4")).poppedUp);
}

TEST_F(ArrivalTest, BeepOncePerBatchOnlyInMailslotMode) {
  flags.autoBeep = true;
  flags.autoPopup = true;
  BlackList("PC12", 12);
  std::vector<MessageRecord> batch;
  batch.push_back(Msg("PC12", "BOB", "1"));
  batch.push_back(Msg("PC12", "BOB", "2"));
  ArrivalResult r = Arrive(std::move(batch));
  EXPECT_FALSE(r.poppedUp);
  EXPECT_TRUE(r.beeped);  // whatever the black list says
  EXPECT_EQ(sys.beeps, 1);

  flags.autoBeep = false;
  Arrive(Msg("A", "BOB", "3"));
  EXPECT_EQ(sys.beeps, 1);

  flags.autoBeep = true;
  captureMode = true;
  EXPECT_FALSE(Arrive(Msg("A", "BOB", "4")).beeped);
  EXPECT_EQ(sys.beeps, 1);
}

TEST_F(ArrivalTest, AutomaticAnswerTextSenderAndReceiver) {
  flags.autoRespond = true;
  Arrive(Msg("PC1", "BOB", "hello", "2003-10-20 09:05:07"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Sent{"~BOB", "PC1", "I've got your message on 2003-10-20 09:05:07."}));
  EXPECT_EQ(sent[0].text.size(), 45u);

  // The answer goes to the computer that the alias stands for.
  Alias("PC2", "PC-TWO");
  Arrive(Msg("pc2", "BOB", "hello"));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].receiver, "PC-TWO");

  // A pop-up record's time is answered the same way.
  Arrive(MessageRecord::FromFields("2003-10-21 11:00:00", "CAROL", "BOB", "popup"));
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].text, "I've got your message on 2003-10-21 11:00:00.");

  flags.autoRespond = false;
  Arrive(Msg("PC1", "BOB", "no answer"));
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(ArrivalTest, AnswersGoNewestFirstSkipAutomaticAndSurviveFailures) {
  flags = {true, false, true};
  sendResult = 0;  // every send fails: the rest still go out
  std::vector<MessageRecord> batch;
  batch.push_back(Msg("FIRST", "BOB", "1", "2003-10-20 09:00:01"));
  batch.push_back(Msg("~PC1", "BOB", "auto"));
  batch.push_back(Msg("SECOND", "BOB", "2", "2003-10-20 09:00:02"));
  ArrivalResult r = Arrive(std::move(batch));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].receiver, "SECOND");
  EXPECT_EQ(sent[1].receiver, "FIRST");
  EXPECT_EQ(r.answersAttempted, 2u);
  EXPECT_EQ(r.answersSent, 0u);
  // The automatic message was stored and popped the window up all the same.
  EXPECT_EQ(store.RecordCount(), 3u);
  EXPECT_TRUE(r.poppedUp);
}

TEST_F(ArrivalTest, AnswerBitsJudgeTheReceiverAsStored) {
  flags.autoRespond = true;
  Alias("me", "BOB");
  BlackList("PC1", 1);  // no answer to person-to-person
  BlackList("PC2", 2);  // no answer to broadcast
  Arrive(Msg("PC1", "bob", "1"));
  Arrive(Msg("PC2", "WORKGROUP", "2"));
  EXPECT_TRUE(sent.empty());
  Arrive(Msg("PC1", "WORKGROUP", "3"));
  Arrive(Msg("PC2", "BOB", "4"));
  // Addressed to an alias of this computer: broadcast for the answer.
  Arrive(Msg("PC1", "ME", "5"));
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].receiver, "PC1");
  EXPECT_EQ(sent[1].receiver, "PC2");
  EXPECT_EQ(sent[2].receiver, "PC1");
  // The mask is that of the translated sender.
  Alias("third", "PC2");
  Arrive(Msg("THIRD", "WORKGROUP", "6"));
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(ArrivalTest, StaleCallerTotalNeverLeavesThePositionOutsideTheList) {
  store.Append(Msg("A", "BOB", "1"));
  store.ShowNewest();
  ArrivalProcessor p(profile, sys, nullptr, *this, false);
  // A previous total beyond the list: nothing is new, nothing is sent.
  ArrivalResult r = p.ProcessArrivals(store, 5, 5, flags);
  EXPECT_EQ(r.newMessages, 0u);
  EXPECT_EQ(store.total(), 1u);
  EXPECT_EQ(store.current(), 1u);
  // The store keeps the position inside the list whatever it is told.
  store.MoveTo(3);
  EXPECT_EQ(store.current(), 1u);
  p.ProcessArrivals(store, 3, 1, flags);
  EXPECT_EQ(store.total(), 1u);
  EXPECT_EQ(store.current(), 1u);
}

TEST_F(ArrivalTest, AFloodBeyondTheLimitsKeepsTheNewestAndAnswersOnlyWhatStays) {
  flags.autoRespond = true;
  store.SetLimits({3, SIZE_MAX});
  Arrive(Msg("OLD", "BOB", "o"));
  sent.clear();
  std::vector<MessageRecord> flood;
  for (int i = 1; i <= 5; ++i) flood.push_back(Msg("F" + std::to_string(i), "BOB", "x"));
  ArrivalResult r = Arrive(std::move(flood));
  EXPECT_EQ(r.newMessages, 5u);
  EXPECT_EQ(r.droppedOverLimits, 3u);  // OLD, F1, F2
  EXPECT_EQ(store.RecordCount(), 3u);
  EXPECT_EQ(store.total(), 3u);
  EXPECT_EQ(store.current(), 3u);
  EXPECT_EQ(store.RefreshMessageView().firstHeaderLine, "From F5 to BOB");
  // Answers go to the new messages that stayed, newest first.
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].receiver, "F5");
  EXPECT_EQ(sent[2].receiver, "F3");
}

}  // namespace
}  // namespace vantrel
