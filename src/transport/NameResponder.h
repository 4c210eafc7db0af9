#pragma once
// Answers NetBIOS name service queries (UDP 137) for this computer's own names, the part
// of name registration that Windows does for itself:
//
//   COMPUTER<00>   unique   workstation name; mailslot datagrams to the computer
//   COMPUTER<03>   unique   messenger name
//   WORKGROUP<00>  group    mailslot datagrams to the whole workgroup
//
// What gets which answer (RFC 1002 4.2.13, 4.2.14, 4.2.18 and the end-node rules of 5.1):
//
//   name query for one of our names            positive response with the address of the
//                                              interface the query arrived on
//   name query for another name, broadcast     nothing (several nodes hear a broadcast; only
//                                              an owner answers, never a negative response)
//   name query for another name, unicast,      negative response, RCODE 3 (name error), so the
//   RD clear (asked of this node)              asker learns at once instead of timing out
//   name query for another name, unicast,      nothing: the asker takes us for its name server
//   RD set                                     (RD is only set towards one), and a "no" from us
//                                              would keep it from asking its real one
//   node status for "*" or one of our names,   node status response listing our three names
//   unicast
//   node status, broadcast or another name     nothing
//   registration of COMPUTER<00> or <03> by    negative registration response, RCODE 6
//   another node                               (ACT_ERR): the name is ours (RFC 1002 5.1.1)
//   responses, other registrations, releases,  nothing (we are no name server)
//   ...
//   from outside the subnets of our            nothing; counted (an answer to a spoofed
//   interfaces                                 source would reflect traffic at a victim)
//   undecodable packet, source port 0          nothing; counted
//
// A query counts as broadcast when its B flag is set or it was sent to a broadcast address.
// Queries that arrive on an interface outside the identity's "interfaces" are not answered.
// The answer goes to the source address and port of the query. This class only decides;
// platform/linux/NbnsResponderService runs it on a socket.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Network.h"
#include "transport/Identity.h"
#include "transport/NameService.h"

namespace vantrel {

// TTL of our positive answers, in seconds (Samba's default "max ttl", three days).
inline constexpr uint32_t kResponderTtl = 259200;

// Where and how a packet arrived.
struct QueryArrival {
  SocketAddress source;
  Ipv4Address localAddress;  // our address on the arrival interface; Any() when unknown
  Ipv4Address destination;   // the packet's IP destination; Any() when unknown
};

enum class ResponderVerdict {
  kPositive,         // positive name query response
  kNegative,         // negative name query response
  kNodeStatus,       // node status response
  kDefended,         // negative registration response: another node claimed our name
  kNotOurs,          // a query for a name we do not own that gets no answer
  kNotOurInterface,  // arrived on an interface we do not serve
  kOffSubnet,        // the source is on none of our interfaces' subnets
  kNotAQuery,        // a response or another operation
  kMalformed,        // did not decode, or cannot be answered (source port 0)
};

const char* ResponderVerdictText(ResponderVerdict verdict);

struct ResponderAction {
  ResponderVerdict verdict = ResponderVerdict::kMalformed;
  std::vector<uint8_t> reply;  // empty: send nothing
  SocketAddress to;            // where the reply goes
};

struct ResponderCounters {
  uint64_t positive = 0;
  uint64_t negative = 0;
  uint64_t nodeStatus = 0;
  uint64_t defended = 0;
  uint64_t notOurs = 0;
  uint64_t notOurInterface = 0;
  uint64_t offSubnet = 0;
  uint64_t notAQuery = 0;
  uint64_t malformed = 0;
};

class NameResponder {
 public:
  // interfaces: the addresses we serve (SelectInterfaces of the identity's patterns).
  NameResponder(Identity identity, std::vector<NetworkInterface> interfaces);

  void SetInterfaces(std::vector<NetworkInterface> interfaces);
  const std::vector<NetworkInterface>& Interfaces() const { return interfaces_; }
  const Identity& identity() const { return identity_; }

  // True when the arrival's local address is known and is none of the served ones (the
  // caller may refresh the interface list and ask again).
  bool IsUnknownLocalAddress(Ipv4Address local) const;

  ResponderAction Handle(std::span<const uint8_t> packet, const QueryArrival& arrival);

  const ResponderCounters& Counters() const { return counters_; }

 private:
  struct OwnName {
    NetbiosName name;
    bool group;
  };

  const OwnName* FindOwn(const NetbiosName& name) const;
  bool IsBroadcast(const NamePacket& packet, const QueryArrival& arrival) const;
  // The address to put into an answer; Any() when none fits.
  Ipv4Address AnswerAddress(const QueryArrival& arrival) const;
  // Whether source is on the subnet of one of the served interfaces (or is
  // this host itself, over loopback).
  bool OnOurSubnets(Ipv4Address source) const;
  // The answer to a registration request: the defence of a unique name of
  // ours that another node claims, nothing otherwise.
  ResponderAction DefendName(const NamePacket& packet, ResponderAction action) const;
  ResponderAction Count(ResponderAction action);

  Identity identity_;
  std::vector<NetworkInterface> interfaces_;
  std::vector<OwnName> names_;
  uint16_t ont_;
  ResponderCounters counters_;
};

}  // namespace vantrel
