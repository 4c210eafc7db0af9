#include "transport/SmbMailslot.h"

#include <algorithm>

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {
namespace {

constexpr uint8_t kProtocol[4] = {0xFF, 'S', 'M', 'B'};
constexpr uint8_t kWordCount = 17;
constexpr uint8_t kSetupCount = 3;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const char* SmbParseStatusText(SmbParseStatus status) {
  switch (status) {
    case SmbParseStatus::kOk:
      return "ok";
    case SmbParseStatus::kTruncated:
      return "truncated SMB";
    case SmbParseStatus::kNotSmb:
      return "not SMB";
    case SmbParseStatus::kNotTransaction:
      return "not an SMB transaction";
    case SmbParseStatus::kNotMailslotWrite:
      return "not a mailslot write";
    case SmbParseStatus::kBadName:
      return "bad mailslot name";
    case SmbParseStatus::kBadDataRange:
      return "data outside the SMB";
  }
  return "?";
}

bool MailslotNamesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Upper(x) == Upper(y); });
}

SmbParseResult ParseMailslotWrite(std::span<const uint8_t> smb) {
  SmbParseResult result;
  if (smb.size() < kSmbMailslotNameOffset) {
    result.status = SmbParseStatus::kTruncated;
    return result;
  }
  ByteReader r(smb);
  auto protocol = r.Bytes(4);
  if (!std::equal(protocol.begin(), protocol.end(), std::begin(kProtocol))) {
    result.status = SmbParseStatus::kNotSmb;
    return result;
  }
  if (r.U8() != kSmbComTransaction) {
    result.status = SmbParseStatus::kNotTransaction;
    return result;
  }
  r.Seek(32);                                 // Status .. MID are ignored
  uint8_t wordCount = r.U8();                 // 32
  r.Skip(2 + 2 + 2 + 2 + 1 + 1 + 2 + 4 + 2);  // 33 TPC TDC MPC MDC MSC r1 Flags Timeout r2
  r.Skip(2 + 2);                              // 51 ParameterCount, ParameterOffset
  uint16_t dataCount = r.U16Le();             // 55
  uint16_t dataOffset = r.U16Le();            // 57
  uint8_t setupCount = r.U8();                // 59
  r.Skip(1);                                  // 60 Reserved3
  uint16_t opcode = r.U16Le();                // 61
  result.write.priority = r.U16Le();          // 63
  result.write.mailslotClass = r.U16Le();     // 65
  r.Skip(2);                                  // 67 ByteCount: not trusted
  if (!r.Ok()) {
    result.status = SmbParseStatus::kTruncated;
    return result;
  }
  if (wordCount != kWordCount || setupCount != kSetupCount || opcode != kMailslotOpcodeWrite) {
    result.status = SmbParseStatus::kNotMailslotWrite;
    return result;
  }
  // 69: the name, up to its NUL.
  std::span<const uint8_t> rest = smb.subspan(kSmbMailslotNameOffset);
  auto limit =
      rest.begin() + static_cast<std::ptrdiff_t>(std::min(rest.size(), kMaxMailslotNameLength + 1));
  auto nul = std::find(rest.begin(), limit, 0);
  if (nul == limit) {
    result.status = SmbParseStatus::kBadName;
    return result;
  }
  size_t nameEnd = kSmbMailslotNameOffset + static_cast<size_t>(nul - rest.begin()) + 1;
  if (dataOffset < nameEnd || size_t{dataOffset} + dataCount > smb.size()) {
    result.status = SmbParseStatus::kBadDataRange;
    return result;
  }
  result.write.name.assign(rest.begin(), nul);
  result.write.data = smb.subspan(dataOffset, dataCount);
  result.status = SmbParseStatus::kOk;
  return result;
}

std::vector<uint8_t> BuildMailslotWrite(std::string_view mailslotName,
                                        std::span<const uint8_t> data,
                                        const MailslotWriteOptions& options) {
  size_t nameEnd = kSmbMailslotNameOffset + mailslotName.size() + 1;
  size_t pad = options.alignData ? (4 - nameEnd % 4) % 4 : 0;
  auto dataOffset = static_cast<uint16_t>(nameEnd + pad);
  auto dataCount = static_cast<uint16_t>(data.size());
  auto byteCount = static_cast<uint16_t>(mailslotName.size() + 1 + pad + data.size());

  ByteWriter w;
  w.Bytes(kProtocol);        // 0  Protocol
  w.U8(kSmbComTransaction);  // 4  Command
  w.Zeros(4);                // 5  Status
  w.U8(0);                   // 9  Flags
  w.U16Le(0);                // 10 Flags2
  w.U16Le(0);                // 12 PIDHigh
  w.Zeros(8);                // 14 SecurityFeatures
  w.U16Le(0);                // 22 Reserved
  w.U16Le(0);                // 24 TID
  w.U16Le(0);                // 26 PIDLow
  w.U16Le(0);                // 28 UID
  w.U16Le(0);                // 30 MID
  w.U8(kWordCount);          // 32 WordCount
  w.U16Le(0);                // 33 TotalParameterCount
  w.U16Le(dataCount);        // 35 TotalDataCount
  w.U16Le(0);                // 37 MaxParameterCount
  w.U16Le(0);                // 39 MaxDataCount
  w.U8(0);                   // 41 MaxSetupCount
  w.U8(0);                   // 42 Reserved1
  w.U16Le(0);                // 43 Flags
  w.U32Le(0);                // 45 Timeout
  w.U16Le(0);                // 49 Reserved2
  w.U16Le(0);                // 51 ParameterCount
  w.U16Le(dataOffset);       // 53 ParameterOffset (the empty parameters sit where the data starts)
  w.U16Le(dataCount);        // 55 DataCount
  w.U16Le(dataOffset);       // 57 DataOffset
  w.U8(kSetupCount);         // 59 SetupCount
  w.U8(0);                   // 60 Reserved3
  w.U16Le(kMailslotOpcodeWrite);   // 61 opcode
  w.U16Le(options.priority);       // 63 priority
  w.U16Le(options.mailslotClass);  // 65 class
  w.U16Le(byteCount);              // 67 ByteCount
  w.Text(mailslotName);            // 69 name
  w.U8(0);
  w.Zeros(pad);
  w.Bytes(data);
  return w.Take();
}

}  // namespace vantrel
