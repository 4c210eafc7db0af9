#pragma once
// The computer name at an IPv4 address, asked with a NetBIOS node status
// request (RFC 1002 4.2.17/4.2.18) to UDP 137 of that address: the first
// unique name with suffix <00> in the answer. A sender given an address
// instead of a name learns whom to write to this way (a datagram must name
// its receiver).

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/Network.h"

namespace vantrel {

struct NodeStatusTimings {
  int tries = 3;
  std::chrono::milliseconds wait{250};  // per try
  uint16_t port = 137;                  // the name service port asked (tests use another)
};

// The computer name (without padding) of a node status response: the first
// active unique name with suffix 0x00; nothing when there is none or the
// packet is no node status response for transaction id.
std::optional<std::string> ComputerNameFromNodeStatus(std::span<const uint8_t> packet, uint16_t id);

// Asks address for its names; nothing when it does not answer within the
// tries or names no computer.
std::optional<std::string> QueryComputerName(INetwork& network, Ipv4Address address,
                                             NodeStatusTimings timings = {});

}  // namespace vantrel
