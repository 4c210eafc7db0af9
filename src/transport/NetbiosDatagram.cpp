#include "transport/NetbiosDatagram.h"

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {

const char* DatagramParseStatusText(DatagramParseStatus status) {
  switch (status) {
    case DatagramParseStatus::kOk:
      return "ok";
    case DatagramParseStatus::kTruncated:
      return "truncated datagram";
    case DatagramParseStatus::kUnsupportedType:
      return "not a direct or broadcast datagram";
    case DatagramParseStatus::kFragment:
      return "datagram fragment";
    case DatagramParseStatus::kBadSourceName:
      return "bad source name";
    case DatagramParseStatus::kBadDestinationName:
      return "bad destination name";
  }
  return "?";
}

DatagramParseResult ParseNetbiosDatagram(std::span<const uint8_t> udpPayload) {
  DatagramParseResult result;
  NetbiosDatagram& d = result.datagram;
  ByteReader r(udpPayload);
  d.type = r.U8();
  if (r.Ok() && d.type != kDgmDirectUnique && d.type != kDgmDirectGroup &&
      d.type != kDgmBroadcast) {
    result.status = DatagramParseStatus::kUnsupportedType;  // error and query packets are shorter
    return result;
  }
  d.flags = r.U8();
  d.id = r.U16Be();
  d.sourceIp = Ipv4Address(r.U32Be());
  d.sourcePort = r.U16Be();
  d.declaredLength = r.U16Be();
  d.packetOffset = r.U16Be();
  if (!r.Ok()) {
    result.status = DatagramParseStatus::kTruncated;
    return result;
  }
  // RFC 1002 4.4.1: only a first fragment (F set) with no more to come (M
  // clear) at offset 0 is a whole datagram.
  if ((d.flags & kDgmFlagFirst) == 0 || (d.flags & kDgmFlagMore) != 0 || d.packetOffset != 0) {
    result.status = DatagramParseStatus::kFragment;
    return result;
  }
  auto source = ReadNetbiosName(r);
  if (!source) {
    result.status = DatagramParseStatus::kBadSourceName;
    return result;
  }
  d.source = std::move(*source);
  auto destination = ReadNetbiosName(r);
  if (!destination) {
    result.status = DatagramParseStatus::kBadDestinationName;
    return result;
  }
  d.destination = std::move(*destination);
  d.userData = r.Rest();
  result.lengthMismatch = size_t{d.declaredLength} != udpPayload.size() - kDatagramHeaderSize;
  result.status = DatagramParseStatus::kOk;
  return result;
}

std::vector<uint8_t> BuildNetbiosDatagram(const NetbiosDatagram& h,
                                          std::span<const uint8_t> userData) {
  ByteWriter w;
  w.U8(h.type);
  w.U8(h.flags);
  w.U16Be(h.id);
  w.U32Be(h.sourceIp.value);
  w.U16Be(h.sourcePort);
  size_t lengthAt = w.Size();
  w.U16Be(0);  // DGM_LENGTH, patched below
  w.U16Be(h.packetOffset);
  WriteNetbiosName(w, h.source);
  WriteNetbiosName(w, h.destination);
  w.Bytes(userData);
  size_t length = w.Size() - kDatagramHeaderSize;
  if (length > 0xFFFF) return {};
  w.PatchU16Be(lengthAt, static_cast<uint16_t>(length));
  return w.Take();
}

}  // namespace vantrel
