#pragma once
// NetBIOS name service packets (UDP 137, RFC 1002 4.2): name query request,
// positive and negative name query response, node status request and response.
// All fields big-endian.
//
// Header (12 bytes):
//   0      2      4        6        8        10       12
//   +------+------+--------+--------+--------+--------+
//   |  ID  |FLAGS |QDCOUNT |ANCOUNT |NSCOUNT |ARCOUNT |
//   +------+------+--------+--------+--------+--------+
//   FLAGS: R(15) OPCODE(14-11) AA(10) TC(9) RD(8) RA(7) 0 0 B(4) RCODE(3-0)
// Question:  NAME (second-level, may be compressed) | TYPE(2) | CLASS(2)
// Resource record:  NAME | TYPE(2) | CLASS(2) | TTL(4) | RDLENGTH(2) | RDATA
// NB RDATA: n x ( NB_FLAGS(2): G(15) ONT(14-13) | NB_ADDRESS(4) )
// NBSTAT RDATA: NUM_NAMES(1) | NUM_NAMES x ( NAME(16, plain bytes) | NAME_FLAGS(2) )
//               | STATISTICS (unit ID: first 6 bytes; 46 bytes in all per RFC)
//
// Decoding fails (nullopt) on a truncated packet, an undecodable name, a count
// above the caps below, or RDATA that does not fit its declared length. Bytes
// after the last record are ignored.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/Ipv4Address.h"
#include "transport/NetbiosName.h"

namespace vantrel {

// FLAGS word.
inline constexpr uint16_t kNsFlagResponse = 0x8000;
inline constexpr uint16_t kNsOpcodeMask = 0x7800;
inline constexpr uint16_t kNsFlagAuthoritative = 0x0400;
inline constexpr uint16_t kNsFlagTruncated = 0x0200;
inline constexpr uint16_t kNsFlagRecursionDesired = 0x0100;
inline constexpr uint16_t kNsFlagRecursionAvailable = 0x0080;
inline constexpr uint16_t kNsFlagBroadcast = 0x0010;
inline constexpr uint16_t kNsRcodeMask = 0x000F;

inline constexpr uint8_t kNsOpcodeQuery = 0;
inline constexpr uint8_t kNsOpcodeRegistration = 5;
inline constexpr uint8_t kNsOpcodeRelease = 6;
inline constexpr uint8_t kNsOpcodeWack = 7;
inline constexpr uint8_t kNsOpcodeRefresh = 8;

inline constexpr uint8_t kNsRcodeFormatError = 1;
inline constexpr uint8_t kNsRcodeServerError = 2;
inline constexpr uint8_t kNsRcodeNameError = 3;  // the name does not exist
inline constexpr uint8_t kNsRcodeActiveError = 6;

inline constexpr uint16_t kNsTypeA = 0x0001;
inline constexpr uint16_t kNsTypeNull = 0x000A;
inline constexpr uint16_t kNsTypeNb = 0x0020;
inline constexpr uint16_t kNsTypeNbstat = 0x0021;
inline constexpr uint16_t kNsClassIn = 0x0001;

// NB_FLAGS and NAME_FLAGS.
inline constexpr uint16_t kNbFlagGroup = 0x8000;
inline constexpr uint16_t kNbOntMask = 0x6000;
inline constexpr uint16_t kNbOntB = 0x0000;
inline constexpr uint16_t kNbOntP = 0x2000;
inline constexpr uint16_t kNbOntM = 0x4000;
inline constexpr uint16_t kNbOntH = 0x6000;  // what Windows reports for an H-node
inline constexpr uint16_t kNameFlagDeregistering = 0x1000;
inline constexpr uint16_t kNameFlagConflict = 0x0800;
inline constexpr uint16_t kNameFlagActive = 0x0400;
inline constexpr uint16_t kNameFlagPermanent = 0x0200;

// Caps on what a decoder accepts.
inline constexpr uint16_t kNsMaxQuestions = 4;
inline constexpr uint16_t kNsMaxRecordsPerSection = 16;
inline constexpr size_t kNsMaxNbEntries = 256;

struct NsQuestion {
  NetbiosName name;
  uint16_t type = kNsTypeNb;
  uint16_t cls = kNsClassIn;
};

struct NsResourceRecord {
  NetbiosName name;
  uint16_t type = kNsTypeNb;
  uint16_t cls = kNsClassIn;
  uint32_t ttl = 0;
  std::vector<uint8_t> rdata;
};

struct NamePacket {
  uint16_t transactionId = 0;
  uint16_t flags = 0;
  std::vector<NsQuestion> questions;
  std::vector<NsResourceRecord> answers;
  std::vector<NsResourceRecord> authority;
  std::vector<NsResourceRecord> additional;

