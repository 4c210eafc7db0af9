#include "receive/SlotReader.h"

#include <new>
#include <optional>
#include <stdexcept>

#include "transport/Datagram.h"

namespace vantrel {

int SlotReader::ReadMessageSlot(std::vector<MessageRecord>& list, int showResponse) {
  std::optional<std::deque<std::vector<uint8_t>>> waiting = slot_.TakeAll();
  if (!waiting) return 0;

  // The previous record of this drain: kept (an index into list) or dropped
  // (held here until the next record replaces it).
  std::optional<size_t> previousKept;
  std::optional<MessageRecord> previousDropped;
  while (!waiting->empty()) {
    try {
      MessageRecord record = MessageRecord::FromDatagram(waiting->front(), system_.LocalTimeText());
      const MessageRecord* previous = previousKept      ? &list[*previousKept]
                                      : previousDropped ? &*previousDropped
                                                        : nullptr;
      const char first = record.SenderFirstChar();
      const bool keep = first != 0 && (showResponse != 0 || first != kAutomaticMark) &&
                        (previous == nullptr || !(*previous == record));
      if (keep) {
        list.push_back(std::move(record));
        previousKept = list.size() - 1;
        previousDropped.reset();
      } else {
        previousDropped = std::move(record);
        previousKept.reset();
      }
    } catch (const std::bad_alloc&) {
      slot_.PutBack(std::move(*waiting));
      box_.Show(kInsufficientMemoryText);
      return 0;
    } catch (const std::length_error&) {
      slot_.PutBack(std::move(*waiting));
      box_.Show(kInsufficientMemoryText);
      return 0;
    }
    waiting->pop_front();
  }
  return 1;
}

}  // namespace vantrel
