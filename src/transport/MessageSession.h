#pragma once
// Receiving `net send` / `smbclient -M` messages over the NetBIOS session
// service, without sockets: one MessageSession per TCP connection turns the
// bytes it receives into the bytes to answer and the pop-up texts to deliver;
// MessageSessionTable admits connections, enforces the limits and counts what
// it drops. The Linux listener (transport/linux/SessionListener) only moves
// bytes between sockets and a table.
//
// A connection's road:
//   accept ─ SESSION REQUEST to COMPUTER<03> ─ POSITIVE RESPONSE
//          ─ [NEGOTIATE ─ core dialect]                (optional; smbclient skips it)
//          ─ SEND_MESSAGE, or SEND_START_MB, SEND_TEXT_MB..., SEND_END_MB  (repeatable)
//          ─ the client closes.
// smbclient -M (Samba 4.17) sends no NEGOTIATE and always the multi-block
// form, the text in pieces of at most 127 bytes, LF turned into CR LF.
//
// Every finished message becomes one captured pop-up text in the layout
// ParsePopupText reads (ComposePopupText).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4Address.h"
#include "transport/NetbiosName.h"
#include "transport/SessionService.h"
#include "transport/SmbMessage.h"

namespace vantrel {

using SessionClock = std::chrono::steady_clock;

// The captured pop-up text of one message, at most kCapturedPopupMax bytes:
//   layout 2 (language class 2):  Message from SENDER to RECEIVER on DATE TIME
//   layout 1 (language class 1):  Message on DATE TIME from SENDER to RECEIVER received
// then CR LF and the body. ParsePopupText finds the sender 6th (layout 2) or 4th
// (layout 1) and the receiver 4th or 2nd word from the end of the first line.
// So that the words stay where it counts them, blanks, CR, LF and control
// bytes in the names become '_', a colon in the sender too (a colon makes
// ParsePopupText look elsewhere), and each name is cut to 15 bytes. The body
// ends at its first zero byte; the whole text is cut at kCapturedPopupMax
// bytes. Language class 0 has no layout: the result is empty.
inline constexpr size_t kCapturedPopupMax = 1023;
std::string ComposePopupText(std::string_view sender, std::string_view receiver,
                             std::string_view timeText, std::string_view body, int languageClass);

// The OEM code page a sender of messages uses beside an ANSI code page (the
// text of SMB messages is OEM). Western pages map to 850, which is also
// Samba's default "dos charset"; the double-byte pages are their own OEM page.
uint32_t OemCodePageFor(uint32_t ansiCodePage);

struct MessageSessionConfig {
  NetbiosName calledName;                 // COMPUTER<03>: the one name sessions are taken for
  std::string computerName;               // the receiver when a message names none
  int languageClass = 2;                  // the pop-up layout (1 or 2)
  std::function<std::string()> timeText;  // the local time, "%Y-%m-%d %H:%M:%S"
  // OEM bytes (names and text) to the system code page; empty: kept as they are.
  std::function<std::string(std::string_view)> fromOem;
};

struct SessionLimits {
  size_t maxTrailer = 4096;           // one SMB; messaging needs a few hundred bytes
  size_t maxConnectionBytes = 16384;  // everything one connection may send
  size_t maxMessages = 8;             // messages per connection
  size_t maxTextBytes = 2048;         // text of one message kept (the rest is read and dropped)
  size_t maxConnections = 16;         // open at once
  size_t maxPerSource = 4;            // open at once from one address
  // New connections from one address: a bucket of `sourceBurst`, refilled by
  // one every `sourceRefill`.
  size_t sourceBurst = 10;
  std::chrono::milliseconds sourceRefill{1000};
  size_t maxTrackedSources = 1024;  // addresses whose bucket is remembered
  // Messages delivered, from all connections together.
  size_t deliveryBurst = 20;
  std::chrono::milliseconds deliveryRefill{200};
  // The SESSION REQUEST must come this soon after the connection opens.
  std::chrono::milliseconds requestTimeout{10000};
  // Then the client may be silent this long (smbclient waits for its user to
  // type the message after the session is set up).
  std::chrono::milliseconds idleTimeout{120000};
  std::chrono::milliseconds lifetime{300000};  // a connection lives at most this long
  // With every slot taken, a newcomer replaces the connection that has been
  // silent longest, if silent at least this long.
  std::chrono::milliseconds evictAfter{2000};
};

// Why a connection was cut or a message not taken; each is counted.
enum class SessionDrop {
  kBadFrame,        // malformed session header or a packet type out of place
  kFrameTooLong,    // a packet over maxTrailer
  kBadRequest,      // a SESSION REQUEST that does not decode
  kNotOurName,      // called name is not COMPUTER<03> (NEGATIVE RESPONSE sent)
  kNotSmb,          // a SESSION MESSAGE that is no SMB
  kBadMessage,      // a message command that does not decode, or out of order
  kByteLimit,       // maxConnectionBytes passed
  kMessageLimit,    // maxMessages passed
  kDeliveryRate,    // the delivery bucket was empty (the sender is told)
  kNoSender,        // neither the message nor the session names a sender (the sender is told)
  kNoLayout,        // language class 0: no pop-up layout (the sender is told)
  kRequestTimeout,  // no SESSION REQUEST in time
  kIdle,            // silent for idleTimeout
  kLifetime,        // open for lifetime
  kEvicted,         // replaced by a newcomer while all slots were taken
  kRefusedFull,     // not admitted: every slot taken
  kRefusedSource,   // not admitted: maxPerSource from that address
  kRefusedRate,     // not admitted: that address's bucket was empty
  kCount,
};
const char* SessionDropText(SessionDrop drop);

struct SessionCounters {
  uint64_t accepted = 0;         // connections admitted
  uint64_t sessions = 0;         // POSITIVE RESPONSES sent
  uint64_t negotiations = 0;     // NEGOTIATE answered
  uint64_t delivered = 0;        // pop-up texts handed on
  uint64_t unknownCommands = 0;  // SMBs answered "not implemented"
  uint64_t drops[static_cast<size_t>(SessionDrop::kCount)] = {};
  uint64_t Drops(SessionDrop d) const { return drops[static_cast<size_t>(d)]; }
};

// What one step of a session asks for.
struct SessionStep {
  std::vector<uint8_t> reply;       // bytes to send, in order
  std::vector<std::string> texts;   // captured pop-up texts, in order
  bool close = false;               // close once the reply is sent
  std::optional<SessionDrop> drop;  // why it closes or what was not taken
};

class MessageSession {
 public:
  enum class State { kAwaitRequest, kEstablished, kClosed };

