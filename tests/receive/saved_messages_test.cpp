#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeRegistry.h"
#include "receive/SavedMessages.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

MessageRecord Msg(std::string_view sender, std::string_view text,
                  std::string_view time = "2003-10-20 09:05:07") {
  return MessageRecord::FromDatagram(BuildMessengerDatagram(sender, "BOB", text), time);
}

std::vector<uint8_t> Bytes(const MessageRecord& r) { return {r.bytes().begin(), r.bytes().end()}; }

class SavedMessagesTest : public ::testing::Test {
 protected:
  fakes::FakeRegistry reg;
  const std::string path = SavedMessagesKeyPath();

  // The values of the SavedMsg key, in enumeration order, as name -> bytes.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> Values() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    RegValue v;
    for (uint32_t i = 0; reg.EnumValue(RootKey::CurrentUser, path, i, &v) == ERROR_SUCCESS; ++i)
      out.emplace_back(v.name, v.data);
    return out;
  }

  void Put(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
    ASSERT_EQ(reg.CreateKey(RootKey::CurrentUser, path), ERROR_SUCCESS);
    ASSERT_EQ(reg.SetValue(RootKey::CurrentUser, path, name, type, data), ERROR_SUCCESS);
  }

  // A fresh start: a new store filled from the registry.
  MessageStore Restart(LoadSavedResult* result = nullptr) {
    MessageStore store;
    LoadSavedResult r = LoadSavedMessages(reg, store);
    if (result) *result = r;
    store.ShowNewest();
    return store;
  }

  static std::vector<std::string> Texts(const MessageStore& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.RecordCount(); ++i) out.emplace_back(s.Record(i).Fields().text);
    return out;
  }
};

TEST_F(SavedMessagesTest, TenNewestSurviveARestartNewestShown) {
  MessageStore store;
  for (int i = 1; i <= 12; ++i) store.Append(Msg("ALICE", "m" + std::to_string(i)));
  store.ShowNewest();
  ASSERT_TRUE(SaveMessages(reg, store));

  auto values = Values();
  ASSERT_EQ(values.size(), 10u);
  for (int n = 0; n < 10; ++n) {
    EXPECT_EQ(values[static_cast<size_t>(n)].first, SavedMessageValueName(n));
    // SavedMsg0 is the newest; the value is the record byte for byte.
    EXPECT_EQ(values[static_cast<size_t>(n)].second,
              Bytes(store.Record(static_cast<size_t>(11 - n))));
  }

  LoadSavedResult r;
  MessageStore again = Restart(&r);
  EXPECT_TRUE(r.keyFound);
  EXPECT_EQ(r.loaded, 10u);
  EXPECT_EQ(r.skipped, 0u);
  EXPECT_EQ(again.RefreshCounters().current, "Current: 10");
  EXPECT_EQ(again.RefreshCounters().total, "Total: 10");
  EXPECT_EQ(again.RefreshMessageView().text, "m12");
  std::vector<std::string> expected;
  for (int i = 3; i <= 12; ++i) expected.push_back("m" + std::to_string(i));
  EXPECT_EQ(Texts(again), expected);
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(again.Record(i), store.Record(i + 2));
}

TEST_F(SavedMessagesTest, AutomaticMessagesAreNeverSavedAndDoNotTakeASlot) {
  MessageStore store;
  store.Append(Msg("PC1", "M1"));
  store.Append(Msg("~PC2", "M2"));
  store.Append(Msg("PC3", "M3"));
  // A captured pop-up record whose sender is automatic, too.
  store.Append(MessageRecord::FromFields("2003-10-20 09:05:08", "~PC4", "BOB", "M4"));
  ASSERT_TRUE(SaveMessages(reg, store));
  auto values = Values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].first, "SavedMsg0");
  EXPECT_EQ(values[0].second, Bytes(store.Record(2)));
  EXPECT_EQ(values[1].first, "SavedMsg1");
  EXPECT_EQ(values[1].second, Bytes(store.Record(0)));
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"M1", "M3"}));

  // Ten slots still go to ten non-automatic messages behind many automatic ones.
  for (int i = 0; i < 30; ++i) store.Append(Msg("~AUTO", "a" + std::to_string(i)));
  ASSERT_TRUE(SaveMessages(reg, store));
  EXPECT_EQ(Values().size(), 2u);
}

