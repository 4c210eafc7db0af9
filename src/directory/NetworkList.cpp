#include "directory/NetworkList.h"

#include <algorithm>

#include "transport/ByteReader.h"

namespace vantrel {

bool IsComputerEntry(std::string_view entry) { return !entry.empty() && entry.front() == '\\'; }

std::string_view ComputerLabel(std::string_view entry) {
  size_t skip = 0;
  while (skip < 2 && skip < entry.size() && entry[skip] == '\\') ++skip;
  return entry.substr(skip);
}

std::string_view ComputerNameOf(std::string_view entry) {
  const std::string_view label = ComputerLabel(entry);
  return label.substr(0, label.find(' '));
}

std::string EncodeNetworkListReply(const NetworkNameList& list) {
  const size_t count = std::min(list.size(), kMaxListReplyEntries);
  std::string reply(kListReplyMark);
  reply += std::to_string(count);
  reply += '\n';
  for (size_t i = 0; i < count; ++i) {
    std::string_view entry = list[i];
    entry = entry.substr(0, std::min({entry.size(), kMaxNetworkEntry, entry.find('\0')}));
    reply += entry;
    reply += '\0';
  }
  return reply;
}

std::optional<NetworkNameList> DecodeNetworkListReply(std::span<const uint8_t> reply) {
  if (reply.size() > kMaxListReplyBytes) return std::nullopt;
  ByteReader r(reply);
  const std::span<const uint8_t> mark = r.Bytes(kListReplyMark.size());
  if (!r.Ok() || !std::equal(mark.begin(), mark.end(), kListReplyMark.begin())) {
    return std::nullopt;
  }
  size_t count = 0;
  size_t digits = 0;
  for (;;) {
    const uint8_t c = r.U8();
    if (!r.Ok()) return std::nullopt;
    if (c == '\n') break;
    if (c < '0' || c > '9' || ++digits > 6) return std::nullopt;
    count = count * 10 + (c - '0');
  }
  if (digits == 0 || count > kMaxListReplyEntries) return std::nullopt;
  NetworkNameList list;
  list.reserve(std::min<size_t>(count, r.Remaining()));
  while (list.size() < count) {
    std::string entry;
    for (;;) {
      const uint8_t byte = r.U8();
      if (!r.Ok()) return std::nullopt;  // cut short
      if (byte == 0) break;
      if (entry.size() >= kMaxNetworkEntry) return std::nullopt;
      entry += static_cast<char>(byte);
    }
    list.push_back(std::move(entry));
  }
  if (!r.AtEnd()) return std::nullopt;
  return list;
}

}  // namespace vantrel
