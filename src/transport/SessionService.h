#pragma once
// NetBIOS session service packets (TCP 139, RFC 1002 4.3). Big-endian.
//
// Every packet starts with the same four bytes:
//
//   0      1      2               4
//   +------+------+---------------+---------------------------+
//   | TYPE |FLAGS |    LENGTH     |  trailer, LENGTH bytes    |
//   +------+------+---------------+---------------------------+
//   FLAGS: 0000 000E; E is bit 16 of the length (so a trailer holds at most
//   0x1FFFF bytes). The seven other bits are reserved and must be 0.
//   TYPE: 0x00 SESSION MESSAGE (the trailer is one SMB), 0x81 SESSION REQUEST,
//   0x82 POSITIVE SESSION RESPONSE, 0x83 NEGATIVE SESSION RESPONSE,
//   0x84 RETARGET SESSION RESPONSE, 0x85 SESSION KEEP ALIVE.
//
// SESSION REQUEST trailer:
//   +--------------------------------+--------------------------------+
//   | CALLED NAME (second-level)     | CALLING NAME (second-level)    |
//   +--------------------------------+--------------------------------+
//   34 bytes each with the empty scope. Nothing may follow the two names.
//
// NEGATIVE SESSION RESPONSE trailer: one byte, the error code (below).
// POSITIVE SESSION RESPONSE and KEEP ALIVE: no trailer (LENGTH 0).
//
// Decoding failures give nullopt; the connection is then cut.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "transport/ByteReader.h"
#include "transport/NetbiosName.h"

namespace vantrel {

inline constexpr uint16_t kSessionServicePort = 139;
inline constexpr size_t kSessionHeaderSize = 4;
inline constexpr uint32_t kSessionMaxLength = 0x1FFFF;  // 17 bits

inline constexpr uint8_t kSessionMessage = 0x00;
inline constexpr uint8_t kSessionRequest = 0x81;
inline constexpr uint8_t kSessionPositive = 0x82;
inline constexpr uint8_t kSessionNegative = 0x83;
inline constexpr uint8_t kSessionRetarget = 0x84;
inline constexpr uint8_t kSessionKeepAlive = 0x85;

// Error codes of a NEGATIVE SESSION RESPONSE (RFC 1002 4.3.4).
enum class SessionError : uint8_t {
  kNotListeningOnCalledName = 0x80,
  kNotListeningForCallingName = 0x81,
  kCalledNameNotPresent = 0x82,
  kInsufficientResources = 0x83,
  kUnspecified = 0x8F,
};

struct SessionHeader {
  uint8_t type = kSessionMessage;
  uint32_t length = 0;  // of the trailer, 0..0x1FFFF
};

// Reads the four header bytes; nullopt (reader failed) when fewer are left or
// a reserved flag bit is set. The type is not checked here.
std::optional<SessionHeader> ReadSessionHeader(ByteReader& r);

struct SessionRequest {
  NetbiosName called;
  NetbiosName calling;
};

// Decodes the trailer of a SESSION REQUEST (the bytes behind the header).
std::optional<SessionRequest> ParseSessionRequest(std::span<const uint8_t> trailer);

// Whole packets, header included.
std::vector<uint8_t> BuildSessionPacket(uint8_t type, std::span<const uint8_t> trailer);
std::vector<uint8_t> BuildPositiveSessionResponse();
std::vector<uint8_t> BuildNegativeSessionResponse(SessionError error);
// A SESSION MESSAGE around one SMB; the SMB must be at most kSessionMaxLength bytes.
std::vector<uint8_t> BuildSessionMessage(std::span<const uint8_t> smb);
std::vector<uint8_t> BuildSessionRequest(const NetbiosName& called, const NetbiosName& calling);

// Cuts a byte stream into session packets. Bytes are appended as they come;
// Next() yields one whole packet at a time. A packet whose trailer is longer
// than maxTrailer, or whose header is malformed, poisons the stream: Next()
// then returns nullopt for good and Broken() is true. The buffer never holds
// more than one unfinished packet plus what the last Append brought.
class SessionFramer {
 public:
  struct Packet {
    SessionHeader header;
    std::vector<uint8_t> trailer;
  };
  enum class Fault { kNone, kBadHeader, kTooLong };

  explicit SessionFramer(size_t maxTrailer) : maxTrailer_(maxTrailer) {}

  void Append(std::span<const uint8_t> bytes);
  std::optional<Packet> Next();
  bool Broken() const { return fault_ != Fault::kNone; }
  Fault fault() const { return fault_; }
  // Bytes received but not yet given out as a packet.
  size_t Pending() const { return buffer_.size() - start_; }

 private:
  size_t maxTrailer_;
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // first byte not yet given out
  Fault fault_ = Fault::kNone;
};

}  // namespace vantrel
