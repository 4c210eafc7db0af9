#pragma once
// The static NetBIOS name table (/etc/samba/lmhosts).
//
// One entry a line:
//
//   198.18.0.12   BOBPC                 # a computer: any suffix
//   198.18.0.13   SAMBA#20              # one suffix only (two hex digits after '#')
//   198.18.0.14   "APP     \0x03"       # quoted; \0xNN gives a byte, the 16th is the suffix
//   198.18.0.15   DC1   #PRE  #DOM:CORP # keywords after the name are accepted and ignored
//   # a comment; #INCLUDE, #BEGIN_ALTERNATE, #END_ALTERNATE are treated as comments
//
// A line that does not parse (no address, bad address, no name, name longer than 15
// characters once unquoted, bad suffix) is skipped and counted; it never stops the parse.
// Names are kept upper-cased; a lookup compares upper-cased, like the name service does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4Address.h"

namespace vantrel {

struct LmhostsEntry {
  Ipv4Address address;
  std::string name;                // upper case, 1 to 15 characters, no padding
  std::optional<uint8_t> suffix;   // none: the entry stands for every suffix
};

struct LmhostsTable {
  std::vector<LmhostsEntry> entries;
  size_t skippedLines = 0;  // lines that held something but did not parse

  // The first entry for name (compared as the name service compares: upper case, cut to 15
  // characters, trailing blanks ignored) and suffix; nullopt when there is none.
  std::optional<Ipv4Address> Find(std::string_view name, uint8_t suffix) const;
};

// Files larger than this are not read (the table is a few lines in practice).
inline constexpr size_t kMaxLmhostsBytes = 1 << 20;

LmhostsTable ParseLmhosts(std::string_view text);

// Reads and parses a file; a missing, unreadable or oversized file gives an empty table.
LmhostsTable ReadLmhostsFile(const std::string& path);

}  // namespace vantrel
