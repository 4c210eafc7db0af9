#pragma once
// The Messenger datagram: one mailslot message on \MAILSLOT\MESSNGR.
//
//   +--------+----+----------+----+------------------------------+
//   | sender | 00 | receiver | 00 | text (may hold CR LF)        |
//   +--------+----+----------+----+------------------------------+
//     s bytes  1    r bytes    1    t bytes, no zero byte behind it
//
// Total length s + r + t + 2. Names and text are 8-bit characters in the
// system code page; no header, no length field, no checksum. An empty text
// gives a datagram that ends with the receiver's zero byte.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel {

// A sender name beginning with this character marks an automatic message
// (an automatic answer is sent as "~" followed by the computer name).
inline constexpr char kAutomaticMark = '~';

// True when the sender name marks an automatic message.
bool IsAutomaticMessage(std::string_view sender);

// Builds sender, 0x00, receiver, 0x00, text. Each part is taken as a
// zero-terminated string: it ends at its first zero byte, if it holds one, so
// the result always has exactly two zero bytes and splits back into the same
// three parts.
std::vector<uint8_t> BuildMessengerDatagram(std::string_view sender, std::string_view receiver,
                                            std::string_view text);

enum class DatagramStatus {
  kOk,
  kNoSenderEnd,    // no zero byte at all: the sender never ends
  kNoReceiverEnd,  // only one zero byte: the receiver never ends
  kZeroInText,     // a zero byte inside the text (other than one trailing zero)
};

// A short English description of the status, for logs and test output.
const char* DatagramStatusText(DatagramStatus status);

// The three parts of a datagram, as views into the bytes that were split.
struct DatagramParts {
  DatagramStatus status = DatagramStatus::kOk;
  std::string_view sender;
  std::string_view receiver;
  std::string_view text;

  bool ok() const { return status == DatagramStatus::kOk; }
};

// Splits a datagram. One zero byte directly behind the text is tolerated and
// not part of the text (some senders terminate the text). On any other
// status the parts are empty: a malformed datagram yields no fields.
DatagramParts SplitMessengerDatagram(std::span<const uint8_t> datagram);

}  // namespace vantrel
