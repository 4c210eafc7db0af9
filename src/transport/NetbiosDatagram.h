#pragma once
// NetBIOS datagram service packets (UDP 138, RFC 1002 4.4.1-4.4.2). Big-endian.
//
//   0      1      2        4            8            10           12             14
//   +------+------+--------+------------+------------+------------+--------------+
//   | TYPE |FLAGS | DGM_ID | SOURCE_IP  |SOURCE_PORT | DGM_LENGTH |PACKET_OFFSET |
//   +------+------+--------+------------+------------+------------+--------------+
//   | SOURCE_NAME (second-level, 34 bytes with no scope)                          |
//   | DESTINATION_NAME (second-level; "*" for BROADCAST)                          |
//   | USER_DATA (for mailslots: an SMB transaction)                               |
//   +-----------------------------------------------------------------------------+
//   TYPE: 0x10 DIRECT_UNIQUE, 0x11 DIRECT_GROUP, 0x12 BROADCAST (the three
//   bodies handled here); 0x13..0x16 error and query packets are refused.
//   FLAGS: 0000 SNT(2) F M; M = more fragments follow, F = first fragment.
//   DGM_LENGTH counts the names and the user data, not the 14-byte header.
//
// On receipt the user data is everything behind the names, as far as the UDP
// payload goes: DGM_LENGTH is not trusted (a mismatch is only reported).
// Fragments (M set or PACKET_OFFSET not 0) are refused: mailslot messages are
// never fragmented and this receiver does not reassemble.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Ipv4Address.h"
#include "transport/NetbiosName.h"

namespace vantrel {

inline constexpr uint16_t kNetbiosDatagramPort = 138;
inline constexpr size_t kDatagramHeaderSize = 14;

inline constexpr uint8_t kDgmDirectUnique = 0x10;
inline constexpr uint8_t kDgmDirectGroup = 0x11;
inline constexpr uint8_t kDgmBroadcast = 0x12;
inline constexpr uint8_t kDgmError = 0x13;

inline constexpr uint8_t kDgmFlagMore = 0x01;
inline constexpr uint8_t kDgmFlagFirst = 0x02;
inline constexpr uint8_t kDgmNodeMask = 0x0C;
inline constexpr uint8_t kDgmNodeB = 0x00;
inline constexpr uint8_t kDgmNodeP = 0x04;
inline constexpr uint8_t kDgmNodeM = 0x08;
inline constexpr uint8_t kDgmNodeH = 0x0C;  // RFC: NBDD; Windows: H-node

struct NetbiosDatagram {
  uint8_t type = kDgmDirectUnique;
  uint8_t flags = kDgmFlagFirst | kDgmNodeB;
  uint16_t id = 0;
  Ipv4Address sourceIp;
  uint16_t sourcePort = kNetbiosDatagramPort;
  uint16_t declaredLength = 0;  // DGM_LENGTH as received (ignored when building)
  uint16_t packetOffset = 0;
  NetbiosName source;
  NetbiosName destination;
  std::span<const uint8_t> userData;  // a view into the parsed bytes
};

enum class DatagramParseStatus {
  kOk,
  kTruncated,           // shorter than the 14-byte header
  kUnsupportedType,     // not 0x10, 0x11 or 0x12
  kFragment,            // F flag clear, M flag set or PACKET_OFFSET not 0
  kBadSourceName,       // source name undecodable or cut off
  kBadDestinationName,  // destination name undecodable or cut off
};

const char* DatagramParseStatusText(DatagramParseStatus status);

struct DatagramParseResult {
  DatagramParseStatus status = DatagramParseStatus::kTruncated;
  NetbiosDatagram datagram;     // filled as far as decoding got
  bool lengthMismatch = false;  // DGM_LENGTH disagreed with the UDP payload
  bool ok() const { return status == DatagramParseStatus::kOk; }
};

// Decodes one UDP payload. The result's userData points into `udpPayload`.
DatagramParseResult ParseNetbiosDatagram(std::span<const uint8_t> udpPayload);

// Encodes a DIRECT_UNIQUE, DIRECT_GROUP or BROADCAST datagram; DGM_LENGTH is
// computed. Returns an empty vector when the names and data do not fit the
// 16-bit DGM_LENGTH.
std::vector<uint8_t> BuildNetbiosDatagram(const NetbiosDatagram& header,
                                          std::span<const uint8_t> userData);

}  // namespace vantrel
