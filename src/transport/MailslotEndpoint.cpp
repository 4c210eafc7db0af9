#include "transport/MailslotEndpoint.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <stdexcept>

#include "transport/BrowseFrames.h"
#include "transport/Datagram.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

namespace vantrel {
namespace {

constexpr size_t kBatchCount = 256;
constexpr size_t kMaxUdpPayload = 65536;  // no IPv4 UDP payload is longer: nothing is cut

}  // namespace

const char* MailslotDropText(MailslotDrop drop) {
  switch (drop) {
    case MailslotDrop::kNone:
      return "queued";
    case MailslotDrop::kBadDatagram:
      return "undecodable datagram";
    case MailslotDrop::kWrongType:
      return "not a direct or broadcast datagram";
    case MailslotDrop::kFragment:
      return "datagram fragment";
    case MailslotDrop::kNotMailslotWrite:
      return "not a mailslot write";
    case MailslotDrop::kOtherMailslot:
      return "another mailslot";
    case MailslotDrop::kNotForUs:
      return "not addressed to us";
    case MailslotDrop::kQueueFull:
      return "mailslot queue full";
    case MailslotDrop::kOwnEcho:
      return "echo of our own group send";
    case MailslotDrop::kBrowse:
      return "handed to the browse listener";
  }
  return "?";
}

// ---- MailslotQueue ----

MailslotQueue::MailslotQueue(const Identity& identity, size_t maxQueuedBytes)
    : computer00_(NetbiosName::FromName(identity.computerName, kSuffixWorkstation)),
      computer03_(NetbiosName::FromName(identity.computerName, kSuffixMessenger)),
      workgroup00_(NetbiosName::FromName(identity.workgroup, kSuffixWorkstation)),
      maxBytes_(maxQueuedBytes) {}

void MailslotQueue::SetOwnSources(std::vector<Ipv4Address> addresses, uint16_t port) {
  ownAddresses_ = std::move(addresses);
  ownPort_ = port;
}

bool MailslotQueue::IsOwnSource(const SocketAddress& source) const {
  if (ownPort_ == 0 || source.port != ownPort_) return false;
  for (const Ipv4Address& a : ownAddresses_)
    if (a == source.address) return true;
  return false;
}

MailslotDrop MailslotQueue::Classify(std::span<const uint8_t> udpPayload,
                                     const std::optional<SocketAddress>& source,
                                     std::span<const uint8_t>* message,
                                     bool* lengthMismatch) const {
  auto d = ParseNetbiosDatagram(udpPayload);
  switch (d.status) {
    case DatagramParseStatus::kOk:
      break;
    case DatagramParseStatus::kUnsupportedType:
      return MailslotDrop::kWrongType;
    case DatagramParseStatus::kFragment:
      return MailslotDrop::kFragment;
    default:
      return MailslotDrop::kBadDatagram;
  }
  *lengthMismatch = d.lengthMismatch;
  auto smb = ParseMailslotWrite(d.datagram.userData);
  if (!smb.ok()) return MailslotDrop::kNotMailslotWrite;
  if (!MailslotNamesEqual(smb.write.name, kMessengerMailslot)) {
    IBrowseSink* sink = browseSink_.load(std::memory_order_acquire);
    const bool lanman = MailslotNamesEqual(smb.write.name, kLanmanMailslot);
    if (sink == nullptr || (!lanman && !MailslotNamesEqual(smb.write.name, kBrowseMailslot)))
      return MailslotDrop::kOtherMailslot;
    BrowseDatagram browse;
    browse.lanman = lanman;
    browse.source = source;
    browse.sourceName = d.datagram.source;
    browse.destination = d.datagram.destination;
    browse.data = smb.write.data;
    browse.ownEcho = source && d.datagram.source.Canonical() == computer00_ && IsOwnSource(*source);
    sink->OnBrowseDatagram(browse);
    return MailslotDrop::kBrowse;
  }
  // Names compare as the name service compares them: without case, blank or
  // zero padding alike.
  const NetbiosName to = d.datagram.destination.Canonical();
  bool toGroup = to == workgroup00_ || to.IsWildcard();
  if (toGroup && source && d.datagram.source == computer00_ && IsOwnSource(*source))
    return MailslotDrop::kOwnEcho;
  bool forUs = to == computer00_ || to == computer03_ || to == workgroup00_ ||
               (to.IsWildcard() && to.Scope().empty());
  if (!forUs) return MailslotDrop::kNotForUs;
  *message = smb.write.data;
  return MailslotDrop::kNone;
}

void MailslotQueue::Count(MailslotDrop drop, bool lengthMismatch) {
  ++counters_.received;
  switch (drop) {
    case MailslotDrop::kNone:
      ++counters_.queued;
      if (lengthMismatch) ++counters_.lengthMismatch;
      break;
    case MailslotDrop::kBadDatagram:
      ++counters_.badDatagram;
      break;
    case MailslotDrop::kWrongType:
      ++counters_.wrongType;
      break;
    case MailslotDrop::kFragment:
      ++counters_.fragments;
      break;
    case MailslotDrop::kNotMailslotWrite:
      ++counters_.notMailslotWrite;
      break;
    case MailslotDrop::kOtherMailslot:
      ++counters_.otherMailslot;
      break;
    case MailslotDrop::kNotForUs:
      ++counters_.notForUs;
      break;
    case MailslotDrop::kQueueFull:
      ++counters_.queueFull;
      break;
    case MailslotDrop::kOwnEcho:
      ++counters_.ownEcho;
      break;
    case MailslotDrop::kBrowse:
      ++counters_.browse;
      break;
  }
}

MailslotDrop MailslotQueue::Deliver(std::span<const uint8_t> udpPayload,
                                    std::optional<SocketAddress> source) {
  std::span<const uint8_t> message;
  bool mismatch = false;
  MailslotDrop drop = Classify(udpPayload, source, &message, &mismatch);
  std::vector<uint8_t> copy;
  if (drop == MailslotDrop::kNone) copy.assign(message.begin(), message.end());
  std::lock_guard lock(mutex_);
  if (drop == MailslotDrop::kNone) {
    if (queuedBytes_ + copy.size() > maxBytes_) {
      drop = MailslotDrop::kQueueFull;
    } else {
      queuedBytes_ += copy.size();
      messages_.push_back(std::move(copy));
    }
  }
  Count(drop, mismatch);
  return drop;
}

void MailslotQueue::DeliverBatch(const std::vector<ReceivedDatagram>& batch) {
  struct Outcome {
    MailslotDrop drop;
    bool mismatch;
    std::vector<uint8_t> message;
  };
  std::vector<Outcome> outcomes;
  outcomes.reserve(batch.size());
  for (const ReceivedDatagram& d : batch) {
    Outcome o{MailslotDrop::kBadDatagram, false, {}};
    if (!d.truncated) {
      std::span<const uint8_t> message;
      o.drop = Classify(d.bytes, d.source, &message, &o.mismatch);
      if (o.drop == MailslotDrop::kNone) o.message.assign(message.begin(), message.end());
    }
    outcomes.push_back(std::move(o));
  }
  std::lock_guard lock(mutex_);
  for (Outcome& o : outcomes) {
    if (o.drop == MailslotDrop::kNone) {
      if (queuedBytes_ + o.message.size() > maxBytes_) {
        o.drop = MailslotDrop::kQueueFull;
      } else {
        queuedBytes_ += o.message.size();
        messages_.push_back(std::move(o.message));
      }
    }
    Count(o.drop, o.mismatch);
  }
}

void MailslotQueue::Info(uint32_t* nextSize, uint32_t* count) const {
  std::lock_guard lock(mutex_);
  *nextSize =
      messages_.empty() ? MAILSLOT_NO_MESSAGE : static_cast<uint32_t>(messages_.front().size());
  *count = static_cast<uint32_t>(std::min<size_t>(messages_.size(), 0xFFFFFFFEu));
}

std::optional<std::vector<uint8_t>> MailslotQueue::TakeFront() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  std::vector<uint8_t> m = std::move(messages_.front());
  messages_.pop_front();
  queuedBytes_ -= m.size();
  return m;
}

