#pragma once
// What the name responder and the session listener share: a nonblocking socket bound on the
// service's port, an eventfd that wakes the service's thread when it is to stop, and that
// thread. A port another process holds, or one the program may not bind, gives no thread;
// that is a state, not an error.

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>

#include "platform/Ipv4Address.h"

namespace vantrel::linux {

enum class ServiceState {
  kStopped,
  kRunning,
  kPortHeld,      // another process holds the port
  kNoPermission,  // a privileged port without the privilege
  kFailed,        // no socket, or another bind error
};

// The three failure texts of one service; the other states read the same for every service.
struct ServiceStateTexts {
  const char* portHeld;
  const char* noPermission;
  const char* failed;
};

const char* ServiceStateText(ServiceState state, const ServiceStateTexts& texts);

struct ServiceSocketSetup {
  int type = 0;         // SOCK_DGRAM or SOCK_STREAM
  int optionLevel = 0;  // one boolean option turned on before the bind
  int optionName = 0;
  int listenBacklog = 0;  // listen() after the bind when positive
};

class ServiceSocket {
 public:
  ServiceSocket() = default;
  ~ServiceSocket();
  ServiceSocket(const ServiceSocket&) = delete;
  ServiceSocket& operator=(const ServiceSocket&) = delete;

  // Binds bindAddress:port (port 0 picks a free port) and starts run on a thread of its own,
  // which is to return once Poll answers kStop. Returns the new state; a socket already
  // running is left as it is.
  ServiceState Start(const ServiceSocketSetup& setup, uint16_t port, Ipv4Address bindAddress,
                     std::function<void()> run);
  // Wakes the thread, waits for it and closes the sockets; safe to call twice.
  void Stop();

  enum class Wait {
    kReady,        // fds carry their revents
    kInterrupted,  // a signal came first: look at the clock and wait again
    kStop,         // Stop() was called, or poll() failed: run is to return
  };
  // poll() on fds for at most timeoutMs (-1: no limit). fds[0] is left for the wake-up
  // descriptor: Poll fills it in.
  Wait Poll(std::span<pollfd> fds, int timeoutMs) const;

  ServiceState State() const { return state_; }
  uint16_t Port() const { return port_; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<ServiceState> state_{ServiceState::kStopped};
  std::thread thread_;
};

}  // namespace vantrel::linux
