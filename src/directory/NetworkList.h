#pragma once
// The network name list and the network list cache.
//
// A network name list is what an enumeration of the network neighbourhood
// leaves: each domain or workgroup entry (its name, never beginning with a
// backslash) followed by the computer entries of that domain, each "\\"
// (two backslashes) and the computer label: the computer name and, when the
// network gives a comment, one blank and the comment. The computer name is
// the label up to its first blank. For example:
//
//   HOME
//   \\ALICE Front desk
//   \\BOB
//   LAB
//   \\CARL
//
// Entries are bytes in the system code page. The network list cache holds
// the last complete list of the run; the Select Receiver and User Info
// dialogs copy from it and never change it. Only the user-interface thread
// touches the cache: an enumeration running elsewhere hands its list over,
// and the cache is replaced as a whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

using NetworkNameList = std::vector<std::string>;

// The longest entry, in bytes (its buffer of 64 holds a terminator too).
inline constexpr size_t kMaxNetworkEntry = 63;

// Whether an entry is a computer entry (begins with a backslash).
bool IsComputerEntry(std::string_view entry);
// The computer label of a computer entry (without the two backslashes).
std::string_view ComputerLabel(std::string_view entry);
// The computer name of a computer entry: its label up to the first blank.
std::string_view ComputerNameOf(std::string_view entry);

class NetworkListCache {
 public:
  const NetworkNameList& Entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }
  // Replaces the whole content; counts the replacements.
  void Replace(NetworkNameList entries) {
    entries_ = std::move(entries);
    ++generation_;
  }
  // How many times the cache has been filled (0: never).
  uint64_t generation() const { return generation_; }

 private:
  NetworkNameList entries_;
  uint64_t generation_ = 0;
};

// The running program's answer to a list request on its local socket (what
// "vantrel-send --list" asks):
//
//   "LIST " COUNT "\n"   the mark; COUNT in decimal digits (1 to 6 of them)
//   entry 0x00           COUNT times: each entry of the list, in order,
//                        followed by a zero byte; nothing after the last
//
// An entry holds at most kMaxNetworkEntry bytes and no zero byte; COUNT is
// at most kMaxListReplyEntries. A reply that breaks any of this, or is cut
// short anywhere, is refused whole (nullopt): the asker then enumerates by
// itself.
inline constexpr std::string_view kListRequest = "List\n";
inline constexpr std::string_view kListReplyMark = "LIST ";
inline constexpr size_t kMaxListReplyEntries = 65536;
inline constexpr size_t kMaxListReplyBytes =
    kListReplyMark.size() + 7 + kMaxListReplyEntries * (kMaxNetworkEntry + 1);

// Entries longer than kMaxNetworkEntry are cut, and only the first
// kMaxListReplyEntries are sent; a zero byte in an entry ends it.
std::string EncodeNetworkListReply(const NetworkNameList& list);
std::optional<NetworkNameList> DecodeNetworkListReply(std::span<const uint8_t> reply);

}  // namespace vantrel
