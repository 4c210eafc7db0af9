#include "receive/ArrivalProcessor.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "directory/AddressBook.h"
#include "transport/Datagram.h"

namespace vantrel {

std::string AutomaticAnswerText(std::string_view time) {
  std::string text(kAutomaticAnswerStart);
  text += time;
  text += '.';
  return text;
}

size_t RemoveDuplicateArrivalsByScan(MessageStore& store, size_t previousTotal) {
  size_t removed = 0;
  // Positions 1-based: each new record i, from the newest down, against
  // every earlier record j, from the nearest back to the first. Removing
  // record i never moves a record below it.
  for (size_t i = store.RecordCount(); i > previousTotal; --i) {
    for (size_t j = i - 1; j >= 1; --j) {
      if (store.Record(j - 1) == store.Record(i - 1)) {
        store.RemoveRecord(i - 1);
        ++removed;
        break;
      }
    }
  }
  return removed;
}

size_t RemoveDuplicateArrivals(MessageStore& store, size_t previousTotal) {
  const size_t count = store.RecordCount();
  if (previousTotal >= count) return 0;
  const size_t batch = count - previousTotal;

  // A new record goes exactly when some earlier record equals it. Equality
  // is transitive, so it is enough to compare each new record with the
  // earlier new records that stay (the "kept" ones of its hash), and then
  // each old record with the kept new records of its hash.
  std::unordered_map<size_t, std::vector<size_t>> kept;  // hash -> kept new positions
  kept.reserve(batch);
  std::vector<bool> remove(batch, false);
  for (size_t i = previousTotal; i < count; ++i) {
    std::vector<size_t>& same = kept[store.RecordHash(i)];
    bool duplicate = false;
    for (size_t j : same) {
      if (store.Record(j) == store.Record(i)) {
        duplicate = true;
        break;
      }
    }
    if (duplicate)
      remove[i - previousTotal] = true;
    else
      same.push_back(i);
  }

  for (size_t j = 0; j < previousTotal; ++j) {
    auto it = kept.find(store.RecordHash(j));
    if (it == kept.end()) continue;
    std::vector<size_t>& same = it->second;
    for (size_t n = 0; n < same.size(); ++n) {
      if (store.Record(j) == store.Record(same[n])) {
        remove[same[n] - previousTotal] = true;
        same.erase(same.begin() + static_cast<std::ptrdiff_t>(n));
        break;  // the kept records of one hash differ from each other
      }
    }
    if (same.empty()) kept.erase(it);
    if (kept.empty()) break;
  }
  return store.RemoveMarked(previousTotal, remove);
}

ArrivalProcessor::ArrivalProcessor(const Profile& profile, ISystemInfo& system,
                                   SendDatagramFunction send, IArrivalView& view,
                                   bool popupCaptureMode)
    : profile_(profile),
      system_(system),
      send_(std::move(send)),
      view_(view),
      popupCaptureMode_(popupCaptureMode) {}

ArrivalResult ArrivalProcessor::ProcessArrivals(MessageStore& store, uint32_t previousPosition,
                                                uint32_t previousTotal, const ArrivalFlags& flags) {
  ArrivalResult result;
  // A previous total beyond the list would make no record new.
  size_t firstNew = std::min<size_t>(previousTotal, store.RecordCount());

  result.duplicatesRemoved = RemoveDuplicateArrivals(store, firstNew);
  if (store.RecordCount() == firstNew) return result;  // nothing new: nothing else happens
  result.newMessages = store.RecordCount() - firstNew;

  store.ShowNewest();
  result.droppedOverLimits = store.TrimToLimits();
  // The records that stay moved up; new ones the limits took are not handled.
  firstNew -= std::min(firstNew, result.droppedOverLimits);
  if (store.current() != previousPosition) view_.RefreshMessageView();
  view_.RefreshCounters();

  const std::string computer = system_.ComputerName();

  if (flags.autoPopup && ShouldPopUp(store, firstNew, computer)) {
    result.poppedUp = true;
    view_.ShowAndActivate();
  }

  if (!popupCaptureMode_ && flags.autoBeep) {
    system_.Beep();
    result.beeped = true;
  }

  if (flags.autoRespond) Respond(store, firstNew, computer, result);
  return result;
}

bool ArrivalProcessor::ShouldPopUp(const MessageStore& store, size_t firstNew,
                                   const std::string& computer) const {
  for (size_t i = store.RecordCount(); i-- > firstNew;) {
    MessageFields f = store.Record(i).Fields();
    std::string name = ResolveAlias(profile_, SenderWithoutMark(f.sender));
    int mask = GetBlackListMask(profile_, name);
    if (mask == 0) return true;
    // The pop-up judges the receiver after alias translation.
    bool personToPerson = IsPersonToPerson(ResolveAlias(profile_, f.receiver), computer);
    if (!(mask & (personToPerson ? BL_NO_POPUP_P2P : BL_NO_POPUP_BC))) return true;
  }
  return false;
}

void ArrivalProcessor::Respond(const MessageStore& store, size_t firstNew,
                               const std::string& computer, ArrivalResult& result) {
  const std::string answerSender = std::string(1, kAutomaticMark) + computer;
  for (size_t i = store.RecordCount(); i-- > firstNew;) {  // newest first
    MessageFields f = store.Record(i).Fields();
    if (IsAutomaticMessage(f.sender)) continue;  // automatic messages are never answered
    std::string name = ResolveAlias(profile_, f.sender);
    int mask = GetBlackListMask(profile_, name);
    if (mask != 0) {
      // The answer judges the receiver as stored, not translated.
      bool personToPerson = IsPersonToPerson(f.receiver, computer);
      if (mask & (personToPerson ? BL_NO_RESPONSE_P2P : BL_NO_RESPONSE_BC)) continue;
    }
    ++result.answersAttempted;
    // Failures are silent: the answer's sender is automatic, so a name that
    // cannot be found shows no box; the remaining answers still go out.
    if (send_ && send_(answerSender, name, AutomaticAnswerText(f.time)) == 1) ++result.answersSent;
  }
}

}  // namespace vantrel
