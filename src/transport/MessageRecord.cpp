#include "transport/MessageRecord.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace vantrel {
namespace {

std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

// Copies s to out at offset; returns the offset behind the copy.
size_t Put(std::vector<uint8_t>& out, size_t offset, std::string_view s) {
  if (!s.empty()) std::memcpy(out.data() + offset, s.data(), s.size());
  return offset + s.size();
}

// Writes the time text as a record holds it: up to its first zero byte, cut
// or padded with blanks to exactly 19 characters.
void PutTime(std::vector<uint8_t>& out, std::string_view time) {
  time = UpToZero(time).substr(0, MessageRecord::kTimeLength);
  size_t end = Put(out, MessageRecord::kTimeOffset, time);
  std::memset(out.data() + end, ' ', MessageRecord::kTimeLength - time.size());
}

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

const char* RecordErrorText(RecordError error) {
  switch (error) {
    case RecordError::kNone:
      return "ok";
    case RecordError::kTooShort:
      return "record shorter than its size field";
    case RecordError::kSizeMismatch:
      return "record size field disagrees with its length";
  }
  return "unknown record error";
}

// A zero-filled block of the given size with the size in its first 4 bytes.
std::vector<uint8_t> MessageRecord::Allocate(size_t size) {
  if (size > std::numeric_limits<uint32_t>::max())
    throw std::length_error("message record larger than 4 GiB");
  std::vector<uint8_t> bytes(size, 0);
  auto n = static_cast<uint32_t>(size);
  bytes[0] = static_cast<uint8_t>(n);
  bytes[1] = static_cast<uint8_t>(n >> 8);
  bytes[2] = static_cast<uint8_t>(n >> 16);
  bytes[3] = static_cast<uint8_t>(n >> 24);
  return bytes;
}

MessageRecord MessageRecord::FromDatagram(std::span<const uint8_t> datagram,
                                          std::string_view timeText) {
  std::vector<uint8_t> bytes = Allocate(datagram.size() + kDatagramOverhead);
  PutTime(bytes, timeText);
  if (!datagram.empty())
    std::memcpy(bytes.data() + kDatagramOffset, datagram.data(), datagram.size());
  return MessageRecord(std::move(bytes));
}

MessageRecord MessageRecord::FromFields(std::string_view time, std::string_view sender,
                                        std::string_view receiver, std::string_view text) {
  sender = UpToZero(sender);
  receiver = UpToZero(receiver);
  text = UpToZero(text);
  std::vector<uint8_t> bytes =
      Allocate(sender.size() + receiver.size() + text.size() + kFieldsOverhead);
  PutTime(bytes, time);
  size_t at = Put(bytes, kDatagramOffset, sender) + 1;
  at = Put(bytes, at, receiver) + 1;
  Put(bytes, at, text);  // its zero byte and the further one are already there
  return MessageRecord(std::move(bytes));
}

std::optional<MessageRecord> MessageRecord::FromBytes(std::span<const uint8_t> stored,
                                                      RecordError* error) {
  return FromBytes(std::vector<uint8_t>(stored.begin(), stored.end()), error);
}

std::optional<MessageRecord> MessageRecord::FromBytes(std::vector<uint8_t>&& stored,
                                                      RecordError* error) {
  RecordError why = RecordError::kNone;
  if (stored.size() < kSizeLength)
    why = RecordError::kTooShort;
  else if (ReadLe32(stored.data()) != stored.size())
    why = RecordError::kSizeMismatch;
  if (error) *error = why;
  if (why != RecordError::kNone) return std::nullopt;
  return MessageRecord(std::move(stored));
}

uint32_t MessageRecord::SizePrefix() const {
  return bytes_.size() < kSizeLength ? 0 : ReadLe32(bytes_.data());
}

MessageFields MessageRecord::Fields() const& {
  MessageFields f;
  if (bytes_.size() <= kTimeOffset) return f;
  std::string_view rest(reinterpret_cast<const char*>(bytes_.data()) + kTimeOffset,
                        bytes_.size() - kTimeOffset);
  // Takes the next zero-terminated string from rest, or all of rest when it
  // holds no zero byte; nothing when rest is used up.
  auto next = [&rest]() {
    size_t end = rest.find('\0');
    std::string_view s = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return s;
  };
  f.time = next();
  f.sender = next();
  f.receiver = next();
  f.text = next();
  return f;
}

char MessageRecord::SenderFirstChar() const {
  std::string_view sender = Fields().sender;
  return sender.empty() ? '\0' : sender.front();
}

size_t MessageRecord::Hash() const {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

}  // namespace vantrel
