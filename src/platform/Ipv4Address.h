#pragma once
// An IPv4 address and a UDP/TCP endpoint, in host byte order, shared by the
// NetBIOS codecs and the network interface.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

struct Ipv4Address {
  uint32_t value = 0;  // host byte order: 198.18.0.1 is 0xC6120001

  constexpr Ipv4Address() = default;
  constexpr explicit Ipv4Address(uint32_t v) : value(v) {}
  static constexpr Ipv4Address FromOctets(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return Ipv4Address((uint32_t{a} << 24) | (uint32_t{b} << 16) | (uint32_t{c} << 8) |
                       uint32_t{d});
  }
  static constexpr Ipv4Address Any() { return Ipv4Address(0); }
  static constexpr Ipv4Address LimitedBroadcast() { return Ipv4Address(0xFFFFFFFFu); }
  static constexpr Ipv4Address Loopback() { return Ipv4Address(0x7F000001u); }

  // Dotted quad "a.b.c.d"; nullopt for anything else (no leading zeros rule,
  // no shorthand forms).
  static std::optional<Ipv4Address> Parse(std::string_view text);
  std::string ToString() const;

  constexpr bool IsAny() const { return value == 0; }
  constexpr bool IsLoopback() const { return (value >> 24) == 127; }

  constexpr auto operator<=>(const Ipv4Address&) const = default;
};

struct SocketAddress {
  Ipv4Address address;
  uint16_t port = 0;

  std::string ToString() const;  // "a.b.c.d:port"
  constexpr auto operator<=>(const SocketAddress&) const = default;
};

}  // namespace vantrel