std::deque<std::vector<uint8_t>> MailslotQueue::TakeAll() {
  std::lock_guard lock(mutex_);
  std::deque<std::vector<uint8_t>> all;
  all.swap(messages_);
  queuedBytes_ = 0;
  return all;
}

void MailslotQueue::PutBackFront(std::deque<std::vector<uint8_t>>&& messages) {
  std::lock_guard lock(mutex_);
  for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
    queuedBytes_ += it->size();
    messages_.push_front(std::move(*it));
  }
  messages.clear();
}

void MailslotQueue::PutBackFront(std::vector<uint8_t> message) {
  std::lock_guard lock(mutex_);
  queuedBytes_ += message.size();
  messages_.push_front(std::move(message));
}

void MailslotQueue::Clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  queuedBytes_ = 0;
}

MailslotCounters MailslotQueue::Counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

// ---- MailslotEndpoint ----

MailslotEndpoint::MailslotEndpoint(INetwork& network, const Identity& identity)
    : MailslotEndpoint(network, identity, Options{}) {}

MailslotEndpoint::MailslotEndpoint(INetwork& network, const Identity& identity, Options options)
    : network_(network), options_(options), queue_(identity, options.maxQueuedBytes) {}

MailslotEndpoint::~MailslotEndpoint() { CloseMessageSlot(); }

