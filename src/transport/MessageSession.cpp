#include "transport/MessageSession.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr size_t kNameMax = 15;  // what ParsePopupText keeps of a name

// A name as one word of the first line.
std::string NameWord(std::string_view name, bool isSender) {
  std::string w(name.substr(0, kNameMax));
  for (char& c : w) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == ' ' || (isSender && c == ':')) c = '_';
  }
  return w;
}

std::string AsString(std::span<const uint8_t> bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

std::string ComposePopupText(std::string_view sender, std::string_view receiver,
                             std::string_view timeText, std::string_view body, int languageClass) {
  const std::string s = NameWord(sender, true);
  const std::string r = NameWord(receiver, false);
  std::string text;
  if (languageClass == 2) {
    text = "Message from " + s + " to " + r + " on ";
    text += timeText;
  } else if (languageClass == 1) {
    text = "Message on ";
    text += timeText;
    text += " from " + s + " to " + r + " received";
  } else {
    return {};
  }
  text += "\r\n";
  text += body.substr(0, body.find('\0'));
  if (text.size() > kCapturedPopupMax) text.resize(kCapturedPopupMax);
  return text;
}

uint32_t OemCodePageFor(uint32_t ansiCodePage) {
  switch (ansiCodePage) {
    case 1250:
      return 852;
    case 1251:
      return 866;
    case 1253:
      return 737;
    case 1254:
      return 857;
    case 1255:
      return 862;
    case 1256:
      return 720;
    case 1257:
      return 775;
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1258:
      return ansiCodePage;
    default:
      return 850;
  }
}

const char* SessionDropText(SessionDrop drop) {
  switch (drop) {
    case SessionDrop::kBadFrame:
      return "malformed session packet";
    case SessionDrop::kFrameTooLong:
      return "session packet too long";
    case SessionDrop::kBadRequest:
      return "malformed session request";
    case SessionDrop::kNotOurName:
      return "session request for another name";
    case SessionDrop::kNotSmb:
      return "session message is no SMB";
    case SessionDrop::kBadMessage:
      return "malformed or misplaced message command";
    case SessionDrop::kByteLimit:
      return "connection sent too many bytes";
    case SessionDrop::kMessageLimit:
      return "connection sent too many messages";
    case SessionDrop::kDeliveryRate:
      return "messages arrive too fast";
    case SessionDrop::kNoSender:
      return "message without a sender";
    case SessionDrop::kNoLayout:
      return "no pop-up layout for the system language";
    case SessionDrop::kRequestTimeout:
      return "no session request in time";
    case SessionDrop::kIdle:
      return "connection idle too long";
    case SessionDrop::kLifetime:
      return "connection open too long";
    case SessionDrop::kEvicted:
      return "connection replaced by a newcomer";
    case SessionDrop::kRefusedFull:
      return "refused: every connection slot taken";
    case SessionDrop::kRefusedSource:
      return "refused: too many connections from that address";
    case SessionDrop::kRefusedRate:
      return "refused: that address connects too often";
    case SessionDrop::kCount:
      break;
  }
  return "?";
}

// ---- MessageSession ------------------------------------------------------------

MessageSession::MessageSession(const MessageSessionConfig& config, const SessionLimits& limits,
                               SessionCounters& counters, std::function<bool()> allowDelivery)
    : config_(config),
      limits_(limits),
      counters_(counters),
      allowDelivery_(std::move(allowDelivery)),
      framer_(limits.maxTrailer) {}

SessionStep MessageSession::Feed(std::span<const uint8_t> bytes) {
  SessionStep step;
  if (state_ == State::kClosed) {
    step.close = true;
    return step;
  }
  received_ += bytes.size();
  if (received_ > limits_.maxConnectionBytes) {
    Cut(step, SessionDrop::kByteLimit);
    return step;
  }
  framer_.Append(bytes);
  while (state_ != State::kClosed) {
    std::optional<SessionFramer::Packet> packet = framer_.Next();
    if (!packet) break;
    OnPacket(*packet, step);
  }
  if (state_ != State::kClosed && framer_.Broken()) {
    Cut(step, framer_.fault() == SessionFramer::Fault::kTooLong ? SessionDrop::kFrameTooLong
                                                                : SessionDrop::kBadFrame);
  }
  return step;
}

void MessageSession::Cut(SessionStep& step, SessionDrop drop) {
  state_ = State::kClosed;
  step.close = true;
  step.drop = drop;
  ++counters_.drops[static_cast<size_t>(drop)];
  text_.clear();
  text_.shrink_to_fit();
}

void MessageSession::Reply(SessionStep& step, const std::vector<uint8_t>& smb) {
  std::vector<uint8_t> packet = BuildSessionMessage(smb);
  step.reply.insert(step.reply.end(), packet.begin(), packet.end());
}

void MessageSession::OnPacket(const SessionFramer::Packet& packet, SessionStep& step) {
  const uint8_t type = packet.header.type;
  if (state_ == State::kAwaitRequest) {
    if (type == kSessionRequest) {
      OnSessionRequest(packet.trailer, step);
    } else {
      Cut(step, SessionDrop::kBadFrame);
    }
    return;
  }
  if (type == kSessionMessage) {
    OnSmb(packet.trailer, step);
  } else if (type == kSessionKeepAlive && packet.trailer.empty()) {
    // Nothing to do: the client only shows that it is there.
  } else {
    Cut(step, SessionDrop::kBadFrame);
  }
}

void MessageSession::OnSessionRequest(std::span<const uint8_t> trailer, SessionStep& step) {
  std::optional<SessionRequest> request = ParseSessionRequest(trailer);
  if (!request) {
    const std::vector<uint8_t> no = BuildNegativeSessionResponse(SessionError::kUnspecified);
    step.reply.insert(step.reply.end(), no.begin(), no.end());
    Cut(step, SessionDrop::kBadRequest);
    return;
  }
  const NetbiosName called = request->called.Canonical();
  const NetbiosName ours = config_.calledName.Canonical();
  if (!(called == ours)) {
    // Our name with another suffix (the file server's <20>) is here but not
    // listened on; any other name is not here at all.
    NetbiosName::Raw asOurs = called.Bytes();
    asOurs[15] = ours.Suffix();
    const bool ourName = NetbiosName(asOurs, called.Scope()) == ours;
    const std::vector<uint8_t> no = BuildNegativeSessionResponse(
        ourName ? SessionError::kNotListeningOnCalledName : SessionError::kCalledNameNotPresent);
    step.reply.insert(step.reply.end(), no.begin(), no.end());
    Cut(step, SessionDrop::kNotOurName);
    return;
  }
  callingName_ = request->calling.Name();
  state_ = State::kEstablished;
  ++counters_.sessions;
  const std::vector<uint8_t> yes = BuildPositiveSessionResponse();
  step.reply.insert(step.reply.end(), yes.begin(), yes.end());
}

void MessageSession::AppendText(std::span<const uint8_t> text) {
  const size_t room = limits_.maxTextBytes - std::min(limits_.maxTextBytes, text_.size());
  const size_t n = std::min(room, text.size());
  text_.append(reinterpret_cast<const char*>(text.data()), n);
}

void MessageSession::OnSmb(std::span<const uint8_t> smb, SessionStep& step) {
  std::optional<SmbPacket> frame = ParseSmb(smb);
  if (!frame || (frame->header.flags & kSmbFlagsReply) != 0) {
    Cut(step, SessionDrop::kNotSmb);
    return;
  }
  const SmbHeader& h = frame->header;
  // A command that does not decode, or comes out of order: the client is told
  // and the connection ends.
  auto refuse = [&] {
    Reply(step, BuildEmptyResponse(h, kSmbUnsuccessful));
    Cut(step, SessionDrop::kBadMessage);
  };
  switch (h.command) {
    case kSmbComNegotiate: {
      std::optional<std::vector<std::string_view>> dialects = ParseNegotiateRequest(*frame);
      if (!dialects) return refuse();
      ++counters_.negotiations;
      Reply(step, BuildNegotiateResponse(h, ChooseDialect(*dialects)));
      return;
    }
    case kSmbComSendMessage: {
      std::optional<SendMessageRequest> m = ParseSendMessage(*frame);
      if (!m) return refuse();
      groupOpen_ = false;  // a multi-block message left open is abandoned
      originator_ = AsString(m->originator);
      destination_ = AsString(m->destination);
      text_.clear();
      AppendText(m->text);
      Deliver(h, step);
      return;
    }
    case kSmbComSendStartMb: {
      std::optional<SendStartRequest> m = ParseSendStart(*frame);
      if (!m) return refuse();
      originator_ = AsString(m->originator);
      destination_ = AsString(m->destination);
      text_.clear();
      groupOpen_ = true;
      groupId_ = ++lastGroupId_;
      if (groupId_ == 0) groupId_ = ++lastGroupId_;
      Reply(step, BuildSendStartResponse(h, groupId_));
      return;
    }
    case kSmbComSendTextMb: {
      std::optional<SendTextRequest> m = ParseSendText(*frame);
      if (!m || !groupOpen_ || m->groupId != groupId_) return refuse();
      AppendText(m->text);
      Reply(step, BuildEmptyResponse(h, kSmbSuccess));
      return;
    }
    case kSmbComSendEndMb: {
      std::optional<SendEndRequest> m = ParseSendEnd(*frame);
      if (!m || !groupOpen_ || m->groupId != groupId_) return refuse();
      groupOpen_ = false;
      Deliver(h, step);
      return;
    }
    default:
      // Session setup, tree connect and the rest: this server only takes messages.
      ++counters_.unknownCommands;
      Reply(step, BuildEmptyResponse(h, kSmbNotImplemented));
      return;
  }
}

void MessageSession::Deliver(const SmbHeader& request, SessionStep& step) {
  auto decline = [&](SessionDrop why) {
    ++counters_.drops[static_cast<size_t>(why)];
    step.drop = why;
    Reply(step, BuildEmptyResponse(request, kSmbUnsuccessful));
  };
  if (++messages_ > limits_.maxMessages) {
    Reply(step, BuildEmptyResponse(request, kSmbUnsuccessful));
    Cut(step, SessionDrop::kMessageLimit);
    return;
  }
  auto fromOem = [this](const std::string& bytes) {
    return config_.fromOem ? config_.fromOem(bytes) : bytes;
  };
  std::string sender = fromOem(originator_);
  if (sender.empty()) sender = callingName_;
  std::string receiver = fromOem(destination_);
  if (receiver.empty()) receiver = config_.computerName;
  const std::string body = fromOem(text_);
  text_.clear();
  if (sender.empty()) return decline(SessionDrop::kNoSender);
  const std::string time = config_.timeText ? config_.timeText() : std::string();
  std::string popup = ComposePopupText(sender, receiver, time, body, config_.languageClass);
  if (popup.empty()) return decline(SessionDrop::kNoLayout);
  if (allowDelivery_ && !allowDelivery_()) return decline(SessionDrop::kDeliveryRate);
  ++counters_.delivered;
  step.texts.push_back(std::move(popup));
  Reply(step, BuildEmptyResponse(request, kSmbSuccess));
}

// ---- MessageSessionTable -------------------------------------------------------

MessageSessionTable::MessageSessionTable(MessageSessionConfig config, SessionLimits limits)
    : config_(std::move(config)), limits_(limits) {
  delivery_.tokens = static_cast<double>(limits_.deliveryBurst);
}

bool MessageSessionTable::Take(Bucket& bucket, double burst, std::chrono::milliseconds refill,
                               SessionClock::time_point now) {
  if (now > bucket.updated) {
    const double ms = std::chrono::duration<double, std::milli>(now - bucket.updated).count();
    const double per = static_cast<double>(std::max<int64_t>(1, refill.count()));
    bucket.tokens = std::min(burst, bucket.tokens + ms / per);
    bucket.updated = now;
  }
  if (bucket.tokens < 1.0) return false;
  bucket.tokens -= 1.0;
  return true;
}

bool MessageSessionTable::TakeSourceToken(Ipv4Address source, SessionClock::time_point now) {
  const double burst = static_cast<double>(limits_.sourceBurst);
  auto it = buckets_.find(source.value);
  if (it == buckets_.end()) {
    if (buckets_.size() >= limits_.maxTrackedSources) {
      // Forget the addresses whose bucket has filled up again: they hold no state.
      const double per = static_cast<double>(std::max<int64_t>(1, limits_.sourceRefill.count()));
      std::erase_if(buckets_, [&](const auto& entry) {
        const double ms =
            std::chrono::duration<double, std::milli>(now - entry.second.updated).count();
        return entry.second.tokens + ms / per >= burst;
      });
      if (buckets_.size() >= limits_.maxTrackedSources) return false;
    }
    it = buckets_.emplace(source.value, Bucket{burst, now}).first;
  }
  return Take(it->second, burst, limits_.sourceRefill, now);
}

bool MessageSessionTable::TakeDeliveryToken() {
  return Take(delivery_, static_cast<double>(limits_.deliveryBurst), limits_.deliveryRefill, now_);
}

MessageSessionTable::Admission MessageSessionTable::Open(Ipv4Address source,
                                                         SessionClock::time_point now) {
  Admission a;
  const auto fromSource = std::count_if(connections_.begin(), connections_.end(),
                                        [&](const auto& c) { return c.second.source == source; });
  if (static_cast<size_t>(fromSource) >= limits_.maxPerSource) {
    a.refused = SessionDrop::kRefusedSource;
  } else if (!TakeSourceToken(source, now)) {
    a.refused = SessionDrop::kRefusedRate;
  } else if (connections_.size() >= limits_.maxConnections) {
    auto quietest = std::min_element(
        connections_.begin(), connections_.end(),
        [](const auto& x, const auto& y) { return x.second.lastHeard < y.second.lastHeard; });
    if (quietest != connections_.end() && now - quietest->second.lastHeard >= limits_.evictAfter) {
      a.evicted = quietest->first;
      connections_.erase(quietest);
      Count(SessionDrop::kEvicted);
    } else {
      a.refused = SessionDrop::kRefusedFull;
    }
  }
  if (a.refused) {
    Count(*a.refused);
    return a;
  }
  const Id id = nextId_++;
  Connection c;
  c.source = source;
  c.opened = c.lastHeard = now;
  c.session = std::make_unique<MessageSession>(config_, limits_, counters_,
                                               [this] { return TakeDeliveryToken(); });
  connections_.emplace(id, std::move(c));
  ++counters_.accepted;
  a.id = id;
  return a;
}

SessionStep MessageSessionTable::Feed(Id id, std::span<const uint8_t> bytes,
                                      SessionClock::time_point now) {
  auto it = connections_.find(id);
  if (it == connections_.end()) {
    SessionStep gone;
    gone.close = true;
    return gone;
  }
  it->second.lastHeard = now;
  now_ = now;
  SessionStep step = it->second.session->Feed(bytes);
  if (step.close) connections_.erase(it);
  return step;
}

void MessageSessionTable::Close(Id id) { connections_.erase(id); }

SessionClock::time_point MessageSessionTable::DeadlineOf(const Connection& c) const {
  const auto life = c.opened + limits_.lifetime;
  const auto quiet = c.session->state() == MessageSession::State::kAwaitRequest
                         ? c.opened + limits_.requestTimeout
                         : c.lastHeard + limits_.idleTimeout;
  return std::min(life, quiet);
}

std::vector<MessageSessionTable::Expired> MessageSessionTable::Expire(
    SessionClock::time_point now) {
  std::vector<Expired> out;
  for (auto it = connections_.begin(); it != connections_.end();) {
    const Connection& c = it->second;
    if (now < DeadlineOf(c)) {
      ++it;
      continue;
    }
    SessionDrop why = SessionDrop::kIdle;
    if (now >= c.opened + limits_.lifetime) {
      why = SessionDrop::kLifetime;
    } else if (c.session->state() == MessageSession::State::kAwaitRequest) {
      why = SessionDrop::kRequestTimeout;
    }
    Count(why);
    out.push_back({it->first, why});
    it = connections_.erase(it);
  }
  return out;
}

std::optional<SessionClock::time_point> MessageSessionTable::NextDeadline() const {
  std::optional<SessionClock::time_point> next;
  for (const auto& [id, c] : connections_) {
    const auto d = DeadlineOf(c);
    if (!next || d < *next) next = d;
  }
  return next;
}

}  // namespace vantrel
