#include "transport/Datagram.h"

namespace vantrel {
namespace {

// The part of s before its first zero byte.
std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

bool IsAutomaticMessage(std::string_view sender) {
  return !sender.empty() && sender.front() == kAutomaticMark;
}

std::vector<uint8_t> BuildMessengerDatagram(std::string_view sender, std::string_view receiver,
                                            std::string_view text) {
  sender = UpToZero(sender);
  receiver = UpToZero(receiver);
  text = UpToZero(text);
  std::vector<uint8_t> out;
  out.reserve(sender.size() + receiver.size() + text.size() + 2);
  out.insert(out.end(), sender.begin(), sender.end());
  out.push_back(0);
  out.insert(out.end(), receiver.begin(), receiver.end());
  out.push_back(0);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

const char* DatagramStatusText(DatagramStatus status) {
  switch (status) {
    case DatagramStatus::kOk:
      return "ok";
    case DatagramStatus::kNoSenderEnd:
      return "no zero byte after the sender name";
    case DatagramStatus::kNoReceiverEnd:
      return "no zero byte after the receiver name";
    case DatagramStatus::kZeroInText:
      return "zero byte inside the message text";
  }
  return "unknown datagram status";
}

DatagramParts SplitMessengerDatagram(std::span<const uint8_t> datagram) {
  std::string_view all(reinterpret_cast<const char*>(datagram.data()), datagram.size());
  DatagramParts parts;
  size_t senderEnd = all.find('\0');
  if (senderEnd == std::string_view::npos) {
    parts.status = DatagramStatus::kNoSenderEnd;
    return parts;
  }
  size_t receiverEnd = all.find('\0', senderEnd + 1);
  if (receiverEnd == std::string_view::npos) {
    parts.status = DatagramStatus::kNoReceiverEnd;
    return parts;
  }
  std::string_view text = all.substr(receiverEnd + 1);
  if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  if (text.find('\0') != std::string_view::npos) {
    parts.status = DatagramStatus::kZeroInText;
    return parts;
  }
  parts.sender = all.substr(0, senderEnd);
  parts.receiver = all.substr(senderEnd + 1, receiverEnd - senderEnd - 1);
  parts.text = text;
  return parts;
}

}  // namespace vantrel
