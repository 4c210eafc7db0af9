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

// A name as the header line shows it: control characters (a CR or LF would
// start a line of the datagram's own making) written visibly as \r, \n, \t
// or \xNN. Every other byte stays as it is, backslashes included: in the
// double-byte code pages a character's second byte may be 0x5C, but never a
// control character or 0x7F.
void AppendVisible(std::string& out, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) {
      out += c;
      continue;
    }
    out += '\\';
    switch (b) {
      case '\r':
        out += 'r';
        break;
      case '\n':
        out += 'n';
        break;
      case '\t':
        out += 't';
        break;
      default:
        out += 'x';
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
  }
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
  bytes_ += record.size();
  entries_.push_back(MakeEntry(std::move(record)));
}

void MessageStore::Append(std::vector<MessageRecord>&& records) {
  entries_.reserve(entries_.size() + records.size());
  for (MessageRecord& r : records) {
    bytes_ += r.size();
    entries_.push_back(MakeEntry(std::move(r)));
  }
  records.clear();
}

void MessageStore::PrependAll(std::vector<MessageRecord>&& records) {
  std::vector<Entry> front;
  front.reserve(records.size() + entries_.size());
  for (MessageRecord& r : records) {
    bytes_ += r.size();
    front.push_back(MakeEntry(std::move(r)));
  }
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
  bytes_ -= entries_[index].record.size();
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
      bytes_ -= entries_[i].record.size();
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

size_t MessageStore::TrimToLimits() {
  size_t drop = 0;
  size_t bytes = bytes_;
  while (drop < entries_.size() &&
         (entries_.size() - drop > limits_.maxRecords || bytes > limits_.maxBytes)) {
    bytes -= entries_[drop].record.size();
    ++drop;
  }
  if (drop == 0) return 0;
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(drop));
  bytes_ = bytes;
  // The records behind the dropped ones move up by as many places.
  const uint32_t counted = static_cast<uint32_t>(std::min<size_t>(drop, total_));
  total_ -= counted;
  current_ = current_ > counted ? current_ - counted : (total_ > 0 ? 1 : 0);
  droppedOverLimits_ += drop;
  return drop;
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
  bytes_ = 0;
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
  AppendVisible(view.firstHeaderLine, SenderWithoutMark(f.sender));
  view.firstHeaderLine += " to ";
  AppendVisible(view.firstHeaderLine, f.receiver);
  view.text.assign(f.text);
  return view;
}

}  // namespace vantrel
