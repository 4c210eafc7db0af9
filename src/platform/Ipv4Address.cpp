#include "platform/Ipv4Address.h"

#include <charconv>

namespace vantrel {

std::optional<Ipv4Address> Ipv4Address::Parse(std::string_view text) {
  uint32_t value = 0;
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    size_t start = pos;
    while (pos < text.size() && pos - start < 4 && text[pos] >= '0' && text[pos] <= '9') ++pos;
    if (pos == start || pos - start > 3) return std::nullopt;
    unsigned octet = 0;
    std::from_chars(text.data() + start, text.data() + pos, octet);
    if (octet > 255) return std::nullopt;
    value = (value << 8) | octet;
  }
  if (pos != text.size()) return std::nullopt;
  return Ipv4Address(value);
}

std::string Ipv4Address::ToString() const {
  return std::to_string(value >> 24) + '.' + std::to_string((value >> 16) & 0xFF) + '.' +
         std::to_string((value >> 8) & 0xFF) + '.' + std::to_string(value & 0xFF);
}

std::string SocketAddress::ToString() const {
  return address.ToString() + ':' + std::to_string(port);
}

}  // namespace vantrel
