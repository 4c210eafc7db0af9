#pragma once
// The message store: every received message in the order of arrival (oldest
// first), the total and the Current position (the 1-based position of the
// message the receive window shows; 0 when there is none).
//
// The store keeps its own invariant: total <= RecordCount(), and Current
// position is 0 exactly when total is 0, otherwise 1..total. After every
// command and after ProcessArrivals total == RecordCount(); only between an
// append and ProcessArrivals do records wait behind the total.
//
// The store also turns its state into the texts of the receive window
// (RefreshCounters, RefreshMessageView), so the window only copies them into
// its controls.
//
// The window's poll: remember current() and total(); drain the mailslot into
// an empty std::vector<MessageRecord> (ReadMessageSlot), Append it; then
// ProcessArrivals(remembered position, remembered total).
//
// Each record's hash is computed once, when it enters the store, so that the
// duplicate test of a batch of arrivals never rehashes the stored messages.
// All operations at the tail are amortised O(1); removing in the middle moves
// the records behind it (pointer-sized moves, fine for 100,000 records).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transport/MessageRecord.h"

namespace vantrel {

inline constexpr std::string_view kNoMessageText = "No message";

// The texts of the two counters of the receive window.
struct CounterTexts {
  std::string current;  // "Current: %lu"
  std::string total;    // "Total: %lu"
};

// The texts of the message view of the receive window.
struct MessageViewTexts {
  std::string firstHeaderLine;   // "From <sender without '~'> to <receiver>", or "No message";
                                 // control characters in the names written visibly
                                 // (\r, \n, \t, \xNN)
  std::string secondHeaderLine;  // "On <time>", or empty
  std::string text;              // the message text, or empty
};

// The four fields of a record as owned strings.
struct RecordFields {
  std::string time;
  std::string sender;
  std::string receiver;
  std::string text;
};

// How much one run keeps in memory: a flood of datagrams must not grow the
// process without end. Beyond the limits the oldest records go first.
struct StoreLimits {
  size_t maxRecords = SIZE_MAX;
  size_t maxBytes = SIZE_MAX;  // record bytes
};

// The receive window's limits: 10,000 messages and 8 MiB of records (a
// Messenger message is at most 424 bytes when a Windows peer sends it, so
// ordinary messages meet the count first; the bytes limit is for the
// datagrams of up to 64 KiB that others may send).
inline constexpr StoreLimits kReceiveWindowLimits{10000, size_t{8} << 20};

class MessageStore {
 public:
  // ---- The list ----

  size_t RecordCount() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // index is 0-based and must denote a record.
  const MessageRecord& Record(size_t index) const { return entries_.at(index).record; }
  // The record's Hash(), as computed when it entered the store.
  size_t RecordHash(size_t index) const { return entries_.at(index).hash; }

  // Appends at the tail (the newest end). Total and Current position are
  // left alone: ProcessArrivals brings them up to date.
  void Append(MessageRecord record);
  void Append(std::vector<MessageRecord>&& records);
  // Puts records in front of the head, keeping their order (the saved
  // messages, oldest first).
  void PrependAll(std::vector<MessageRecord>&& records);

  // Sets every requested output (nullptr = not requested) to the empty
  // string, then to the field of the record at the 0-based index. The fields
  // are read in order from offset 4, each only while the size prefix shows
  // bytes left for it; what follows the text's zero byte is ignored. An index
  // beyond the list leaves the outputs empty.
  void GetRecordFields(size_t index, std::string* time, std::string* sender, std::string* receiver,
                       std::string* text) const;
  RecordFields GetRecordFields(size_t index) const;

  // Removes the record at the 0-based index (nothing when there is none). A
  // record the total counts takes the total down with it, and the Current
  // position stays within it.
  void RemoveRecord(size_t index);
  // Removes, in one pass that keeps the order of the rest, every record at
  // position first + i (0-based) for which remove[i] is set; total and Current
  // position follow as for RemoveRecord. Returns the number removed.
  size_t RemoveMarked(size_t first, const std::vector<bool>& remove);

  // ---- Total and Current position ----

  uint32_t total() const { return total_; }
  uint32_t current() const { return current_; }
  // The records behind the total: appended, not yet through ProcessArrivals.
  size_t PendingCount() const { return entries_.size() - total_; }

  // Moves the Current position to position, kept within 1..total (0 when
  // the total is 0).
  void MoveTo(uint32_t position);

  // ---- Limits ----

  void SetLimits(StoreLimits limits) { limits_ = limits; }
  const StoreLimits& limits() const { return limits_; }
  // The bytes of all records.
  size_t RecordBytes() const { return bytes_; }
  // Drops the oldest records until the store is within its limits (total and
  // Current position move with the records that stay). Returns how many went;
  // DroppedOverLimits counts them over the run.
  size_t TrimToLimits();
  uint64_t DroppedOverLimits() const { return droppedOverLimits_; }

  // Total = number of records, Current position = total: the newest message
  // is shown (initialisation and arrivals).
  void ShowNewest();

  // ---- Commands of the receive window ----

  // Current position + 1, but not above total.
  void Next();
  // Current position - 1 when it is above 1.
  void Previous();
  // Removes the current record: total - 1, and Current position = total when
  // it lies beyond. Deleting the newest shows the new newest; deleting any
  // other shows the message that followed it. False (nothing done) when the
  // list is empty.
  bool Delete();
  // Removes every record, head first; total and Current position 0.
  void DeleteAll();

  // Update rules of the window's menu items and tool-bar buttons.
  bool CanDelete() const { return total_ != 0; }  // Delete and Delete All
  bool CanPrevious() const { return total_ != 0 && current_ > 1; }
  bool CanNext() const { return total_ != 0 && current_ < total_; }

  // ---- Texts of the receive window ----

  CounterTexts RefreshCounters() const;
  // "No message" when the list holds no record, or when the Current position
  // denotes none (never so while the invariant holds).
  MessageViewTexts RefreshMessageView() const;

 private:
  struct Entry {
    MessageRecord record;
    size_t hash;
  };
  static Entry MakeEntry(MessageRecord&& record);
  // removed records the total counted are gone: total and position follow.
  void Shrink(uint32_t removed);

  std::vector<Entry> entries_;
  size_t bytes_ = 0;
  StoreLimits limits_;
  uint64_t droppedOverLimits_ = 0;
  uint32_t total_ = 0;
  uint32_t current_ = 0;
};

// The first header line's name of a sender: without one leading "~".
std::string_view SenderWithoutMark(std::string_view sender);

}  // namespace vantrel