int MailslotEndpoint::OpenMessageSlot() {
  CloseMessageSlot();
  UdpOptions udp;
  udp.broadcast = true;
  udp.receiveBufferBytes = options_.receiveBufferBytes;
  UdpBindResult bound = network_.BindUdp(options_.bind, udp);
  openFailure_ = bound.failure;
  openError_ = bound.systemError;
  if (!bound.socket) {
    if (openFailure_ == BindFailure::None) openFailure_ = BindFailure::Other;
    return 0;
  }
  socket_ = std::move(bound.socket);
  std::vector<Ipv4Address> own;
  for (const NetworkInterface& nic : network_.Interfaces()) own.push_back(nic.address);
  queue_.SetOwnSources(std::move(own), socket_->LocalAddress().port);
  stop_ = false;
  reader_ = std::thread([this] { ReaderLoop(); });
  return 1;
}

void MailslotEndpoint::CloseMessageSlot() {
  if (!socket_) return;
  stop_ = true;
  socket_->Interrupt();
  if (reader_.joinable()) reader_.join();
  socket_.reset();
  queue_.Clear();
}

SocketAddress MailslotEndpoint::LocalAddress() const {
  return socket_ ? socket_->LocalAddress() : SocketAddress{};
}

void MailslotEndpoint::ReaderLoop() {
  std::vector<ReceivedDatagram> batch;
  batch.reserve(kBatchCount);
  while (!stop_) {
    batch.clear();
    socket_->ReceiveBatch(batch, kBatchCount, kMaxUdpPayload);
    if (!batch.empty()) {
      queue_.DeliverBatch(batch);
      continue;
    }
    if (!socket_->WaitReadable(std::chrono::milliseconds(-1)) && !stop_) {
      // A failing wait must not turn into a busy loop.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

int MailslotEndpoint::GetMailslotInfo(uint32_t* nextSize, uint32_t* count) const {
  if (!socket_) return 0;
  queue_.Info(nextSize, count);
  return 1;
}

int MailslotEndpoint::ReadMailslotMessage(std::span<uint8_t> buffer, uint32_t* bytesRead) {
  if (!socket_) return 0;
  auto message = queue_.TakeFront();
  if (!message) return 0;
  if (message->size() > buffer.size()) {
    queue_.PutBackFront(std::move(*message));
    return 0;
  }
  std::copy(message->begin(), message->end(), buffer.begin());
  *bytesRead = static_cast<uint32_t>(message->size());
  return 1;
}

std::optional<std::deque<std::vector<uint8_t>>> MailslotEndpoint::TakeAll() {
  if (!socket_) return std::nullopt;
  return queue_.TakeAll();
}

void MailslotEndpoint::PutBack(std::deque<std::vector<uint8_t>>&& messages) {
  queue_.PutBackFront(std::move(messages));
}

}  // namespace vantrel
