#include "send/SendHistory.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

SendHistory::SendHistory(EqualsNoCase messageEquals)
    : messageEquals_(messageEquals ? std::move(messageEquals) : EqualsNoCase(&EqualsAsciiNoCase)) {}

const HistoryPair* SendHistory::Shown() const {
  return position_ == 0 ? nullptr : &pairs_[position_ - 1];
}

bool SendHistory::Record(std::string_view receiverLine, std::string_view message) {
  for (const HistoryPair& pair : pairs_) {
    if (pair.receiverLine == receiverLine && messageEquals_(pair.message, message)) return false;
  }
  if (pairs_.size() >= kMaxPairs) pairs_.erase(pairs_.begin());
  pairs_.push_back(HistoryPair{std::string(receiverLine), std::string(message)});
  position_ = pairs_.size();
  return true;
}

bool SendHistory::Previous() {
  if (pairs_.empty() || position_ <= 1) return false;
  --position_;
  return true;
}

bool SendHistory::Next() {
  if (pairs_.empty() || position_ >= pairs_.size()) return false;
  ++position_;
  return true;
}

bool SendHistory::Delete() {
  if (pairs_.empty()) return false;
  pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(position_ - 1));
  if (position_ > pairs_.size()) position_ = pairs_.size();
  return true;
}

}  // namespace vantrel
