#pragma once
// Runs the name responder on UDP 137: a thread that waits on the socket, learns the arrival
// interface of each packet (IP_PKTINFO), lets NameResponder decide and sends its answer from
// port 137 to the query's source address and port.
//
// Port 137 is bound on 0.0.0.0 without address reuse. When another process holds it (Samba's
// nmbd answers for this host then) or the program may not bind it, there is no responder;
// that is a state, not an error.

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/Network.h"
#include "transport/Identity.h"
#include "transport/NameResponder.h"
#include "transport/linux/ServiceSocket.h"

namespace vantrel::linux {

inline constexpr uint16_t kNameServicePort = 137;

// kPortHeld: another process holds the port (e.g. nmbd).
using ResponderState = ServiceState;

const char* ResponderStateText(ResponderState state);

class NbnsResponderService {
 public:
  // network gives the interface list (and is asked again when a packet arrives on an address
  // it did not list, at most once a second); it must outlive the service.
  NbnsResponderService(Identity identity, INetwork& network);
  ~NbnsResponderService();
  NbnsResponderService(const NbnsResponderService&) = delete;
  NbnsResponderService& operator=(const NbnsResponderService&) = delete;

  // Binds bindAddress:port and starts the thread. Port 0 picks a free port (tests).
  ResponderState Start(uint16_t port = kNameServicePort,
                       Ipv4Address bindAddress = Ipv4Address::Any());
  // Stops the thread and closes the socket; safe to call twice.
  void Stop();

  ResponderState State() const { return socket_.State(); }
  uint16_t Port() const { return socket_.Port(); }
  ResponderCounters Counters() const;

 private:
  void Run();
  void HandleOne(const uint8_t* data, size_t size, const QueryArrival& arrival);

  INetwork& network_;
  mutable std::mutex mutex_;  // guards responder_
  NameResponder responder_;
  int64_t lastRefreshMs_ = 0;
  ServiceSocket socket_;  // last: its thread stops before the members it uses go
};

}  // namespace vantrel::linux