TEST_F(SavedMessagesTest, DeleteAllThenSaveLeavesAnEmptyKey) {
  MessageStore store;
  store.Append(Msg("PC1", "M1"));
  ASSERT_TRUE(SaveMessages(reg, store));
  store.DeleteAll();
  ASSERT_TRUE(SaveMessages(reg, store));
  EXPECT_EQ(reg.OpenKey(RootKey::CurrentUser, path), ERROR_SUCCESS);
  EXPECT_TRUE(Values().empty());

  LoadSavedResult r;
  MessageStore again = Restart(&r);
  EXPECT_TRUE(r.keyFound);
  EXPECT_EQ(again.RefreshMessageView().firstHeaderLine, "No message");
  EXPECT_EQ(again.RefreshCounters().current, "Current: 0");
  EXPECT_EQ(again.RefreshCounters().total, "Total: 0");
}

TEST_F(SavedMessagesTest, NoKeyLoadsNothing) {
  LoadSavedResult r;
  MessageStore store = Restart(&r);
  EXPECT_FALSE(r.keyFound);
  EXPECT_TRUE(store.empty());
}

TEST_F(SavedMessagesTest, GapsCloseAndOrderIsKept) {
  MessageStore store;
  for (int i = 1; i <= 10; ++i) store.Append(Msg("ALICE", "m" + std::to_string(i)));
  ASSERT_TRUE(SaveMessages(reg, store));
  // Deleting SavedMsg3..9 by hand leaves the three newest.
  for (int n = 3; n <= 9; ++n)
    ASSERT_EQ(reg.DeleteValue(RootKey::CurrentUser, path, SavedMessageValueName(n)), ERROR_SUCCESS);
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"m8", "m9", "m10"}));
  // A hole in the middle closes up too.
  ASSERT_EQ(reg.DeleteValue(RootKey::CurrentUser, path, "SavedMsg1"), ERROR_SUCCESS);
  MessageStore again = Restart();
  EXPECT_EQ(Texts(again), (std::vector<std::string>{"m8", "m10"}));
  EXPECT_EQ(again.current(), 2u);
}

TEST_F(SavedMessagesTest, MessagesFromDatagramsLackingZeroBytesSurviveARestart) {
  // A datagram need not carry both of its zero bytes; the receive window shows
  // what the field reader finds, and the next start must show the same.
  using namespace std::string_view_literals;
  MessageStore store;
  for (std::string_view datagram : {"ALICE\0no receiver zero"sv, "no zero byte at all"sv, ""sv}) {
    store.Append(MessageRecord::FromDatagram(
        std::span(reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size()),
        "2003-10-20 09:05:07"));
  }
  store.ShowNewest();
  std::vector<MessageViewTexts> shown;
  for (uint32_t i = 1; i <= store.total(); ++i) {
    store.MoveTo(i);
    shown.push_back(store.RefreshMessageView());
  }
  ASSERT_TRUE(SaveMessages(reg, store));

  LoadSavedResult r;
  MessageStore again = Restart(&r);
  EXPECT_EQ(r.loaded, 3u);
  EXPECT_EQ(r.skipped, 0u);
  ASSERT_EQ(again.total(), 3u);
  for (uint32_t i = 1; i <= again.total(); ++i) {
    again.MoveTo(i);
    const MessageViewTexts view = again.RefreshMessageView();
    EXPECT_EQ(view.firstHeaderLine, shown[i - 1].firstHeaderLine);
    EXPECT_EQ(view.text, shown[i - 1].text);
    EXPECT_EQ(again.Record(i - 1), store.Record(i - 1));
  }
}

