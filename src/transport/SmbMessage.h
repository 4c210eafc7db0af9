#pragma once
// The SMB pieces of a messenger session on TCP 139: the SMB frame, the
// dialect negotiation and the "send message" commands. Little-endian.
// Offsets from the start of the SMB (the trailer of a SESSION MESSAGE).
//
// SMB header and the two blocks behind it:
//
//   0          4     5        9     10      12       14          22     24    26      28    30 32
//   +----------+-----+--------+-----+-------+--------+-----------+------+-----+-------+-----+-----+
//   | FF 'SMB' | Cmd | Status |Flags|Flags2 |PIDHigh | Signature | Rsvd | TID |PIDLow | UID | MID |
//   +----------+-----+--------+-----+-------+--------+-----------+------+-----+-------+-----+-----+
//   32   33                 33+2*WC      35+2*WC
//   +----+------------------+------------+-------------------------+
//   | WC | WC 16-bit words  | ByteCount  | ByteCount bytes         |
//   +----+------------------+------------+-------------------------+
//   Bytes behind the data block are ignored.
//
// Status is an NT status (32 bits) when Flags2 has 0x4000, else a DOS error:
// class (1 byte), reserved (1 byte), code (16 bits).
//
// The commands in the data block (buffer formats: 0x01 data block = 16-bit
// length + bytes, 0x02 dialect and 0x04 string = bytes up to a zero byte):
//
//   NEGOTIATE (0x72)        WC 0   bytes: { 02 dialect 00 } ...
//     response (core)       WC 1   word: index of the chosen dialect (0xFFFF: none); BC 0
//   SEND_MESSAGE (0xD0)     WC 0   bytes: 04 originator 00 | 04 destination 00 | 01 len text
//     response              WC 0   BC 0
//   SEND_START_MB (0xD5)    WC 0   bytes: 04 originator 00 | 04 destination 00
//     response              WC 1   word: message group id; BC 0
//   SEND_TEXT_MB (0xD7)     WC 1   word: group id; bytes: 01 len text
//     response              WC 0   BC 0
//   SEND_END_MB (0xD6)      WC 1   word: group id; BC 0 (bytes ignored)
//     response              WC 0   BC 0
//
// Names and text are OEM bytes as sent. Every decoder returns nullopt for a
// frame it does not accept; views point into the decoded bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr size_t kSmbHeaderSize = 32;

inline constexpr uint8_t kSmbComNegotiate = 0x72;
inline constexpr uint8_t kSmbComSendMessage = 0xD0;
inline constexpr uint8_t kSmbComSendStartMb = 0xD5;
inline constexpr uint8_t kSmbComSendEndMb = 0xD6;
inline constexpr uint8_t kSmbComSendTextMb = 0xD7;

inline constexpr uint8_t kSmbFlagsReply = 0x80;
inline constexpr uint16_t kSmbFlags2NtStatus = 0x4000;

// The one dialect this server speaks: the core protocol, enough for messages.
inline constexpr std::string_view kCoreDialect = "PC NETWORK PROGRAM 1.0";
inline constexpr uint16_t kNoDialect = 0xFFFF;

struct SmbHeader {
  uint8_t command = 0;
  uint32_t status = 0;
  uint8_t flags = 0;
  uint16_t flags2 = 0;
  uint16_t pidHigh = 0;
  uint16_t tid = 0;
  uint16_t pidLow = 0;
  uint16_t uid = 0;
  uint16_t mid = 0;
};

struct SmbPacket {
  SmbHeader header;
  std::span<const uint8_t> words;  // 2 * WordCount bytes
  std::span<const uint8_t> bytes;  // ByteCount bytes
  size_t WordCount() const { return words.size() / 2; }
  uint16_t Word(size_t i) const;  // 0 when there is no such word
};

// Reads header, parameter and data block; nullopt when the protocol bytes are
// not FF 'SMB' or a block does not fit.
std::optional<SmbPacket> ParseSmb(std::span<const uint8_t> smb);

// The dialect strings of a NEGOTIATE request, in order; nullopt when the word
// count is not 0 or the data block is not a run of 02 string 00 entries.
std::optional<std::vector<std::string_view>> ParseNegotiateRequest(const SmbPacket& frame);
// The index of the core dialect (compared exactly), or kNoDialect.
uint16_t ChooseDialect(const std::vector<std::string_view>& dialects);

struct SendMessageRequest {  // SEND_MESSAGE
  std::span<const uint8_t> originator;
  std::span<const uint8_t> destination;
  std::span<const uint8_t> text;
};
struct SendStartRequest {  // SEND_START_MB
  std::span<const uint8_t> originator;
  std::span<const uint8_t> destination;
};
struct SendTextRequest {  // SEND_TEXT_MB
  uint16_t groupId = 0;
  std::span<const uint8_t> text;
};
struct SendEndRequest {  // SEND_END_MB
  uint16_t groupId = 0;
};

// Each checks the command and the word count of its request.
std::optional<SendMessageRequest> ParseSendMessage(const SmbPacket& frame);
std::optional<SendStartRequest> ParseSendStart(const SmbPacket& frame);
std::optional<SendTextRequest> ParseSendText(const SmbPacket& frame);
std::optional<SendEndRequest> ParseSendEnd(const SmbPacket& frame);

// An error in both forms; the response uses the one the request's Flags2 asks for.
struct SmbError {
  uint32_t ntStatus = 0;
  uint8_t dosClass = 0;
  uint16_t dosCode = 0;
};
inline constexpr SmbError kSmbSuccess{};
// ERRSRV/ERRerror: the message was not taken.
inline constexpr SmbError kSmbUnsuccessful{0xC0000001u, 0x02, 0x0001};
// ERRSRV/ERRsmbcmd: a command this server does not know.
inline constexpr SmbError kSmbNotImplemented{0xC0000002u, 0x02, 0x0040};

// A response to `request`: its command, TID, PIDs, UID and MID, its Flags2,
// Flags with the reply bit, the status in the form Flags2 asks for, then the
// words and bytes given (at most 255 words, 65535 bytes).
std::vector<uint8_t> BuildSmbResponse(const SmbHeader& request, const SmbError& error,
                                      std::span<const uint16_t> words,
                                      std::span<const uint8_t> bytes = {});

// The responses this server sends.
std::vector<uint8_t> BuildNegotiateResponse(const SmbHeader& request, uint16_t dialectIndex);
std::vector<uint8_t> BuildSendStartResponse(const SmbHeader& request, uint16_t groupId);
// WC 0, BC 0: the answer to SEND_MESSAGE, SEND_TEXT_MB, SEND_END_MB, and any error.
std::vector<uint8_t> BuildEmptyResponse(const SmbHeader& request, const SmbError& error);

}  // namespace vantrel
