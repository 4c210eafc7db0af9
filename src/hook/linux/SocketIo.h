#pragma once
// Reads and writes of a whole buffer on a non-blocking socket, bounded by a
// deadline.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace vantrel::capture {

using SteadyClock = std::chrono::steady_clock;

// Exactly n bytes before the deadline; false on end of stream, error or time-out.
bool ReadExactly(int fd, uint8_t* out, size_t n, SteadyClock::time_point deadline);
// All n bytes before the deadline (never raising SIGPIPE).
bool WriteAll(int fd, const uint8_t* data, size_t n, SteadyClock::time_point deadline);

}  // namespace vantrel::capture