TEST_F(SavedMessagesTest, BadStoredValuesAreSkippedAndCounted) {
  const MessageRecord good0 = Msg("PC1", "newest");
  const MessageRecord good9 = Msg("PC1", "oldest");
  std::vector<uint8_t> prefixTooBig = Bytes(Msg("PC2", "x"));
  prefixTooBig[0] = static_cast<uint8_t>(prefixTooBig[0] + 1);
  std::vector<uint8_t> prefixTooSmall = Bytes(Msg("PC2", "x"));
  prefixTooSmall[0] = static_cast<uint8_t>(prefixTooSmall[0] - 1);
  std::vector<uint8_t> textUnterminated = Bytes(Msg("PC2", "x"));
  textUnterminated.pop_back();  // drop the text's zero byte...
  textUnterminated[0] = static_cast<uint8_t>(textUnterminated.size());  // ...prefix agrees
  // Time runs to the end of the block: no zero byte at all behind it.
  std::vector<uint8_t> timeUnterminated = {8, 0, 0, 0, '2', '0', '0', '3'};
  std::vector<uint8_t> sizeFour = {4, 0, 0, 0};

  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    SavedValueError error;
  } cases[] = {
      {"SavedMsg1", REG_SZ, RegStringBytes("hello"), SavedValueError::kWrongType},
      {"SavedMsg2", REG_DWORD, RegDwordBytes(37), SavedValueError::kWrongType},
      {"SavedMsg3", REG_BINARY, {}, SavedValueError::kEmpty},
      {"SavedMsg4", REG_BINARY, {37, 0}, SavedValueError::kTooShort},
      {"SavedMsg5", REG_BINARY, prefixTooBig, SavedValueError::kSizeMismatch},
      {"SavedMsg6", REG_BINARY, prefixTooSmall, SavedValueError::kSizeMismatch},
      {"SavedMsg7", REG_BINARY, textUnterminated, SavedValueError::kUnterminated},
      {"SavedMsg8", REG_BINARY, timeUnterminated, SavedValueError::kUnterminated},
  };
  Put("SavedMsg0", REG_BINARY, Bytes(good0));
  for (const Case& c : cases) {
    Put(c.name, c.type, c.data);
    SavedValueError why = SavedValueError::kNone;
    EXPECT_FALSE(RecordFromSavedValue(RegValue{c.name, c.type, c.data}, &why)) << c.name;
    EXPECT_EQ(why, c.error) << c.name << ": " << SavedValueErrorText(why);
  }
  Put("SavedMsg9", REG_BINARY, Bytes(good9));
  SavedValueError why = SavedValueError::kNone;
  EXPECT_FALSE(RecordFromSavedValue(RegValue{"x", REG_BINARY, sizeFour}, &why));
  EXPECT_EQ(why, SavedValueError::kUnterminated);
  // Names beyond the ten are not read.
  Put("SavedMsg10", REG_BINARY, Bytes(Msg("PC3", "eleventh")));
  Put("Other", REG_BINARY, Bytes(Msg("PC3", "other")));

  LoadSavedResult r;
  MessageStore store = Restart(&r);
  EXPECT_EQ(r.loaded, 2u);
  EXPECT_EQ(r.skipped, 8u);
  ASSERT_EQ(store.RecordCount(), 2u);
  EXPECT_EQ(store.Record(0), good9);
  EXPECT_EQ(store.Record(1), good0);

  // Loading only reads: the bad values are still there until the next save.
  EXPECT_EQ(Values().size(), 12u);
  ASSERT_TRUE(SaveMessages(reg, store));
  auto values = Values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].second, Bytes(good0));
  EXPECT_EQ(values[1].second, Bytes(good9));
}

