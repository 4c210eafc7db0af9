#pragma once
// The local mailslot "messngr" on the NetBIOS datagram service.
//
// Owning the mailslot is owning UDP 138: OpenMessageSlot binds 0.0.0.0:138
// without address reuse, so a bind that fails means another process (nmbd,
// another copy) owns it, or we lack the privilege for a low port. While open,
// a reader thread moves every arriving datagram at once off the socket (in
// batches) through the receive ladder into an in-process queue, so the kernel
// buffer cannot overflow between the one-second polls of the receive window:
//
//   UDP payload
//     -> NetBIOS datagram decodes; type 0x10, 0x11 or 0x12; not a fragment
//     -> SMB mailslot write decodes
//     -> mailslot name is \MAILSLOT\MESSNGR (without regard to case)
//     -> not the echo of our own group send (see below)
//     -> destination is COMPUTER<00>, COMPUTER<03>, WORKGROUP<00> or "*"
//     -> the SMB data bytes are queued as one mailslot message
//
// A message we send to our workgroup (or "*") goes to the subnet broadcast and
// comes back to our own socket. That echo (UDP source = one of our addresses
// and our port, NetBIOS source = COMPUTER<00>, group destination) is dropped:
// the user did not write to himself, and his own automatic answer to it would
// follow. A message sent to our own computer name is still received.
//
// Everything else is dropped and counted by reason. The queue has no count
// limit; a byte ceiling (default 8 MiB, more than a second of a flood at
// full speed between two polls) protects the process, and what it refuses is
// counted too.
//
// GetMailslotInfo and ReadMailslotMessage read that queue as the system's
// mailslot calls would; TakeAll hands over everything waiting at once (the
// receive side turns it into Message records).

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/Network.h"
#include "transport/Identity.h"
#include "transport/NetbiosName.h"

namespace vantrel {

// GetMailslotInfo's "no message" size.
inline constexpr uint32_t MAILSLOT_NO_MESSAGE = 0xFFFFFFFFu;

// Why a datagram did not become a mailslot message (kNone: it did).
enum class MailslotDrop {
  kNone,
  kBadDatagram,       // NetBIOS datagram header or names undecodable, or cut short
  kWrongType,         // not DIRECT_UNIQUE, DIRECT_GROUP or BROADCAST
  kFragment,          // a fragment (M flag or offset); never reassembled
  kNotMailslotWrite,  // user data is not an SMB mailslot write
  kOtherMailslot,     // a mailslot other than \MAILSLOT\MESSNGR
  kNotForUs,          // destination is none of our names
  kOwnEcho,           // our own group send, come back through the broadcast
  kQueueFull,         // the queue's byte ceiling was reached
};

const char* MailslotDropText(MailslotDrop drop);

struct MailslotCounters {
  uint64_t received = 0;  // UDP datagrams taken in
  uint64_t queued = 0;    // mailslot messages queued
  uint64_t badDatagram = 0;
  uint64_t wrongType = 0;
  uint64_t fragments = 0;
  uint64_t notMailslotWrite = 0;
  uint64_t otherMailslot = 0;
  uint64_t notForUs = 0;
  uint64_t queueFull = 0;
  uint64_t ownEcho = 0;
  uint64_t lengthMismatch = 0;  // accepted datagrams whose DGM_LENGTH disagreed (informational)

  uint64_t Dropped() const {
    return badDatagram + wrongType + fragments + notMailslotWrite + otherMailslot + notForUs +
           queueFull + ownEcho;
  }
};

// The receive ladder and the queue of mailslot messages. Thread-safe: one
// thread delivers, another reads.
class MailslotQueue {
 public:
  static constexpr size_t kDefaultMaxBytes = size_t{8} << 20;

  explicit MailslotQueue(const Identity& identity, size_t maxQueuedBytes = kDefaultMaxBytes);

  // The addresses datagrams of our own come from (our interfaces, our bound
  // port); set before the reader thread starts.
  void SetOwnSources(std::vector<Ipv4Address> addresses, uint16_t port);

  // Runs one UDP payload up the ladder; queues its mailslot message or counts
  // the drop. Without a source address the echo rung is skipped.
  MailslotDrop Deliver(std::span<const uint8_t> udpPayload,
                       std::optional<SocketAddress> source = std::nullopt);
  // The same for a batch, taking the lock once.
  void DeliverBatch(const std::vector<ReceivedDatagram>& batch);

