#pragma once
// NetBIOS names: the 16-byte form and its encodings on the wire.
//
// 16-byte form:
//   +---------------------------------------------+--------+
//   | name: upper case, first 15 chars, blank pad | suffix |
//   +---------------------------------------------+--------+
//     bytes 0..14                                   byte 15
// The wildcard "*" is '*' followed by 15 zero bytes.
//
// First-level encoding (RFC 1001 14.1): every nibble n of the 16 bytes, high
// nibble first, becomes the letter 'A' + n: 32 letters.
//
// Second-level encoding (RFC 1001 14.2, DNS label form):
//   +----+------------------------+-----+-------+-----+-------+----+
//   | 32 | 32 first-level letters | len | scope | ... | scope | 00 |
//   +----+------------------------+-----+-------+-----+-------+----+
// With the empty scope (the usual case) that is 34 bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {

// Suffixes this program uses.
inline constexpr uint8_t kSuffixWorkstation = 0x00;  // computer<00>, workgroup<00> (group)
inline constexpr uint8_t kSuffixMessenger = 0x03;    // computer<03>

class NetbiosName {
 public:
  static constexpr size_t kSize = 16;
  using Raw = std::array<uint8_t, kSize>;

  // Fifteen blanks and suffix 0x00.
  NetbiosName();
  explicit NetbiosName(const Raw& raw, std::string scope = {})
      : raw_(raw), scope_(std::move(scope)) {}

  // The name's letters a-z in capitals (other bytes unchanged), cut to 15 bytes,
  // blank-padded, then the suffix.
  static NetbiosName FromName(std::string_view name, uint8_t suffix);
  // '*' and 15 zero bytes.
  static NetbiosName Wildcard();

  const Raw& Bytes() const { return raw_; }
  uint8_t Suffix() const { return raw_[15]; }
  bool IsWildcard() const;
  // The name part without its blank (or, for the wildcard, zero) padding.
  std::string Name() const;
  // "BOBPC<03>"; with a scope "BOBPC<03>.scope".
  std::string ToString() const;

  // Scope ID as dotted labels ("" for none). SetScope refuses (returns false and
  // keeps the old scope) a scope that cannot be encoded: empty labels, labels
  // over 63 bytes, or an encoded name over 255 bytes.
  const std::string& Scope() const { return scope_; }
  bool SetScope(std::string_view scope);

  // Same 16 bytes and the same scope (scope compared without case).
  bool operator==(const NetbiosName& other) const;
  // The name as names are compared: letters a-z in capitals and the padding
  // behind the name (blanks or zero bytes) as blanks, suffix and scope kept;
  // the wildcard stays the wildcard. A name some sender wrote in lower case
  // or padded with zero bytes is then equal to ours.
  NetbiosName Canonical() const;

 private:
  Raw raw_;
  std::string scope_;
};

// RFC 1001 14.1.
std::array<uint8_t, 32> FirstLevelEncode(const NetbiosName::Raw& raw);
// Inverse of FirstLevelEncode; nullopt when a byte is not one of 'A'..'P'.
std::optional<NetbiosName::Raw> FirstLevelDecode(std::span<const uint8_t> letters);

// Appends the second-level encoding.
void WriteNetbiosName(ByteWriter& w, const NetbiosName& name);
std::vector<uint8_t> EncodeNetbiosName(const NetbiosName& name);

// Reads a second-level encoded name. Compression pointers are refused: names
// in datagrams are never compressed. On failure the reader is marked failed.
std::optional<NetbiosName> ReadNetbiosName(ByteReader& r);

// Reads a name that may use DNS compression pointers (name-service packets).
// `r` must read `packet` itself, so that its offsets are packet offsets. A
// pointer must point strictly before the labels that hold it (so no loop is
// possible) and at most 16 pointers are followed; the encoded name, pointers
// resolved, is at most 255 bytes. `r` moves past the name as it stands in the
// packet (past the first pointer, if any).
std::optional<NetbiosName> ReadCompressedNetbiosName(ByteReader& r,
                                                     std::span<const uint8_t> packet);

}  // namespace vantrel