TEST_F(SavedMessagesTest, CapturedPopupRecordRoundTrips) {
  MessageStore store;
  store.Append(MessageRecord::FromFields("2003-10-20 09:05:07", "CAROL", "BOB", "hello"));
  ASSERT_TRUE(SaveMessages(reg, store));
  MessageStore again = Restart();
  ASSERT_EQ(again.RecordCount(), 1u);
  EXPECT_EQ(again.Record(0), store.Record(0));
  EXPECT_EQ(again.RefreshMessageView().firstHeaderLine, "From CAROL to BOB");
}

TEST_F(SavedMessagesTest, FailedSaveAtAnyPointKeepsThePreviousValues) {
  MessageStore first;
  for (int i = 1; i <= 4; ++i) first.Append(Msg("ALICE", "old" + std::to_string(i)));
  ASSERT_TRUE(SaveMessages(reg, first));
  const auto before = Values();

  MessageStore second;
  for (int i = 1; i <= 6; ++i) second.Append(Msg("CAROL", "new" + std::to_string(i)));
  // A save writes: delete the key, create it, six values. Fail each one.
  int writesOfAFullSave = 0;
  {
    fakes::FakeRegistry probe;
    ASSERT_TRUE(SaveMessages(probe, first));
    int start = probe.writeCount();
    ASSERT_TRUE(SaveMessages(probe, second));
    writesOfAFullSave = probe.writeCount() - start;
  }
  ASSERT_EQ(writesOfAFullSave, 8);
  for (int okWrites = 0; okWrites < writesOfAFullSave; ++okWrites) {
    reg.FailWriteAfter(okWrites);
    EXPECT_FALSE(SaveMessages(reg, second)) << okWrites;
    reg.FailWriteAfter(-1);
    EXPECT_EQ(Values(), before) << "after failing write " << okWrites;
  }
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"old1", "old2", "old3", "old4"}));

  // A transaction that cannot begin writes nothing.
  ASSERT_EQ(reg.BeginTransaction(), ERROR_SUCCESS);
  EXPECT_FALSE(SaveMessages(reg, second));
  ASSERT_EQ(reg.RollbackTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(Values(), before);

  ASSERT_TRUE(SaveMessages(reg, second));
  EXPECT_EQ(Values().size(), 6u);
}

TEST_F(SavedMessagesTest, SaverWritesOnlyWhatChangedAndRetriesAfterFailure) {
  MessageSaver saver(reg);
  MessageStore store;
  store.Append(Msg("PC1", "a"));
  ASSERT_TRUE(saver.Save(store));
  EXPECT_EQ(saver.commits(), 1u);
  const int writes = reg.writeCount();

  // Nothing changed, or only an automatic message arrived: no write.
  ASSERT_TRUE(saver.Save(store));
  store.Append(Msg("~PC2", "auto"));
  ASSERT_TRUE(saver.Save(store));
  EXPECT_EQ(reg.writeCount(), writes);
  EXPECT_EQ(saver.commits(), 1u);

  // A new message that fails to save is written by the next call.
  store.Append(Msg("PC3", "b"));
  reg.FailWrites(true);
  EXPECT_FALSE(saver.Save(store));
  reg.FailWrites(false);
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"a"}));
  ASSERT_TRUE(saver.Save(store));
  EXPECT_EQ(saver.commits(), 2u);
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"a", "b"}));

  // A deletion is a change as well.
  store.ShowNewest();
  ASSERT_TRUE(store.Delete());  // the newest, "b"
  ASSERT_TRUE(saver.Save(store));
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"a"}));

  // Someone else rewriting the key is not seen until Forget.
  ASSERT_EQ(reg.DeleteKey(RootKey::CurrentUser, path), ERROR_SUCCESS);
  ASSERT_TRUE(saver.Save(store));
  EXPECT_TRUE(Restart().empty());
  saver.Forget();
  ASSERT_TRUE(saver.Save(store));
  EXPECT_EQ(Texts(Restart()), (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace vantrel
