#pragma once
// What the receive window does with every batch of newly stored messages,
// however they came in (mailslot poll or captured pop-up): drop records that
// repeat a stored one, show the newest message, pop the window up unless the
// black list forbids it for every new message, beep, and answer each new
// message automatically unless the black list exempts its sender.
//
// The window remembers Current position and total before it appends, appends
// the batch at the tail of the store, and then calls ProcessArrivals. It
// keeps no state between calls.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/SystemInfo.h"
#include "receive/MessageStore.h"
#include "settings/Profile.h"

namespace vantrel {

// The fixed start of the automatic answer's text.
inline constexpr std::string_view kAutomaticAnswerStart = "I've got your message on ";

// "I've got your message on " + time + "." (45 characters for a 19-character
// time).
std::string AutomaticAnswerText(std::string_view time);

// The window's side of ProcessArrivals, called in the order the steps run
// (so the new message is on screen before any answer is sent).
class IArrivalView {
 public:
  virtual ~IArrivalView() = default;
  // Copy MessageStore::RefreshMessageView() into the controls.
  virtual void RefreshMessageView() = 0;
  // Copy MessageStore::RefreshCounters() into the controls.
  virtual void RefreshCounters() = 0;
  // Bring the receive window to the front.
  virtual void ShowAndActivate() = 0;
};

// Sends one Messenger datagram (sender, receiver, text); 1 when written, 0
// when nothing was sent. Production passes SendMessengerDatagram.
using SendDatagramFunction =
    std::function<int(std::string_view sender, std::string_view receiver, std::string_view text)>;

// The options, as last taken from the window's controls.
struct ArrivalFlags {
  bool autoPopup = false;
  bool autoBeep = false;
  bool autoRespond = false;
};

// What one call did, for the window (save when newMessages > 0) and tests.
struct ArrivalResult {
  size_t duplicatesRemoved = 0;
  size_t newMessages = 0;        // new records left after duplicate removal
  size_t droppedOverLimits = 0;  // oldest records dropped to keep the store in its limits
  bool poppedUp = false;
  bool beeped = false;
  size_t answersAttempted = 0;  // calls of the send function
  size_t answersSent = 0;       // of those, the ones that returned 1
};

class ArrivalProcessor {
 public:
  // popupCaptureMode: IsPopupCaptureMode for the run (it never changes).
  ArrivalProcessor(const Profile& profile, ISystemInfo& system, SendDatagramFunction send,
                   IArrivalView& view, bool popupCaptureMode);

  // previousPosition and previousTotal are the store's Current position and
  // total from before the batch was appended; the records behind
  // previousTotal are the batch. Also to be called when nothing was appended.
  ArrivalResult ProcessArrivals(MessageStore& store, uint32_t previousPosition,
                                uint32_t previousTotal, const ArrivalFlags& flags);

 private:
  bool ShouldPopUp(const MessageStore& store, size_t firstNew, const std::string& computer) const;
  void Respond(const MessageStore& store, size_t firstNew, const std::string& computer,
               ArrivalResult& result);

  const Profile& profile_;
  ISystemInfo& system_;
  SendDatagramFunction send_;
  IArrivalView& view_;
  bool popupCaptureMode_;
};

// Duplicate removal of a batch: every record behind the first previousTotal
// records that equals (byte for byte, time included) an earlier record of
// the store, old or new, is removed; among equal new records the earliest
// stays. Returns the number removed. Linear in the size of the store, using
// the hashes the store keeps.
size_t RemoveDuplicateArrivals(MessageStore& store, size_t previousTotal);

// The same rule as a direct scan: for each new record from the newest down,
// compare it with every earlier record from the nearest back to the first,
// and remove it at the first equal one. Quadratic; kept as the plain
// statement of the rule against which the fast one is tested and measured.
size_t RemoveDuplicateArrivalsByScan(MessageStore& store, size_t previousTotal);

}  // namespace vantrel
