// Message records from stored bytes, their field reader, equality and hash;
// Messenger datagrams split and rebuilt.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "transport/Datagram.h"
#include "transport/MessageRecord.h"

using vantrel::MessageFields;
using vantrel::MessageRecord;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every field lies inside the record and holds no zero byte.
void CheckFields(const MessageRecord& r) {
  MessageFields f = r.Fields();
  const char* begin = reinterpret_cast<const char*>(r.bytes().data());
  const char* end = begin + r.size();
  for (std::string_view s : {f.time, f.sender, f.receiver, f.text}) {
    if (s.empty()) continue;
    Check(s.data() >= begin && s.data() + s.size() <= end);
    Check(s.find('\0') == std::string_view::npos);
  }
  Check(r.SizePrefix() == r.size());
}

void CheckSelfEquality(const MessageRecord& r) {
  MessageRecord copy = r;
  Check(copy == r);
  Check(copy.Hash() == r.Hash());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);

  // As stored: taken only with a matching size prefix.
  vantrel::RecordError why;
  if (auto r = MessageRecord::FromBytes(bytes, &why)) {
    Check(why == vantrel::RecordError::kNone);
    CheckFields(*r);
    CheckSelfEquality(*r);
  } else {
    Check(why != vantrel::RecordError::kNone);
  }

  // The same bytes with the prefix made to fit, so the reader sees any body.
  if (size >= 4) {
    std::vector<uint8_t> fixed = bytes;
    auto n = static_cast<uint32_t>(size);
    for (int i = 0; i < 4; ++i) fixed[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
    auto r = MessageRecord::FromBytes(std::move(fixed));
    Check(r.has_value());
    CheckFields(*r);
    CheckSelfEquality(*r);
  }

  // As a datagram: split, rebuild, and record.
  vantrel::DatagramParts parts = vantrel::SplitMessengerDatagram(bytes);
  MessageRecord rec = MessageRecord::FromDatagram(bytes, "2003-10-20 09:05:07");
  Check(rec.size() == size + 25);
  CheckFields(rec);
  CheckSelfEquality(rec);
  if (parts.ok()) {
    std::vector<uint8_t> again =
        vantrel::BuildMessengerDatagram(parts.sender, parts.receiver, parts.text);
    Check(again.size() <= size && std::equal(again.begin(), again.end(), bytes.begin()));
    MessageFields f = rec.Fields();
    Check(f.sender == parts.sender && f.receiver == parts.receiver && f.text == parts.text);
    MessageRecord captured = MessageRecord::FromFields(f.time, f.sender, f.receiver, f.text);
    Check(captured.size() == parts.sender.size() + parts.receiver.size() + parts.text.size() + 28);
    MessageFields g = captured.Fields();
    Check(g.time == f.time && g.sender == f.sender && g.receiver == f.receiver && g.text == f.text);
  } else {
    Check(parts.sender.empty() && parts.receiver.empty() && parts.text.empty());
  }
  return 0;
}
