#pragma once
// Which automatic answers may go out. An answer goes to whatever the SENDER
// field of a datagram says, and anyone on the network can write anything
// there: an address outside the network, a host name that sends the name
// check to DNS, the workgroup (every host of the LAN would answer the
// broadcast), or a new name 100,000 times a second. So an answer goes out
// only when
//   - its receiver is a NetBIOS computer name: 1 to 15 bytes, no dot (so
//     neither an IPv4 address nor a DNS name), no control character and none
//     of \ / : * ? " < > | + = ; , (which no NetBIOS name holds);
//   - the receiver is no group this program knows as a workgroup or domain;
//   - no answer went to the same name (without regard to case) in the last
//     5 seconds;
//   - fewer than 5 answers went out in the last second.
// Everything else is dropped and counted. An ordinary message is answered as
// it always was. Memory stays bounded: only answers that went out are
// remembered, and never longer than 5 seconds.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace vantrel {

struct AnswerGateCounters {
  uint64_t allowed = 0;
  uint64_t notAComputerName = 0;  // empty, too long, an address, a DNS name, odd bytes
  uint64_t knownGroup = 0;        // a workgroup or domain
  uint64_t sameNameTooSoon = 0;   // within 5 s of the last answer to it
  uint64_t overRate = 0;          // over 5 answers a second
  uint64_t Dropped() const { return notAComputerName + knownGroup + sameNameTooSoon + overRate; }
};

// Whether name can be a NetBIOS computer name to answer (the first rule).
bool IsAnswerableName(std::string_view name);

class AnswerGate {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSameNameInterval{5000};
  static constexpr size_t kAnswersPerSecond = 5;

  // now: the time (tests pass a fake); isKnownGroup: whether a name is a
  // workgroup or domain this program knows (compared without case by it).
  AnswerGate(std::function<Clock::time_point()> now,
             std::function<bool(std::string_view)> isKnownGroup);

  // True when an answer to receiver may go out now (and remembers it).
  bool Allow(std::string_view receiver);

  const AnswerGateCounters& Counters() const { return counters_; }

 private:
  void Forget(Clock::time_point now);

  std::function<Clock::time_point()> now_;
  std::function<bool(std::string_view)> isKnownGroup_;
  // The answers that went out in the last 5 seconds, oldest first, with the
  // receiver's name in capitals: at most 25.
  std::deque<std::pair<Clock::time_point, std::string>> sent_;
  AnswerGateCounters counters_;
};

}  // namespace vantrel
