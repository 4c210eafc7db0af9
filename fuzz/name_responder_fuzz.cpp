// The name responder on arbitrary name service packets: it never crashes, and whatever it
// answers is a packet the name service codec reads back as a response to the same id.
#include <cstdint>
#include <span>

#include "transport/NameResponder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel;
  static NameResponder responder = [] {
    NetworkInterface nic;
    nic.name = "eth0";
    nic.address = Ipv4Address::FromOctets(198, 18, 0, 11);
    nic.netmask = Ipv4Address::FromOctets(255, 255, 255, 0);
    nic.broadcast = Ipv4Address::FromOctets(198, 18, 0, 255);
    nic.broadcastCapable = true;
    nic.up = true;
    return NameResponder(MakeIdentity("ALICEPC", "LANFOLK", {}, {}), {nic});
  }();
  QueryArrival arrival{{Ipv4Address::FromOctets(198, 18, 0, 12), 137},
                       Ipv4Address::FromOctets(198, 18, 0, 11),
                       size % 2 == 0 ? Ipv4Address::FromOctets(198, 18, 0, 255)
                                     : Ipv4Address::FromOctets(198, 18, 0, 11)};
  ResponderAction action = responder.Handle(std::span<const uint8_t>(data, size), arrival);
  if (!action.reply.empty()) {
    auto reply = ParseNamePacket(action.reply);
    if (!reply || !reply->IsResponse() || size < 2 ||
        reply->transactionId != static_cast<uint16_t>(data[0] << 8 | data[1])) {
      __builtin_trap();
    }
  }
  return 0;
}
