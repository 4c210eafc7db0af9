#include "transport/NameService.h"

#include <algorithm>

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {
namespace {

constexpr size_t kStatisticsSize = 46;
constexpr size_t kNodeStatusEntrySize = 18;

bool ReadQuestion(ByteReader& r, std::span<const uint8_t> packet, NsQuestion* q) {
  auto name = ReadCompressedNetbiosName(r, packet);
  q->type = r.U16Be();
  q->cls = r.U16Be();
  if (!name || !r.Ok()) return false;
  q->name = std::move(*name);
  return true;
}

bool ReadRecord(ByteReader& r, std::span<const uint8_t> packet, NsResourceRecord* rr) {
  auto name = ReadCompressedNetbiosName(r, packet);
  rr->type = r.U16Be();
  rr->cls = r.U16Be();
  rr->ttl = r.U32Be();
  uint16_t rdlength = r.U16Be();
  std::span<const uint8_t> rdata = r.Bytes(rdlength);
  if (!name || !r.Ok()) return false;
  rr->name = std::move(*name);
  rr->rdata.assign(rdata.begin(), rdata.end());
  return true;
}

bool ReadRecords(ByteReader& r, std::span<const uint8_t> packet, uint16_t count,
                 std::vector<NsResourceRecord>* out) {
  for (uint16_t i = 0; i < count; ++i) {
    NsResourceRecord rr;
    if (!ReadRecord(r, packet, &rr)) return false;
    out->push_back(std::move(rr));
  }
  return true;
}

void WriteRecord(ByteWriter& w, const NsResourceRecord& rr) {
  WriteNetbiosName(w, rr.name);
  w.U16Be(rr.type);
  w.U16Be(rr.cls);
  w.U32Be(rr.ttl);
  size_t n = std::min<size_t>(rr.rdata.size(), 0xFFFF);
  w.U16Be(static_cast<uint16_t>(n));
  w.Bytes(std::span(rr.rdata).first(n));
}

uint16_t Count(size_t n) { return static_cast<uint16_t>(std::min<size_t>(n, 0xFFFF)); }

}  // namespace

std::optional<NamePacket> ParseNamePacket(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  NamePacket p;
  p.transactionId = r.U16Be();
  p.flags = r.U16Be();
  uint16_t qd = r.U16Be();
  uint16_t an = r.U16Be();
  uint16_t ns = r.U16Be();
  uint16_t ar = r.U16Be();
  if (!r.Ok()) return std::nullopt;
  if (qd > kNsMaxQuestions || an > kNsMaxRecordsPerSection || ns > kNsMaxRecordsPerSection ||
      ar > kNsMaxRecordsPerSection) {
    return std::nullopt;
  }
  for (uint16_t i = 0; i < qd; ++i) {
    NsQuestion q;
    if (!ReadQuestion(r, bytes, &q)) return std::nullopt;
    p.questions.push_back(std::move(q));
  }
  if (!ReadRecords(r, bytes, an, &p.answers) || !ReadRecords(r, bytes, ns, &p.authority) ||
      !ReadRecords(r, bytes, ar, &p.additional)) {
    return std::nullopt;
  }
  return p;
}

NamePacketKind ClassifyNamePacket(const NamePacket& p) {
  if (p.Opcode() != kNsOpcodeQuery) return NamePacketKind::Other;
  if (!p.IsResponse()) {
    if (p.questions.size() != 1 || p.questions[0].cls != kNsClassIn) return NamePacketKind::Other;
    if (p.questions[0].type == kNsTypeNb) return NamePacketKind::NameQueryRequest;
    if (p.questions[0].type == kNsTypeNbstat) return NamePacketKind::NodeStatusRequest;
    return NamePacketKind::Other;
  }
  if (p.Rcode() != 0) return NamePacketKind::NegativeNameQueryResponse;
  if (p.answers.empty()) return NamePacketKind::Other;
  if (p.answers[0].type == kNsTypeNb) return NamePacketKind::PositiveNameQueryResponse;
  if (p.answers[0].type == kNsTypeNbstat) return NamePacketKind::NodeStatusResponse;
  return NamePacketKind::Other;
}

std::optional<std::vector<NbAddressEntry>> ParseNbRdata(std::span<const uint8_t> rdata) {
  if (rdata.size() % 6 != 0 || rdata.size() / 6 > kNsMaxNbEntries) return std::nullopt;
  ByteReader r(rdata);
  std::vector<NbAddressEntry> entries;
  entries.reserve(rdata.size() / 6);
  while (!r.AtEnd()) {
    NbAddressEntry e;
    e.flags = r.U16Be();
    e.address = Ipv4Address(r.U32Be());
    if (!r.Ok()) return std::nullopt;
    entries.push_back(e);
  }
  return entries;
}

std::optional<NodeStatus> ParseNodeStatusRdata(std::span<const uint8_t> rdata) {
  ByteReader r(rdata);
  uint8_t count = r.U8();
  if (!r.Ok() || r.Remaining() < size_t{count} * kNodeStatusEntrySize) return std::nullopt;
  NodeStatus status;
  status.names.reserve(count);
  for (uint8_t i = 0; i < count; ++i) {
    NodeStatusName n;
    std::span<const uint8_t> raw = r.Bytes(NetbiosName::kSize);
    n.flags = r.U16Be();
    if (!r.Ok()) return std::nullopt;
    std::copy(raw.begin(), raw.end(), n.name.begin());
    status.names.push_back(n);
  }
  std::span<const uint8_t> stats = r.Rest();
  std::copy_n(stats.begin(), std::min(stats.size(), status.unitId.size()), status.unitId.begin());
  return status;
}

std::vector<uint8_t> BuildNamePacket(const NamePacket& p) {
  ByteWriter w;
  w.U16Be(p.transactionId);
  w.U16Be(p.flags);
  w.U16Be(Count(p.questions.size()));
  w.U16Be(Count(p.answers.size()));
  w.U16Be(Count(p.authority.size()));
  w.U16Be(Count(p.additional.size()));
  for (const NsQuestion& q : p.questions) {
    WriteNetbiosName(w, q.name);
    w.U16Be(q.type);
    w.U16Be(q.cls);
  }
  for (const auto* section : {&p.answers, &p.authority, &p.additional}) {
    for (const NsResourceRecord& rr : *section) WriteRecord(w, rr);
  }
  return w.Take();
}

std::vector<uint8_t> BuildNameQueryRequest(uint16_t id, const NetbiosName& name, bool broadcast,
                                           bool recursionDesired) {
  NamePacket p;
  p.transactionId = id;
  p.flags = static_cast<uint16_t>((recursionDesired ? kNsFlagRecursionDesired : 0) |
                                  (broadcast ? kNsFlagBroadcast : 0));
  p.questions.push_back({name, kNsTypeNb, kNsClassIn});
  return BuildNamePacket(p);
}

std::vector<uint8_t> BuildPositiveNameQueryResponse(uint16_t id, const NetbiosName& name,
                                                    std::span<const NbAddressEntry> entries,
                                                    uint32_t ttl) {
  NamePacket p;
  p.transactionId = id;
  p.flags = kNsFlagResponse | kNsFlagAuthoritative | kNsFlagRecursionDesired;
  NsResourceRecord rr{name, kNsTypeNb, kNsClassIn, ttl, {}};
  ByteWriter rdata;
  for (const NbAddressEntry& e : entries.first(std::min(entries.size(), kNsMaxNbEntries))) {
    rdata.U16Be(e.flags);
    rdata.U32Be(e.address.value);
  }
  rr.rdata = rdata.Take();
  p.answers.push_back(std::move(rr));
  return BuildNamePacket(p);
}

std::vector<uint8_t> BuildNegativeNameQueryResponse(uint16_t id, const NetbiosName& name,
                                                    uint8_t rcode) {
  NamePacket p;
  p.transactionId = id;
  p.flags = static_cast<uint16_t>(kNsFlagResponse | kNsFlagAuthoritative | kNsFlagRecursionDesired |
                                  (rcode & kNsRcodeMask));
  p.answers.push_back({name, kNsTypeNull, kNsClassIn, 0, {}});
  return BuildNamePacket(p);
}

std::vector<uint8_t> BuildNegativeRegistrationResponse(uint16_t id, const NetbiosName& name,
                                                       std::span<const uint8_t> claimRdata) {
  NamePacket p;
  p.transactionId = id;
  p.flags = static_cast<uint16_t>(kNsFlagResponse | (kNsOpcodeRegistration << 11) |
                                  kNsFlagAuthoritative | kNsFlagRecursionDesired |
                                  kNsFlagRecursionAvailable | kNsRcodeActiveError);
  std::vector<uint8_t> rdata(claimRdata.begin(), claimRdata.end());
  rdata.resize(6);  // one NB entry, as in the request
  p.answers.push_back({name, kNsTypeNb, kNsClassIn, 0, std::move(rdata)});
  return BuildNamePacket(p);
}

std::vector<uint8_t> BuildNodeStatusRequest(uint16_t id, const NetbiosName& name) {
  NamePacket p;
  p.transactionId = id;
  p.flags = 0;
  p.questions.push_back({name, kNsTypeNbstat, kNsClassIn});
  return BuildNamePacket(p);
}

std::vector<uint8_t> BuildNodeStatusResponse(uint16_t id, const NetbiosName& name,
                                             std::span<const NodeStatusName> names,
                                             const std::array<uint8_t, 6>& unitId) {
  NamePacket p;
  p.transactionId = id;
  p.flags = kNsFlagResponse | kNsFlagAuthoritative;
  ByteWriter rdata;
  auto kept = names.first(std::min<size_t>(names.size(), 255));
  rdata.U8(static_cast<uint8_t>(kept.size()));
  for (const NodeStatusName& n : kept) {
    rdata.Bytes(n.name);
    rdata.U16Be(n.flags);
  }
  rdata.Bytes(unitId);
  rdata.Zeros(kStatisticsSize - unitId.size());
  p.answers.push_back({name, kNsTypeNbstat, kNsClassIn, 0, rdata.Take()});
  return BuildNamePacket(p);
}

}  // namespace vantrel
