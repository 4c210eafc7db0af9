#pragma once
// The saved messages: the ten newest received messages that are not automatic
// answers, carried from one run to the next as binary values of the profile.
//
//   HKEY_CURRENT_USER\Software\Korbelund\Tessivane\SavedMsg
//     "SavedMsg0"  REG_BINARY  the newest saved Message record, byte for byte
//     ...                      (the value's length is the record's size)
//     "SavedMsg9"  REG_BINARY  the oldest
//
// The key holds nothing else. A save replaces the whole key inside one
// registry transaction: it either lands whole or leaves the previous values
// exactly as they were.
//
// When the window saves. So that a crash or a kill loses nothing that was
// ever shown, the receive window saves after every change of the store, not
// only at the end of the session:
//   - after ProcessArrivals whenever it kept a new message (newMessages > 0);
//   - after Delete and after Delete All;
//   - at the end of the session and when the window is destroyed.
// MessageSaver::Save is the call to use there: it compares the ten records it
// would write with those it wrote last and touches the registry only when
// they differ, so calling it after every poll is harmless. A failed save is
// not remembered as written and is tried again by the next call.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "receive/MessageStore.h"
#include "transport/MessageRecord.h"

namespace vantrel {

inline constexpr std::string_view kSavedMsgSection = "SavedMsg";
inline constexpr std::string_view kSavedMsgValuePrefix = "SavedMsg";
inline constexpr int kSavedMessageCount = 10;

// "SavedMsg" + n in decimal.
std::string SavedMessageValueName(int n);
// The full path of the key, relative to HKEY_CURRENT_USER.
std::string SavedMessagesKeyPath();

// Why a stored value was not taken as a message.
enum class SavedValueError {
  kNone,
  kWrongType,     // not REG_BINARY
  kEmpty,         // length 0
  kTooShort,      // shorter than the 4-byte size prefix
  kSizeMismatch,  // the size prefix disagrees with the value's length
  kUnterminated,  // the block does not end with a zero byte, as every record does
};
const char* SavedValueErrorText(SavedValueError error);

// Takes a stored value as a Message record when it is one the program could
// have made: REG_BINARY, not empty, size prefix equal to its length, and the
// block ending with a zero byte (after the time, at least). Sender, receiver
// and text need not each end with their own zero byte: a datagram may lack
// them, and its record is read as the receive window showed it. Otherwise
// nothing, with the reason in *error.
std::optional<MessageRecord> RecordFromSavedValue(const RegValue& value,
                                                  SavedValueError* error = nullptr);

struct LoadSavedResult {
  bool keyFound = false;
  size_t loaded = 0;   // records put into the store
  size_t skipped = 0;  // values present under SavedMsg0..9 but not taken
};

// Puts the saved messages in front of the store's list (which is empty at
// initialisation), oldest at the head and SavedMsg0 at the tail; missing
// indices close up. Values of another type, of length 0 or malformed (see
// RecordFromSavedValue) are skipped and counted. The key is only read. Total
// and Current position are left to the caller (ShowNewest).
LoadSavedResult LoadSavedMessages(IRegistry& reg, MessageStore& store);

// The records a save writes: from the newest towards the oldest, every record
// whose sender does not begin with "~", at most ten. Pointers into the store.
std::vector<const MessageRecord*> RecordsToSave(const MessageStore& store);

// Replaces the key with the records of RecordsToSave, in one transaction.
// True when the new content was committed; on false the previous content is
// unchanged.
bool SaveMessages(IRegistry& reg, const MessageStore& store);

// SaveMessages that writes only when the records to save differ from those
// it last committed.
class MessageSaver {
 public:
  explicit MessageSaver(IRegistry& reg) : reg_(reg) {}

  // True when the registry holds the store's records to save (written now or
  // already by an earlier call); false when a needed write failed.
  bool Save(const MessageStore& store);
  // Forgets what was written, so the next Save writes.
  void Forget() { lastSaved_.reset(); }
  // Number of transactions actually committed.
  size_t commits() const { return commits_; }

 private:
  IRegistry& reg_;
  std::optional<std::vector<std::vector<uint8_t>>> lastSaved_;
  size_t commits_ = 0;
};

}  // namespace vantrel