  // config and limits must outlive the session; what it does is counted in
  // counters. allowDelivery, when given, is asked before each message is
  // handed on; false refuses the message (the sender gets an error) without
  // closing.
  MessageSession(const MessageSessionConfig& config, const SessionLimits& limits,
                 SessionCounters& counters, std::function<bool()> allowDelivery = {});
  MessageSession(const MessageSession&) = delete;
  MessageSession& operator=(const MessageSession&) = delete;

  // Takes bytes as they arrive.
  SessionStep Feed(std::span<const uint8_t> bytes);

  State state() const { return state_; }
  size_t BytesReceived() const { return received_; }
  // Bytes buffered: at most maxTrailer + 4 plus one Feed.
  size_t Buffered() const { return framer_.Pending() + text_.size(); }

 private:
  void OnPacket(const SessionFramer::Packet& packet, SessionStep& step);
  void OnSessionRequest(std::span<const uint8_t> trailer, SessionStep& step);
  void OnSmb(std::span<const uint8_t> smb, SessionStep& step);
  void Deliver(const SmbHeader& request, SessionStep& step);
  void Cut(SessionStep& step, SessionDrop drop);
  void Reply(SessionStep& step, const std::vector<uint8_t>& smb);
  void AppendText(std::span<const uint8_t> text);

  const MessageSessionConfig& config_;
  const SessionLimits& limits_;
  SessionCounters& counters_;
  std::function<bool()> allowDelivery_;
  SessionFramer framer_;
  State state_ = State::kAwaitRequest;
  size_t received_ = 0;
  size_t messages_ = 0;
  std::string callingName_;
  // The message being assembled (multi-block), or none.
  bool groupOpen_ = false;
  uint16_t groupId_ = 0;
  uint16_t lastGroupId_ = 0;
  std::string originator_;
  std::string destination_;
  std::string text_;
};

// All connections of one listener. Ids are never reused.
class MessageSessionTable {
 public:
  using Id = uint64_t;
  struct Admission {
    std::optional<Id> id;       // admitted
    std::optional<Id> evicted;  // to close first (its slot went to the newcomer)
    std::optional<SessionDrop> refused;
  };
  struct Expired {
    Id id;
    SessionDrop why;
  };

  MessageSessionTable(MessageSessionConfig config, SessionLimits limits);
  MessageSessionTable(const MessageSessionTable&) = delete;
  MessageSessionTable& operator=(const MessageSessionTable&) = delete;

  Admission Open(Ipv4Address source, SessionClock::time_point now);
  // The step of that connection; a closing step removes it from the table.
  SessionStep Feed(Id id, std::span<const uint8_t> bytes, SessionClock::time_point now);
  // The peer closed or the socket failed.
  void Close(Id id);
  // Connections past a time limit, removed from the table.
  std::vector<Expired> Expire(SessionClock::time_point now);
  // When the next time limit falls due; nullopt with no connection.
  std::optional<SessionClock::time_point> NextDeadline() const;

  size_t Open() const { return connections_.size(); }
  size_t TrackedSources() const { return buckets_.size(); }
  const SessionCounters& Counters() const { return counters_; }
  const SessionLimits& Limits() const { return limits_; }

 private:
  struct Connection {
    Ipv4Address source;
    SessionClock::time_point opened;
    SessionClock::time_point lastHeard;
    std::unique_ptr<MessageSession> session;
  };
  struct Bucket {
    double tokens = 0;
    SessionClock::time_point updated;
  };
  SessionClock::time_point DeadlineOf(const Connection& c) const;
  bool TakeSourceToken(Ipv4Address source, SessionClock::time_point now);
  bool TakeDeliveryToken();
  void Count(SessionDrop drop) { ++counters_.drops[static_cast<size_t>(drop)]; }
  bool Take(Bucket& bucket, double burst, std::chrono::milliseconds refill,
            SessionClock::time_point now);

  MessageSessionConfig config_;
  SessionLimits limits_;
  std::map<Id, Connection> connections_;
  std::map<uint32_t, Bucket> buckets_;
  Bucket delivery_;
  SessionClock::time_point now_;  // of the Feed that asks for a delivery token
  Id nextId_ = 1;
  SessionCounters counters_;
};

}  // namespace vantrel
