#include "receive/SavedMessages.h"

#include <algorithm>

#include "settings/Profile.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

// True when the four zero-terminated strings behind the size prefix (time,
// sender, receiver, text) each find their zero byte inside the block.
// Every record the program makes ends its time with a zero byte and ends
// with a zero byte itself. The fields between may lack theirs: a datagram
// need not carry both of its zero bytes, and such a message was shown as the
// field reader reads it, so it is loaded as it was shown.
bool IsRecordOfOurs(std::span<const uint8_t> bytes) {
  return bytes.size() > MessageRecord::kTimeOffset && bytes.back() == 0;
}

bool IsAutomaticRecord(const MessageRecord& record) {
  return record.SenderFirstChar() == kAutomaticMark;
}

}  // namespace

std::string SavedMessageValueName(int n) {
  return std::string(kSavedMsgValuePrefix) + std::to_string(n);
}

std::string SavedMessagesKeyPath() { return Profile::SectionPath(kSavedMsgSection); }

const char* SavedValueErrorText(SavedValueError error) {
  switch (error) {
    case SavedValueError::kNone:
      return "ok";
    case SavedValueError::kWrongType:
      return "saved message is not a binary value";
    case SavedValueError::kEmpty:
      return "saved message is empty";
    case SavedValueError::kTooShort:
      return "saved message is shorter than its size field";
    case SavedValueError::kSizeMismatch:
      return "saved message size field disagrees with its length";
    case SavedValueError::kUnterminated:
      return "saved message field lacks its zero byte";
  }
  return "unknown saved message error";
}

std::optional<MessageRecord> RecordFromSavedValue(const RegValue& value, SavedValueError* error) {
  SavedValueError why = SavedValueError::kNone;
  std::optional<MessageRecord> record;
  if (value.type != REG_BINARY) {
    why = SavedValueError::kWrongType;
  } else if (value.data.empty()) {
    why = SavedValueError::kEmpty;
  } else {
    RecordError recordError = RecordError::kNone;
    record = MessageRecord::FromBytes(std::span<const uint8_t>(value.data), &recordError);
    if (!record) {
      why = recordError == RecordError::kTooShort ? SavedValueError::kTooShort
                                                  : SavedValueError::kSizeMismatch;
    } else if (!IsRecordOfOurs(record->bytes())) {
      why = SavedValueError::kUnterminated;
      record.reset();
    }
  }
  if (error) *error = why;
  return record;
}

LoadSavedResult LoadSavedMessages(IRegistry& reg, MessageStore& store) {
  LoadSavedResult result;
  const std::string path = SavedMessagesKeyPath();
  if (reg.OpenKey(RootKey::CurrentUser, path) != ERROR_SUCCESS) return result;
  result.keyFound = true;

  // SavedMsg0 is the newest: each taken value goes in front of the ones
  // taken before it.
  std::vector<MessageRecord> newestFirst;
  for (int n = 0; n < kSavedMessageCount; ++n) {
    RegValue value;
    if (reg.QueryValue(RootKey::CurrentUser, path, SavedMessageValueName(n), &value) !=
        ERROR_SUCCESS)
      continue;
    std::optional<MessageRecord> record = RecordFromSavedValue(value);
    if (!record) {
      ++result.skipped;
      continue;
    }
    newestFirst.push_back(std::move(*record));
  }
  result.loaded = newestFirst.size();
  std::reverse(newestFirst.begin(), newestFirst.end());
  store.PrependAll(std::move(newestFirst));
  return result;
}

std::vector<const MessageRecord*> RecordsToSave(const MessageStore& store) {
  std::vector<const MessageRecord*> out;
  for (size_t i = store.RecordCount(); i-- > 0 && out.size() < kSavedMessageCount;) {
    const MessageRecord& record = store.Record(i);
    if (!IsAutomaticRecord(record)) out.push_back(&record);
  }
  return out;
}

namespace {

bool WriteSaved(IRegistry& reg, const std::vector<const MessageRecord*>& records) {
  RegTransaction tx(reg);
  if (!tx.ok()) return false;
  const std::string path = SavedMessagesKeyPath();
  long rc = reg.DeleteKey(RootKey::CurrentUser, path);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
  if (reg.CreateKey(RootKey::CurrentUser, path) != ERROR_SUCCESS) return false;
  for (size_t n = 0; n < records.size(); ++n) {
    if (reg.SetValue(RootKey::CurrentUser, path, SavedMessageValueName(static_cast<int>(n)),
                     REG_BINARY, records[n]->bytes()) != ERROR_SUCCESS)
      return false;  // the transaction rolls back: the previous values stay
  }
  return tx.Commit() == ERROR_SUCCESS;
}

}  // namespace

bool SaveMessages(IRegistry& reg, const MessageStore& store) {
  return WriteSaved(reg, RecordsToSave(store));
}

bool MessageSaver::Save(const MessageStore& store) {
  std::vector<const MessageRecord*> records = RecordsToSave(store);
  if (lastSaved_ && lastSaved_->size() == records.size() &&
      std::equal(records.begin(), records.end(), lastSaved_->begin(),
                 [](const MessageRecord* r, const std::vector<uint8_t>& saved) {
                   return std::ranges::equal(r->bytes(), saved);
                 }))
    return true;
  lastSaved_.reset();
  if (!WriteSaved(reg_, records)) return false;
  ++commits_;
  std::vector<std::vector<uint8_t>> copies;
  copies.reserve(records.size());
  for (const MessageRecord* r : records) copies.emplace_back(r->bytes().begin(), r->bytes().end());
  lastSaved_ = std::move(copies);
  return true;
}

}  // namespace vantrel
