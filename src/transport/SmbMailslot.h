#pragma once
// SMB_COM_TRANSACTION "mailslot write": the user data of a mailslot datagram.
// Little-endian. Offsets from the start of the SMB header.
//
//   0          4     5        9     10      12                      32
//   +----------+-----+--------+-----+-------+-----------------------+
//   | FF 'SMB' | 25  | Status |Flags|Flags2 | PIDHigh..MID (ignored)|
//   +----------+-----+--------+-----+-------+-----------------------+
//   32   33    35    37    39    41   42   43    45      49   51   53
//   +----+-----+-----+-----+-----+----+----+-----+-------+----+----+----+
//   |WC17| TPC | TDC | MPC | MDC |MSC | r1 |Flags|Timeout| r2 | PC | PO |
//   +----+-----+-----+-----+-----+----+----+-----+-------+----+----+----+
//   55   57   59 60 61     63    65    67   69
//   +----+----+--+--+------+-----+-----+----+
//   | DC | DO |SC|r3|Opcode|Prio |Class|BCC |
//   +----+----+--+--+------+-----+-----+----+
//   69: mailslot name, NUL-terminated ("\MAILSLOT\MESSNGR") | 0-3 pad | data at DO, DC bytes
//
// On receipt only Protocol, Command, WordCount (17), SetupCount (3) and the
// opcode (1, write) are checked; the data is DataCount bytes at DataOffset,
// which must lie inside the SMB and behind the name. The other header fields,
// ByteCount and any padding are not trusted. Failures give a status, no data.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr std::string_view kMessengerMailslot = "\\MAILSLOT\\MESSNGR";
inline constexpr uint8_t kSmbComTransaction = 0x25;
inline constexpr uint16_t kMailslotOpcodeWrite = 1;
inline constexpr uint16_t kMailslotClassUnreliable = 2;
inline constexpr size_t kSmbMailslotNameOffset = 69;
inline constexpr size_t kMaxMailslotNameLength = 255;

struct MailslotWrite {
  std::string name;  // as sent, e.g. "\MAILSLOT\MESSNGR"
  uint16_t priority = 0;
  uint16_t mailslotClass = kMailslotClassUnreliable;
  std::span<const uint8_t> data;  // a view into the parsed bytes
};

enum class SmbParseStatus {
  kOk,
  kTruncated,         // shorter than the fixed part (69 bytes)
  kNotSmb,            // protocol bytes are not FF 'SMB'
  kNotTransaction,    // command is not 0x25
  kNotMailslotWrite,  // word count, setup count or opcode wrong
  kBadName,           // no NUL-terminated name of at most 255 bytes
  kBadDataRange,      // DataOffset/DataCount outside the SMB or over the name
};

const char* SmbParseStatusText(SmbParseStatus status);

struct SmbParseResult {
  SmbParseStatus status = SmbParseStatus::kTruncated;
  MailslotWrite write;
  bool ok() const { return status == SmbParseStatus::kOk; }
};

SmbParseResult ParseMailslotWrite(std::span<const uint8_t> smb);

struct MailslotWriteOptions {
  uint16_t priority = 0;
  uint16_t mailslotClass = kMailslotClassUnreliable;
  bool alignData = true;  // pad so that the data starts on a 4-byte boundary of the SMB
};

// Builds the SMB as Windows clients do (Flags, PID and MaxParameterCount left
// 0, ParameterOffset = DataOffset). The name and data must keep every count
// inside 16 bits; callers limit the data far below that.
std::vector<uint8_t> BuildMailslotWrite(std::string_view mailslotName,
                                        std::span<const uint8_t> data,
                                        const MailslotWriteOptions& options = {});

// Mailslot names compare without regard to case (ASCII letters).
bool MailslotNamesEqual(std::string_view a, std::string_view b);

}  // namespace vantrel
