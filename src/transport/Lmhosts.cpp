#include "transport/Lmhosts.h"

#include <fstream>
#include <iterator>

namespace vantrel {
namespace {

constexpr size_t kNameLength = 15;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Upper(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The name as the name service compares it: upper case, cut to 15, no trailing blanks.
std::string Canonical(std::string_view name) {
  std::string out;
  for (char c : name.substr(0, kNameLength)) out.push_back(Upper(c));
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Splits off the next blank-separated word; a word that starts with '"' runs to the next '"'.
// Returns false when the line has no further word or a quote is not closed.
bool NextWord(std::string_view& rest, std::string_view& word, bool& quoted) {
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  rest.remove_prefix(i);
  if (rest.empty()) return false;
  quoted = rest.front() == '"';
  if (quoted) {
    size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return false;
    word = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
    return true;
  }
  size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  word = rest.substr(0, end);
  rest.remove_prefix(end);
  return true;
}

// Decodes a quoted name: "\0xNN" becomes the byte NN. When the result is 16 bytes long, the
// last byte is the suffix and the first 15 the blank-padded name.
bool DecodeQuotedName(std::string_view word, LmhostsEntry& entry) {
  std::string bytes;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word.substr(i, 3) == "\\0x") {
      if (i + 4 >= word.size()) return false;
      int hi = HexValue(word[i + 3]);
      int lo = HexValue(word[i + 4]);
      if (hi < 0 || lo < 0) return false;
      bytes.push_back(static_cast<char>(hi * 16 + lo));
      i += 4;
    } else {
      bytes.push_back(word[i]);
    }
  }
  if (bytes.size() == kNameLength + 1) {
    entry.suffix = static_cast<uint8_t>(bytes.back());
    bytes.pop_back();
  } else if (bytes.size() > kNameLength) {
    return false;
  }
  entry.name = Canonical(bytes);
  return !entry.name.empty();
}

// NAME or NAME#XX (XX two hex digits).
bool DecodePlainName(std::string_view word, LmhostsEntry& entry) {
  size_t hash = word.find('#');
  if (hash != std::string_view::npos) {
    std::string_view type = word.substr(hash + 1);
    if (type.size() != 2 || HexValue(type[0]) < 0 || HexValue(type[1]) < 0) return false;
    entry.suffix = static_cast<uint8_t>(HexValue(type[0]) * 16 + HexValue(type[1]));
    word = word.substr(0, hash);
  }
  if (word.empty() || word.size() > kNameLength) return false;
  entry.name = Canonical(word);
  return !entry.name.empty();
}

}  // namespace

std::optional<Ipv4Address> LmhostsTable::Find(std::string_view name, uint8_t suffix) const {
  std::string want = Canonical(name);
  if (want.empty()) return std::nullopt;
  for (const LmhostsEntry& e : entries) {
    if (e.name == want && (!e.suffix || *e.suffix == suffix)) return e.address;
  }
  return std::nullopt;
}

LmhostsTable ParseLmhosts(std::string_view text) {
  LmhostsTable table;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

    std::string_view rest = line;
    std::string_view word;
    bool quoted = false;
    if (!NextWord(rest, word, quoted)) {
      // Blank line, or an opening quote that never closes.
      size_t i = 0;
      while (i < rest.size() && IsBlank(rest[i])) ++i;
      if (i < rest.size()) ++table.skippedLines;
      continue;
    }
    if (!quoted && word.front() == '#') continue;  // comment or directive line

    LmhostsEntry entry;
    auto address = quoted ? std::nullopt : Ipv4Address::Parse(word);
    if (!address || address->IsAny() || !NextWord(rest, word, quoted)) {
      ++table.skippedLines;
      continue;
    }
    entry.address = *address;
    bool ok = quoted ? DecodeQuotedName(word, entry)
                     : (word.front() != '#' && DecodePlainName(word, entry));
    if (!ok) {
      ++table.skippedLines;
      continue;
    }
    // What follows the name (#PRE, #DOM:x, a comment) does not change the lookup.
    table.entries.push_back(std::move(entry));
  }
  return table;
}

LmhostsTable ReadLmhostsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxLmhostsBytes) return {};
  }
  return ParseLmhosts(text);
}

}  // namespace vantrel
