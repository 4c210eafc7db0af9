#include "transport/SessionService.h"

#include "transport/ByteWriter.h"

namespace vantrel {

std::optional<SessionHeader> ReadSessionHeader(ByteReader& r) {
  SessionHeader h;
  h.type = r.U8();
  const uint8_t flags = r.U8();
  const uint16_t low = r.U16Be();
  if (!r.Ok()) return std::nullopt;
  if ((flags & 0xFE) != 0) {
    r.Fail();
    return std::nullopt;
  }
  h.length = (uint32_t{flags & 1u} << 16) | low;
  return h;
}

std::optional<SessionRequest> ParseSessionRequest(std::span<const uint8_t> trailer) {
  ByteReader r(trailer);
  std::optional<NetbiosName> called = ReadNetbiosName(r);
  std::optional<NetbiosName> calling = ReadNetbiosName(r);
  if (!r.Ok() || !called || !calling || !r.AtEnd()) return std::nullopt;
  return SessionRequest{std::move(*called), std::move(*calling)};
}

std::vector<uint8_t> BuildSessionPacket(uint8_t type, std::span<const uint8_t> trailer) {
  ByteWriter w;
  w.U8(type);
  w.U8(static_cast<uint8_t>((trailer.size() >> 16) & 1));  // E, bit 16 of the length
  w.U16Be(static_cast<uint16_t>(trailer.size()));
  w.Bytes(trailer);
  return w.Take();
}

std::vector<uint8_t> BuildPositiveSessionResponse() {
  return BuildSessionPacket(kSessionPositive, {});
}

std::vector<uint8_t> BuildNegativeSessionResponse(SessionError error) {
  const uint8_t code = static_cast<uint8_t>(error);
  return BuildSessionPacket(kSessionNegative, std::span(&code, 1));
}

std::vector<uint8_t> BuildSessionMessage(std::span<const uint8_t> smb) {
  return BuildSessionPacket(kSessionMessage, smb);
}

std::vector<uint8_t> BuildSessionRequest(const NetbiosName& called, const NetbiosName& calling) {
  ByteWriter names;
  WriteNetbiosName(names, called);
  WriteNetbiosName(names, calling);
  return BuildSessionPacket(kSessionRequest, names.Data());
}

void SessionFramer::Append(std::span<const uint8_t> bytes) {
  if (Broken()) return;
  // Drop what was given out before the buffer grows.
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<SessionFramer::Packet> SessionFramer::Next() {
  if (Broken()) return std::nullopt;
  ByteReader r(std::span<const uint8_t>(buffer_).subspan(start_));
  if (r.Remaining() < kSessionHeaderSize) return std::nullopt;
  std::optional<SessionHeader> header = ReadSessionHeader(r);
  if (!header) {
    fault_ = Fault::kBadHeader;
  } else if (header->length > maxTrailer_) {
    // Refused before a byte of it is kept: the announced length decides.
    fault_ = Fault::kTooLong;
  }
  if (Broken()) {
    buffer_.clear();
    buffer_.shrink_to_fit();
    start_ = 0;
    return std::nullopt;
  }
  if (r.Remaining() < header->length) return std::nullopt;
  std::span<const uint8_t> trailer = r.Bytes(header->length);
  Packet packet{*header, std::vector<uint8_t>(trailer.begin(), trailer.end())};
  start_ += kSessionHeaderSize + header->length;
  return packet;
}

}  // namespace vantrel
