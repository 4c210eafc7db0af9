#pragma once
// The Message record: one received message as it is kept in the message store
// and, byte for byte, as a binary value of the saved messages.
//
//   offset 0    4  total size of the record in bytes, these 4 included (LE u32)
//          4   19  local receive time "%Y-%m-%d %H:%M:%S"
//         23    1  0x00
//         24    n  the datagram: sender, 0x00, receiver, 0x00, text
//       24+n    1  0x00
//
// A record from the mailslot has size n + 25. A record made from the four
// fields of a captured pop-up holds time, 0x00, sender, 0x00, receiver, 0x00,
// text, 0x00 and one further 0x00: size len(sender) + len(receiver) +
// len(text) + 28.
//
// Both factories write the time as exactly 19 characters (a longer text is
// cut, a shorter one is padded with blanks), so the sender always starts at
// offset 24 and the sequential field reader finds the same fields.
//
// The bytes are owned by the record; its size prefix always equals the number
// of bytes it holds (every factory keeps this), so the field reader can never
// run past the block.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel {

// The four zero-terminated strings of a record, as views into its bytes
// (valid while the record lives and is not changed).
struct MessageFields {
  std::string_view time;
  std::string_view sender;
  std::string_view receiver;
  std::string_view text;
};

enum class RecordError {
  kNone,
  kTooShort,      // fewer than the 4 bytes of the size prefix
  kSizeMismatch,  // the size prefix disagrees with the number of bytes
};

const char* RecordErrorText(RecordError error);

class MessageRecord {
 public:
  static constexpr size_t kSizeLength = 4;
  static constexpr size_t kTimeOffset = 4;
  static constexpr size_t kTimeLength = 19;
  static constexpr size_t kDatagramOffset = kTimeOffset + kTimeLength + 1;  // 24
  // Byte counts that the two factories add to their contents.
  static constexpr size_t kDatagramOverhead = kDatagramOffset + 1;  // n + 25
  static constexpr size_t kFieldsOverhead = kDatagramOffset + 4;    // lengths + 28

  // A record of a datagram as read from the mailslot, stamped with the
  // receive time (made 19 characters as above). The datagram is copied
  // unchanged.
  // Throws std::length_error when the record would exceed 4 GiB.
  static MessageRecord FromDatagram(std::span<const uint8_t> datagram, std::string_view timeText);

  // A record made from captured fields. The time is made 19 characters as
  // above; sender, receiver and text each end at their first zero byte, if
  // they hold one.
  static MessageRecord FromFields(std::string_view time, std::string_view sender,
                                  std::string_view receiver, std::string_view text);

  // A record as stored (a saved message): taken only when it holds at least
  // the size prefix and the prefix equals its length; otherwise nothing, with
  // the reason in *error.
  static std::optional<MessageRecord> FromBytes(std::span<const uint8_t> stored,
                                                RecordError* error = nullptr);
  static std::optional<MessageRecord> FromBytes(std::vector<uint8_t>&& stored,
                                                RecordError* error = nullptr);

  // The size prefix: the record's total size in bytes.
  uint32_t SizePrefix() const;
  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }

  // The zero-terminated strings in order from offset 4: time, sender,
  // receiver, text. Each is read only while bytes are left in the block; a
  // string without its zero byte ends at the block's end, and the strings
  // that find no bytes left are empty. What follows the text's zero byte is
  // ignored.
  MessageFields Fields() const&;
  MessageFields Fields() const&& = delete;  // the views would dangle

  // The first character of the sender as the field reader finds it, or 0
  // when the sender is empty.
  char SenderFirstChar() const;

  // The duplicate test: size prefixes equal and every byte equal, the time
  // text included.
  friend bool operator==(const MessageRecord& a, const MessageRecord& b) {
    return a.bytes_ == b.bytes_;
  }

  // A hash over all bytes, consistent with operator==.
  size_t Hash() const;

 private:
  explicit MessageRecord(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  static std::vector<uint8_t> Allocate(size_t size);

  std::vector<uint8_t> bytes_;
};

}  // namespace vantrel

template <>
struct std::hash<vantrel::MessageRecord> {
  size_t operator()(const vantrel::MessageRecord& record) const noexcept { return record.Hash(); }
};
