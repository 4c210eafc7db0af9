#pragma once
// ReadMessageSlot: the receive window's poll takes everything that waits at
// the local mailslot and makes Message records of it.
//
// Each message gets the local receive time in front of it. A message is kept
// unless
//   - its sender field is empty (the first byte is the zero byte),
//   - it is automatic (sender beginning with "~") and showResponse is 0, or
//   - it equals, time included, the record made just before it in the same
//     drain (kept or not): the same datagram twice within one second.
// Records are appended at the tail of list in arrival order.

#include <vector>

#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"
#include "transport/MailslotEndpoint.h"
#include "transport/MessageRecord.h"

namespace vantrel {

inline constexpr char kInsufficientMemoryText[] = "Insufficient memory.";

class SlotReader {
 public:
  // All three must outlive the reader.
  SlotReader(MailslotEndpoint& slot, ISystemInfo& system, IMessageBox& box)
      : slot_(slot), system_(system), box_(box) {}

  // 1 when the mailslot was empty or has been drained; 0 when no mailslot is
  // held, or when memory ran out: "Insufficient memory." is shown and the
  // message that failed waits, with those behind it, for the next poll.
  // Records appended before a failure stay. One drain takes the messages that
  // were waiting when it began; later arrivals wait for the next poll.
  int ReadMessageSlot(std::vector<MessageRecord>& list, int showResponse);

 private:
  MailslotEndpoint& slot_;
  ISystemInfo& system_;
  IMessageBox& box_;
};

}  // namespace vantrel