  bool IsResponse() const { return (flags & kNsFlagResponse) != 0; }
  uint8_t Opcode() const { return static_cast<uint8_t>((flags & kNsOpcodeMask) >> 11); }
  uint8_t Rcode() const { return static_cast<uint8_t>(flags & kNsRcodeMask); }
  bool IsBroadcast() const { return (flags & kNsFlagBroadcast) != 0; }
};

struct NbAddressEntry {
  uint16_t flags = 0;  // kNbFlagGroup | ONT
  Ipv4Address address;
  bool IsGroup() const { return (flags & kNbFlagGroup) != 0; }
  bool operator==(const NbAddressEntry&) const = default;
};

struct NodeStatusName {
  NetbiosName::Raw name{};  // the 16-byte form, not encoded
  uint16_t flags = 0;       // kNbFlagGroup | ONT | kNameFlag*
  bool operator==(const NodeStatusName&) const = default;
};

struct NodeStatus {
  std::vector<NodeStatusName> names;
  std::array<uint8_t, 6>
      unitId{};  // the first 6 bytes of STATISTICS (a MAC address), zero if absent
};

// Which of the packets this codec knows a decoded packet is.
enum class NamePacketKind {
  NameQueryRequest,           // opcode 0, R=0, one question of type NB
  NodeStatusRequest,          // opcode 0, R=0, one question of type NBSTAT
  PositiveNameQueryResponse,  // opcode 0, R=1, RCODE 0, an NB answer
  NegativeNameQueryResponse,  // opcode 0, R=1, RCODE != 0
  NodeStatusResponse,         // opcode 0, R=1, RCODE 0, an NBSTAT answer
  Other,                      // registrations, releases, WACK, ...
};

std::optional<NamePacket> ParseNamePacket(std::span<const uint8_t> bytes);
NamePacketKind ClassifyNamePacket(const NamePacket& packet);

// RDATA of an NB record: a whole number of 6-byte entries, at most kNsMaxNbEntries.
std::optional<std::vector<NbAddressEntry>> ParseNbRdata(std::span<const uint8_t> rdata);
// RDATA of an NBSTAT record. The statistics may be shorter than the RFC's 46 bytes.
std::optional<NodeStatus> ParseNodeStatusRdata(std::span<const uint8_t> rdata);

// Encodes any packet (names uncompressed). The counts are the vectors' sizes.
std::vector<uint8_t> BuildNamePacket(const NamePacket& packet);

// Flags 0x0110 when broadcast (RD, B), 0x0100 when unicast to a name server;
// recursionDesired=false clears RD.
std::vector<uint8_t> BuildNameQueryRequest(uint16_t id, const NetbiosName& name, bool broadcast,
                                           bool recursionDesired = true);
// Flags 0x8500 (R, AA, RD); one NB answer for name with the given entries.
std::vector<uint8_t> BuildPositiveNameQueryResponse(uint16_t id, const NetbiosName& name,
                                                    std::span<const NbAddressEntry> entries,
                                                    uint32_t ttl);
// Flags 0x8500 | rcode; answer of type NULL, TTL 0, no RDATA.
std::vector<uint8_t> BuildNegativeNameQueryResponse(uint16_t id, const NetbiosName& name,
                                                    uint8_t rcode = kNsRcodeNameError);
// RFC 1002 4.2.6, the owner's defence of a unique name: flags 0xAD86 (R,
// opcode 5, AA, RD, RA, RCODE 6 ACT_ERR); one NB answer for name, TTL 0, with
// the claimant's own NB entry (the first 6 bytes of its request's RDATA).
std::vector<uint8_t> BuildNegativeRegistrationResponse(uint16_t id, const NetbiosName& name,
                                                       std::span<const uint8_t> claimRdata);
// Flags 0; one NBSTAT question (usually for the wildcard).
std::vector<uint8_t> BuildNodeStatusRequest(uint16_t id,
                                            const NetbiosName& name = NetbiosName::Wildcard());
// Flags 0x8400 (R, AA); the names (at most 255) and 46 bytes of statistics
// whose first 6 are unitId.
std::vector<uint8_t> BuildNodeStatusResponse(uint16_t id, const NetbiosName& name,
                                             std::span<const NodeStatusName> names,
                                             const std::array<uint8_t, 6>& unitId);

}  // namespace vantrel
