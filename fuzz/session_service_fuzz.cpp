// NetBIOS session service input: the input's first byte chooses how the rest
// is cut into reads (1 to 256 bytes each), and the rest is fed to a messenger
// session as a client's byte stream. Checked: every answer is a run of whole
// session packets whose SMBs decode as replies, every pop-up text is 1 to 1023
// bytes and reads back through ParsePopupText, what the session buffers stays
// bounded, and a closed session takes nothing more. The decoders also get the
// whole input directly; every view they return lies inside it.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "transport/MessageSession.h"
#include "transport/PopupText.h"
#include "transport/SessionService.h"
#include "transport/SmbMessage.h"

namespace {

using namespace vantrel;

void Check(bool ok) {
  if (!ok) std::abort();
}

void Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
  if (part.empty()) return;
  Check(part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void CheckReplies(const std::vector<uint8_t>& reply) {
  SessionFramer f(kSessionMaxLength);
  f.Append(reply);
  while (auto p = f.Next()) {
    if (p->header.type == kSessionMessage) {
      auto smb = ParseSmb(p->trailer);
      Check(smb.has_value() && (smb->header.flags & kSmbFlagsReply) != 0);
    } else {
      Check(p->header.type == kSessionPositive || p->header.type == kSessionNegative);
    }
  }
  Check(!f.Broken() && f.Pending() == 0);
}

void Decoders(std::span<const uint8_t> data) {
  (void)ParseSessionRequest(data);
  ByteReader r(data);
  (void)ReadSessionHeader(r);
  auto smb = ParseSmb(data);
  if (!smb) return;
  Inside(smb->words, data);
  Inside(smb->bytes, data);
  if (auto d = ParseNegotiateRequest(*smb)) {
    for (std::string_view s : *d)
      Inside(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()), data);
    (void)ChooseDialect(*d);
  }
  if (auto m = ParseSendMessage(*smb)) {
    Inside(m->originator, data);
    Inside(m->destination, data);
    Inside(m->text, data);
  }
  if (auto m = ParseSendStart(*smb)) {
    Inside(m->originator, data);
    Inside(m->destination, data);
  }
  if (auto m = ParseSendText(*smb)) Inside(m->text, data);
  (void)ParseSendEnd(*smb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> input(data, size);
  Decoders(input.subspan(1));

  MessageSessionConfig config;
  config.calledName = NetbiosName::FromName("CAROL", kSuffixMessenger);
  config.computerName = "CAROL";
  config.languageClass = data[0] & 1 ? kLanguageEnglish : kLanguageChinese;
  config.timeText = [] { return std::string("2024-05-01 10:00:00"); };
  SessionLimits limits;
  SessionCounters counters;
  MessageSession session(config, limits, counters);
  const size_t chunk = size_t{data[0]} + 1;
  std::span<const uint8_t> rest = input.subspan(1);
  bool closed = false;
  while (!rest.empty()) {
    const size_t n = std::min(chunk, rest.size());
    SessionStep step = session.Feed(rest.first(n));
    rest = rest.subspan(n);
    if (closed) Check(step.close && step.reply.empty() && step.texts.empty());
    CheckReplies(step.reply);
    for (const std::string& text : step.texts) {
      Check(!text.empty() && text.size() <= kCapturedPopupMax);
      const PopupFields f = ParsePopupText(text, config.languageClass, "2024-05-01 10:00:00");
      Check(!f.sender.empty());  // a message without a sender is never handed on
      Check(f.sender.find(' ') == std::string::npos && f.sender.find(':') == std::string::npos);
    }
    Check(session.Buffered() <=
          limits.maxTrailer + kSessionHeaderSize + chunk + limits.maxTextBytes);
    Check(session.BytesReceived() <= limits.maxConnectionBytes + chunk);
    closed = closed || step.close;
  }
  return 0;
}
