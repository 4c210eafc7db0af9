#include "transport/NetbiosName.h"

#include <algorithm>
#include <cstdio>

namespace vantrel {
namespace {

constexpr size_t kMaxEncodedName = 255;  // RFC 1002 4.1 / DNS limit, terminator included
constexpr size_t kMaxLabel = 63;
constexpr int kMaxPointers = 16;

uint8_t AsciiUpper(uint8_t c) {
  return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(static_cast<uint8_t>(x)) == AsciiUpper(static_cast<uint8_t>(y));
         });
}

// Splits a dotted scope into labels; false when it cannot be encoded.
bool ScopeLabels(std::string_view scope, std::vector<std::string_view>* labels) {
  labels->clear();
  if (scope.empty()) return true;
  size_t total = 1 + 32 + 1;  // first label and the terminator
  size_t start = 0;
  for (;;) {
    size_t dot = scope.find('.', start);
    std::string_view label =
        scope.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.empty() || label.size() > kMaxLabel) return false;
    total += 1 + label.size();
    labels->push_back(label);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return total <= kMaxEncodedName;
}

// Walks the labels of a name. `follow` allows compression pointers; then `r`
// reads `packet` itself.
std::optional<NetbiosName> ReadName(ByteReader& r, std::span<const uint8_t> packet, bool follow) {
  ByteReader cur = r;
  bool jumped = false;
  int pointers = 0;
  size_t segmentStart = r.Offset();  // pointers must point before this
  size_t encoded = 0;                // bytes of the name with pointers resolved
  std::vector<std::span<const uint8_t>> labels;

  for (;;) {
    uint8_t len = cur.U8();
    if (!cur.Ok()) break;
    if (len == 0) {
      encoded += 1;
      break;
    }
    if ((len & 0xC0) == 0xC0) {
      uint8_t low = cur.U8();
      if (!follow || !cur.Ok() || ++pointers > kMaxPointers) {
        cur.Fail();
        break;
      }
      size_t target = (size_t{len & 0x3Fu} << 8) | low;
      if (target >= segmentStart) {
        cur.Fail();
        break;
      }
      if (!jumped) {
        r.Seek(cur.Offset());
        jumped = true;
      }
      cur = ByteReader(packet);
      cur.Seek(target);
      segmentStart = target;
      continue;
    }
    if ((len & 0xC0) != 0 || len > kMaxLabel) {  // 0x40 and 0x80 label types are reserved
      cur.Fail();
      break;
    }
    std::span<const uint8_t> label = cur.Bytes(len);
    encoded += 1 + size_t{len};
    if (!cur.Ok() || encoded + 1 > kMaxEncodedName) {
      cur.Fail();
      break;
    }
    labels.push_back(label);
  }

  if (!cur.Ok()) {
    r.Fail();
    return std::nullopt;
  }
  if (!jumped) r = cur;
  if (labels.empty() || labels[0].size() != 32) {
    r.Fail();
    return std::nullopt;
  }
  auto raw = FirstLevelDecode(labels[0]);
  if (!raw) {
    r.Fail();
    return std::nullopt;
  }
  std::string scope;
  for (size_t i = 1; i < labels.size(); ++i) {
    if (std::find(labels[i].begin(), labels[i].end(), '.') != labels[i].end()) {
      r.Fail();  // a dot inside a label cannot be told apart from a label boundary
      return std::nullopt;
    }
    if (i > 1) scope += '.';
    scope.append(labels[i].begin(), labels[i].end());
  }
  return NetbiosName(*raw, std::move(scope));
}

}  // namespace

NetbiosName::NetbiosName() {
  raw_.fill(' ');
  raw_[15] = 0;
}

NetbiosName NetbiosName::FromName(std::string_view name, uint8_t suffix) {
  NetbiosName n;
  size_t count = std::min<size_t>(name.size(), 15);
  for (size_t i = 0; i < count; ++i) n.raw_[i] = AsciiUpper(static_cast<uint8_t>(name[i]));
  n.raw_[15] = suffix;
  return n;
}

NetbiosName NetbiosName::Wildcard() {
  Raw raw{};
  raw[0] = '*';
  return NetbiosName(raw);
}

bool NetbiosName::IsWildcard() const {
  return raw_[0] == '*' &&
         std::all_of(raw_.begin() + 1, raw_.end(), [](uint8_t b) { return b == 0; });
}

std::string NetbiosName::Name() const {
  size_t end = 15;
  while (end > 0 && (raw_[end - 1] == ' ' || raw_[end - 1] == 0)) --end;
  return std::string(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(end));
}

NetbiosName NetbiosName::Canonical() const {
  if (IsWildcard()) return *this;
  NetbiosName n = FromName(Name(), Suffix());
  n.scope_ = scope_;
  return n;
}

std::string NetbiosName::ToString() const {
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, "<%02x>", raw_[15]);
  std::string s = Name() + suffix;
  if (!scope_.empty()) s += '.' + scope_;
  return s;
}

bool NetbiosName::SetScope(std::string_view scope) {
  std::vector<std::string_view> labels;
  if (!ScopeLabels(scope, &labels)) return false;
  scope_ = std::string(scope);
  return true;
}

bool NetbiosName::operator==(const NetbiosName& other) const {
  return raw_ == other.raw_ && EqualNoCase(scope_, other.scope_);
}

std::array<uint8_t, 32> FirstLevelEncode(const NetbiosName::Raw& raw) {
  std::array<uint8_t, 32> out{};
  for (size_t i = 0; i < raw.size(); ++i) {
    out[2 * i] = static_cast<uint8_t>('A' + (raw[i] >> 4));
    out[2 * i + 1] = static_cast<uint8_t>('A' + (raw[i] & 0x0F));
  }
  return out;
}

std::optional<NetbiosName::Raw> FirstLevelDecode(std::span<const uint8_t> letters) {
  if (letters.size() != 32) return std::nullopt;
  NetbiosName::Raw raw{};
  for (size_t i = 0; i < raw.size(); ++i) {
    uint8_t hi = letters[2 * i];
    uint8_t lo = letters[2 * i + 1];
    if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return std::nullopt;
    raw[i] = static_cast<uint8_t>(((hi - 'A') << 4) | (lo - 'A'));
  }
  return raw;
}

void WriteNetbiosName(ByteWriter& w, const NetbiosName& name) {
  w.U8(32);
  w.Bytes(FirstLevelEncode(name.Bytes()));
  std::vector<std::string_view> labels;
  if (ScopeLabels(name.Scope(), &labels)) {  // SetScope admits only encodable scopes
    for (std::string_view label : labels) {
      w.U8(static_cast<uint8_t>(label.size()));
      w.Text(label);
    }
  }
  w.U8(0);
}

std::vector<uint8_t> EncodeNetbiosName(const NetbiosName& name) {
  ByteWriter w;
  WriteNetbiosName(w, name);
  return w.Take();
}

std::optional<NetbiosName> ReadNetbiosName(ByteReader& r) { return ReadName(r, {}, false); }

std::optional<NetbiosName> ReadCompressedNetbiosName(ByteReader& r,
                                                     std::span<const uint8_t> packet) {
  return ReadName(r, packet, true);
}

}  // namespace vantrel