  // The size of the next message and the number waiting; nextSize is
  // MAILSLOT_NO_MESSAGE when none waits.
  void Info(uint32_t* nextSize, uint32_t* count) const;
  // Takes the oldest message off the queue.
  std::optional<std::vector<uint8_t>> TakeFront();
  // Takes every waiting message, oldest first, under one lock.
  std::deque<std::vector<uint8_t>> TakeAll();
  // Returns a message taken by TakeFront to the head (it could not be stored).
  void PutBackFront(std::vector<uint8_t> message);
  // Returns messages taken by TakeAll to the head, keeping their order.
  void PutBackFront(std::deque<std::vector<uint8_t>>&& messages);
  void Clear();

  MailslotCounters Counters() const;

 private:
  // The ladder without the queue: the mailslot message on success.
  MailslotDrop Classify(std::span<const uint8_t> udpPayload,
                        const std::optional<SocketAddress>& source,
                        std::span<const uint8_t>* message, bool* lengthMismatch) const;
  bool IsOwnSource(const SocketAddress& source) const;
  void Count(MailslotDrop drop, bool lengthMismatch);  // under mutex_

  NetbiosName computer00_;
  NetbiosName computer03_;
  NetbiosName workgroup00_;
  size_t maxBytes_;
  std::vector<Ipv4Address> ownAddresses_;
  uint16_t ownPort_ = 0;

  mutable std::mutex mutex_;
  std::deque<std::vector<uint8_t>> messages_;
  size_t queuedBytes_ = 0;
  MailslotCounters counters_;
};

class MailslotEndpoint {
 public:
  struct Options {
    SocketAddress bind{Ipv4Address::Any(), 138};
    size_t receiveBufferBytes = size_t{8} << 20;  // 8 MiB
    size_t maxQueuedBytes = MailslotQueue::kDefaultMaxBytes;
  };

  // network must outlive the endpoint.
  MailslotEndpoint(INetwork& network, const Identity& identity);
  MailslotEndpoint(INetwork& network, const Identity& identity, Options options);
  ~MailslotEndpoint();
  MailslotEndpoint(const MailslotEndpoint&) = delete;
  MailslotEndpoint& operator=(const MailslotEndpoint&) = delete;

  // Closes a held mailslot (its waiting messages go with it), then binds.
  // 1 when the program now owns the mailslot, 0 when not; why is kept in
  // OpenFailure()/OpenError().
  int OpenMessageSlot();
  void CloseMessageSlot();
  bool IsOpen() const { return socket_ != nullptr; }
  BindFailure OpenFailure() const { return openFailure_; }
  int OpenError() const { return openError_; }

  // 1 and the next size (MAILSLOT_NO_MESSAGE when none) and count; 0 when no
  // mailslot is held.
  int GetMailslotInfo(uint32_t* nextSize, uint32_t* count) const;
  // Reads the next message whole into buffer: 1 and *bytesRead on success;
  // 0 when no mailslot is held, none waits, or the buffer is too small (the
  // message then stays).
  int ReadMailslotMessage(std::span<uint8_t> buffer, uint32_t* bytesRead);

  // Every message waiting now, oldest first; nothing when no mailslot is held.
  // Later arrivals wait for the next call.
  std::optional<std::deque<std::vector<uint8_t>>> TakeAll();
  // Gives messages taken by TakeAll back to the head of the queue, in order
  // (they could not be stored this time).
  void PutBack(std::deque<std::vector<uint8_t>>&& messages);

  // The bound socket while the mailslot is held (the sender writes from port
  // 138 through it), else null.
  IUdpSocket* Socket() { return socket_.get(); }
  SocketAddress LocalAddress() const;

  MailslotQueue& Queue() { return queue_; }
  MailslotCounters Counters() const { return queue_.Counters(); }

 private:
  void ReaderLoop();

  INetwork& network_;
  Options options_;
  MailslotQueue queue_;
  std::unique_ptr<IUdpSocket> socket_;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  BindFailure openFailure_ = BindFailure::None;
  int openError_ = 0;
};

}  // namespace vantrel
