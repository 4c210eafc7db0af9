#pragma once
// Receives `net send` / `smbclient -M` messages on the NetBIOS session
// service, TCP 139: one thread waits with poll() on the listening socket and
// every open connection (all nonblocking; no thread per connection), moves
// the bytes into a MessageSessionTable, writes its answers and hands each
// captured pop-up text to the delivery function (on this thread; the caller
// moves it where it belongs).
//
// Port 139 is bound on 0.0.0.0. When another process holds it (Samba's smbd
// takes messages itself then) or the program may not bind it, there is no
// listener; that is a state, not an error. SO_REUSEADDR is set: on Linux it
// never lets two sockets listen on one TCP port (a bind beside smbd's
// listening socket still fails), it only lets a restarted program bind while
// connections of its previous run are in TIME_WAIT. SO_REUSEPORT, which would
// share the port, is never set.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/Ipv4Address.h"
#include "transport/MessageSession.h"
#include "transport/linux/ServiceSocket.h"

namespace vantrel::linux {

// kPortHeld: another process listens on the port (e.g. smbd).
using ListenerState = ServiceState;

const char* ListenerStateText(ListenerState state);

class SessionListener {
 public:
  // Called on the listener's thread with each captured pop-up text.
  using Deliver = std::function<void(std::string popupText)>;

  SessionListener(MessageSessionConfig config, SessionLimits limits, Deliver deliver);
  ~SessionListener();
  SessionListener(const SessionListener&) = delete;
  SessionListener& operator=(const SessionListener&) = delete;

  // Binds bindAddress:port and starts the thread. Port 0 picks a free port (tests).
  ListenerState Start(uint16_t port = kSessionServicePort,
                      Ipv4Address bindAddress = Ipv4Address::Any());
  // Stops the thread and closes every socket; safe to call twice.
  void Stop();

  ListenerState State() const { return socket_.State(); }
  uint16_t Port() const { return socket_.Port(); }
  SessionCounters Counters() const;
  size_t OpenConnections() const;

 private:
  void Run();

  Deliver deliver_;
  mutable std::mutex mutex_;  // guards table_ (read by Counters from other threads)
  MessageSessionTable table_;
  ServiceSocket socket_;  // last: its thread stops before the members it uses go
};

}  // namespace vantrel::linux
