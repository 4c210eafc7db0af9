#include "transport/SmbMessage.h"

#include <algorithm>

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {
namespace {

constexpr uint8_t kFormatDataBlock = 0x01;
constexpr uint8_t kFormatDialect = 0x02;
constexpr uint8_t kFormatString = 0x04;

// The bytes up to the next zero byte, which is read too; fails the reader when
// there is none.
std::span<const uint8_t> ReadZeroTerminated(ByteReader& r) {
  size_t n = 0;
  ByteReader look = r;
  while (look.Ok() && !look.AtEnd() && look.PeekU8() != 0) {
    look.U8();
    ++n;
  }
  std::span<const uint8_t> s = r.Bytes(n);
  if (r.U8() != 0 || !r.Ok()) {
    r.Fail();
    return {};
  }
  return s;
}

// A buffer-format byte, then what it introduces.
std::span<const uint8_t> ReadString(ByteReader& r) {
  if (r.U8() != kFormatString) r.Fail();
  return ReadZeroTerminated(r);
}

std::span<const uint8_t> ReadDataBlock(ByteReader& r) {
  if (r.U8() != kFormatDataBlock) r.Fail();
  const uint16_t length = r.U16Le();
  return r.Bytes(length);
}

bool Is(const SmbPacket& frame, uint8_t command, size_t wordCount) {
  return frame.header.command == command && frame.WordCount() == wordCount;
}

}  // namespace

uint16_t SmbPacket::Word(size_t i) const {
  if (i >= WordCount()) return 0;
  return static_cast<uint16_t>(words[2 * i] | (words[2 * i + 1] << 8));
}

std::optional<SmbPacket> ParseSmb(std::span<const uint8_t> smb) {
  ByteReader r(smb);
  std::span<const uint8_t> protocol = r.Bytes(4);
  if (!r.Ok() || protocol[0] != 0xFF || protocol[1] != 'S' || protocol[2] != 'M' ||
      protocol[3] != 'B')
    return std::nullopt;
  SmbPacket f;
  f.header.command = r.U8();         // 4
  f.header.status = r.U32Le();       // 5
  f.header.flags = r.U8();           // 9
  f.header.flags2 = r.U16Le();       // 10
  f.header.pidHigh = r.U16Le();      // 12
  r.Skip(8);                         // 14 security features
  r.Skip(2);                         // 22 reserved
  f.header.tid = r.U16Le();          // 24
  f.header.pidLow = r.U16Le();       // 26
  f.header.uid = r.U16Le();          // 28
  f.header.mid = r.U16Le();          // 30
  const uint8_t wordCount = r.U8();  // 32
  f.words = r.Bytes(size_t{wordCount} * 2);
  const uint16_t byteCount = r.U16Le();
  f.bytes = r.Bytes(byteCount);
  if (!r.Ok()) return std::nullopt;
  return f;
}

std::optional<std::vector<std::string_view>> ParseNegotiateRequest(const SmbPacket& frame) {
  if (!Is(frame, kSmbComNegotiate, 0)) return std::nullopt;
  std::vector<std::string_view> dialects;
  ByteReader r(frame.bytes);
  while (r.Ok() && !r.AtEnd()) {
    if (r.U8() != kFormatDialect) r.Fail();
    std::span<const uint8_t> d = ReadZeroTerminated(r);
    if (r.Ok()) dialects.emplace_back(reinterpret_cast<const char*>(d.data()), d.size());
  }
  if (!r.Ok()) return std::nullopt;
  return dialects;
}

uint16_t ChooseDialect(const std::vector<std::string_view>& dialects) {
  auto it = std::find(dialects.begin(), dialects.end(), kCoreDialect);
  if (it == dialects.end() || it - dialects.begin() >= kNoDialect) return kNoDialect;
  return static_cast<uint16_t>(it - dialects.begin());
}

std::optional<SendMessageRequest> ParseSendMessage(const SmbPacket& frame) {
  if (!Is(frame, kSmbComSendMessage, 0)) return std::nullopt;
  ByteReader r(frame.bytes);
  SendMessageRequest m;
  m.originator = ReadString(r);
  m.destination = ReadString(r);
  m.text = ReadDataBlock(r);
  if (!r.Ok()) return std::nullopt;
  return m;
}

std::optional<SendStartRequest> ParseSendStart(const SmbPacket& frame) {
  if (!Is(frame, kSmbComSendStartMb, 0)) return std::nullopt;
  ByteReader r(frame.bytes);
  SendStartRequest m;
  m.originator = ReadString(r);
  m.destination = ReadString(r);
  if (!r.Ok()) return std::nullopt;
  return m;
}

std::optional<SendTextRequest> ParseSendText(const SmbPacket& frame) {
  if (!Is(frame, kSmbComSendTextMb, 1)) return std::nullopt;
  ByteReader r(frame.bytes);
  SendTextRequest m;
  m.groupId = frame.Word(0);
  m.text = ReadDataBlock(r);
  if (!r.Ok()) return std::nullopt;
  return m;
}

std::optional<SendEndRequest> ParseSendEnd(const SmbPacket& frame) {
  if (!Is(frame, kSmbComSendEndMb, 1)) return std::nullopt;
  return SendEndRequest{frame.Word(0)};
}

std::vector<uint8_t> BuildSmbResponse(const SmbHeader& request, const SmbError& error,
                                      std::span<const uint16_t> words,
                                      std::span<const uint8_t> bytes) {
  ByteWriter w;
  w.U8(0xFF);
  w.Text("SMB");
  w.U8(request.command);
  if ((request.flags2 & kSmbFlags2NtStatus) != 0) {
    w.U32Le(error.ntStatus);
  } else {
    w.U8(error.dosClass);
    w.U8(0);
    w.U16Le(error.dosCode);
  }
  w.U8(static_cast<uint8_t>(request.flags | kSmbFlagsReply));
  w.U16Le(request.flags2);
  w.U16Le(request.pidHigh);
  w.Zeros(8);  // security features
  w.Zeros(2);  // reserved
  w.U16Le(request.tid);
  w.U16Le(request.pidLow);
  w.U16Le(request.uid);
  w.U16Le(request.mid);
  const size_t wordCount = std::min<size_t>(words.size(), 255);
  w.U8(static_cast<uint8_t>(wordCount));
  for (size_t i = 0; i < wordCount; ++i) w.U16Le(words[i]);
  const size_t byteCount = std::min<size_t>(bytes.size(), 0xFFFF);
  w.U16Le(static_cast<uint16_t>(byteCount));
  w.Bytes(bytes.first(byteCount));
  return w.Take();
}

std::vector<uint8_t> BuildNegotiateResponse(const SmbHeader& request, uint16_t dialectIndex) {
  const uint16_t words[] = {dialectIndex};
  return BuildSmbResponse(request, kSmbSuccess, words);
}

std::vector<uint8_t> BuildSendStartResponse(const SmbHeader& request, uint16_t groupId) {
  const uint16_t words[] = {groupId};
  return BuildSmbResponse(request, kSmbSuccess, words);
}

std::vector<uint8_t> BuildEmptyResponse(const SmbHeader& request, const SmbError& error) {
  return BuildSmbResponse(request, error, {});
}

}  // namespace vantrel
