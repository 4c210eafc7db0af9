#include "receive/MessageStore.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "transport/Datagram.h"

namespace vantrel {
namespace {

uint32_t ClampCount(size_t n) {
  return n > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                  : static_cast<uint32_t>(n);
}

}  // namespace

std::string_view SenderWithoutMark(std::string_view sender) {
  if (IsAutomaticMessage(sender)) sender.remove_prefix(1);
  return sender;
}

MessageStore::Entry MessageStore::MakeEntry(MessageRecord&& record) {
  size_t hash = record.Hash();
  return Entry{std::move(record), hash};
}

void MessageStore::Append(MessageRecord record) {
  entries_.push_back(MakeEntry(std::move(record)));
}

void MessageStore::Append(std::vector<MessageRecord>&& records) {
  entries_.reserve(entries_.size() + records.size());
  for (MessageRecord& r : records) entries_.push_back(MakeEntry(std::move(r)));
  records.clear();
}

void MessageStore::PrependAll(std::vector<MessageRecord>&& records) {
  std::vector<Entry> front;
  front.reserve(records.size() + entries_.size());
  for (MessageRecord& r : records) front.push_back(MakeEntry(std::move(r)));
  records.clear();
  std::move(entries_.begin(), entries_.end(), std::back_inserter(front));
  entries_ = std::move(front);
}

void MessageStore::GetRecordFields(size_t index, std::string* time, std::string* sender,
                                   std::string* receiver, std::string* text) const {
  for (std::string* out : {time, sender, receiver, text})
    if (out) out->clear();
  if (index >= entries_.size()) return;
  MessageFields f = entries_[index].record.Fields();
  if (time) time->assign(f.time);
  if (sender) sender->assign(f.sender);
  if (receiver) receiver->assign(f.receiver);
  if (text) text->assign(f.text);
}

RecordFields MessageStore::GetRecordFields(size_t index) const {
  RecordFields f;
  GetRecordFields(index, &f.time, &f.sender, &f.receiver, &f.text);
  return f;
}

void MessageStore::RemoveRecord(size_t index) {
  if (index >= entries_.size()) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  if (index < total_) Shrink(1);
}

size_t MessageStore::RemoveMarked(size_t first, const std::vector<bool>& remove) {
  if (first >= entries_.size()) return 0;
  size_t out = first;
  uint32_t counted = 0;  // removed records the total counted
  for (size_t i = first; i < entries_.size(); ++i) {
    size_t k = i - first;
    if (k < remove.size() && remove[k]) {
      if (i < total_) ++counted;
      continue;
    }
    if (out != i) entries_[out] = std::move(entries_[i]);
    ++out;
  }
  size_t removed = entries_.size() - out;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(out), entries_.end());
  Shrink(counted);
  return removed;
}

void MessageStore::Shrink(uint32_t removed) {
  total_ -= std::min(removed, total_);
  if (current_ > total_) current_ = total_;
  if (current_ == 0 && total_ > 0) current_ = 1;
}

void MessageStore::MoveTo(uint32_t position) {
  current_ = total_ == 0 ? 0 : std::clamp<uint32_t>(position, 1, total_);
}

void MessageStore::ShowNewest() {
  total_ = ClampCount(entries_.size());
  current_ = total_;
}

void MessageStore::Next() {
  if (current_ < total_) ++current_;
}

void MessageStore::Previous() {
  if (current_ > 1) --current_;
}

bool MessageStore::Delete() {
  // Position 0 denotes no record (the total is 0, though records may wait
  // behind it for ProcessArrivals): nothing is removed.
  if (current_ == 0) return false;
  RemoveRecord(current_ - 1);
  return true;
}

void MessageStore::DeleteAll() {
  // Head first, as the list is walked; a vector frees its elements in order.
  entries_.clear();
  total_ = 0;
  current_ = 0;
}

CounterTexts MessageStore::RefreshCounters() const {
  return CounterTexts{"Current: " + std::to_string(current_), "Total: " + std::to_string(total_)};
}

MessageViewTexts MessageStore::RefreshMessageView() const {
  MessageViewTexts view;
  if (entries_.empty() || current_ == 0 || current_ > entries_.size()) {
    view.firstHeaderLine = kNoMessageText;
    return view;
  }
  MessageFields f = entries_[current_ - 1].record.Fields();
  view.secondHeaderLine = "On ";
  view.secondHeaderLine += f.time;
  view.firstHeaderLine = "From ";
  view.firstHeaderLine += SenderWithoutMark(f.sender);
  view.firstHeaderLine += " to ";
  view.firstHeaderLine += f.receiver;
  view.text.assign(f.text);
  return view;
}

}  // namespace vantrel
