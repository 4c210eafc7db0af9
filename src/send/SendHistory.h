#pragma once
// The send history of the Send dialog: the last ten distinct pairs
// (receiver line, message) that were sent, oldest first, and the position of
// the pair last shown or added. It lives in memory only.
//
// Invariants: at most kMaxPairs pairs; 0 <= position() <= size(), and
// position() is 0 exactly when the history is empty.
//
// A pair is already present when some entry has the same receiver line (with
// regard to case) and a message that is equal without regard to case; such a
// pair is not added again, and the entry keeps its first spelling.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct HistoryPair {
  std::string receiverLine;
  std::string message;
};

class SendHistory {
 public:
  static constexpr size_t kMaxPairs = 10;

  // Whether two messages are equal without regard to case. The default folds
  // the ASCII letters only; the dialog passes a comparison that knows every
  // letter of its text.
  using EqualsNoCase = std::function<bool(std::string_view, std::string_view)>;

  explicit SendHistory(EqualsNoCase messageEquals = {});

  size_t size() const { return pairs_.size(); }
  bool empty() const { return pairs_.empty(); }
  // 1-based index of the pair last shown or added; 0 while empty.
  size_t position() const { return position_; }
  const std::vector<HistoryPair>& pairs() const { return pairs_; }
  // The pair at position(), or null while the history is empty.
  const HistoryPair* Shown() const;

  // Records a sent pair. Returns false when it was already present (nothing
  // changes, the position stays). Otherwise drops the oldest pair when the
  // history is full, appends the pair and moves the position to it.
  bool Record(std::string_view receiverLine, std::string_view message);

  // "<": one pair back. False (nothing changes) at the oldest pair or while
  // empty.
  bool Previous();
  // ">": one pair on. False (nothing changes) at the newest pair or while
  // empty.
  bool Next();
  // "X": removes the pair at the position; the position then shows the pair
  // that followed it, or the new newest pair when the newest was removed, or
  // 0 when the history is now empty. False (nothing changes) while empty.
  bool Delete();

 private:
  EqualsNoCase messageEquals_;
  std::vector<HistoryPair> pairs_;
  size_t position_ = 0;
};

// ASCII-only case-insensitive equality.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace vantrel
