#include "send/MessageSender.h"

#include "directory/AddressBook.h"
#include "transport/Datagram.h"

namespace vantrel {
namespace {

std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

std::string CantFindNameText(std::string_view name) {
  std::string text = "Sorry, can't find name \"";
  text += name;
  text += "\" in network.";
  return text;
}

MessageSender::MessageSender(const Profile& profile, Messenger& messenger, IMessageBox& box,
                             ICodePage& codePage, uint32_t ansiCodePage)
    : profile_(profile),
      messenger_(messenger),
      box_(box),
      codePage_(codePage),
      ansiCodePage_(ansiCodePage) {}

size_t MessageSender::PayloadSize(std::string_view sender, std::string_view receiver,
                                  std::string_view text) const {
  return MessengerPayloadSize(sender, ResolveAlias(profile_, UpToZero(receiver)), text);
}

int MessageSender::SendMessengerDatagram(std::string_view senderIn, std::string_view receiverIn,
                                         std::string_view text) {
  const std::string_view sender = UpToZero(senderIn);
  const std::string_view receiver = UpToZero(receiverIn);
  lastName_.clear();
  if (receiver.empty() || receiver == "~") {
    lastFailure_ = SendFailure::kNoReceiver;
    return 0;
  }
  lastName_ = UpToZero(ResolveAlias(profile_, receiver));
  const int sent = messenger_.SendMessengerDatagram(sender, lastName_, text);
  lastFailure_ = messenger_.LastFailure();
  if (lastFailure_ == SendFailure::kNotFound && !IsAutomaticMessage(sender)) {
    box_.Show(CantFindNameText(codePage_.ToUtf8(ansiCodePage_, lastName_).utf8));
  }
  return sent;
}

}  // namespace vantrel
