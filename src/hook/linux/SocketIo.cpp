#include "hook/linux/SocketIo.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace vantrel::capture {
namespace {

int RemainingMs(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

bool ReadExactly(int fd, uint8_t* out, size_t n, SteadyClock::time_point deadline) {
  size_t got = 0;
  while (got < n) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t r = recv(fd, out + got, n - got, MSG_DONTWAIT);
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t n, SteadyClock::time_point deadline) {
  size_t sent = 0;
  while (sent < n) {
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t w = send(fd, data + sent, n - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (w < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (w <= 0) return false;
    sent += static_cast<size_t>(w);
  }
  return true;
}

}  // namespace vantrel::capture
