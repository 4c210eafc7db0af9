// One messenger session fed with bytes (smbclient's recorded conversation,
// builder-made variants, hostile streams), the pop-up text it makes as
// ParsePopupText reads it back, and the table's admission and time limits.
#include <gtest/gtest.h>

#include <string>

#include "SessionFrames.h"
#include "transport/MessageSession.h"
#include "transport/PopupText.h"

namespace vantrel {
namespace {

using namespace testframes;
using namespace std::chrono_literals;

constexpr char kTime[] = "2024-05-01 10:00:00";

MessageSessionConfig Carol(int languageClass = kLanguageEnglish) {
  MessageSessionConfig c;
  c.calledName = NetbiosName::FromName("CAROL", kSuffixMessenger);
  c.computerName = "CAROL";
  c.languageClass = languageClass;
  c.timeText = [] { return std::string(kTime); };
  return c;
}

Bytes SmbclientConversation() {
  return SmbclientSessionRequest() + SmbclientSendStart() + SmbclientSendText() +
         SmbclientSendEnd();
}

// The SMBs in a run of session packets.
std::vector<SmbPacket> SmbsIn(const Bytes& stream, std::vector<Bytes>& storage) {
  SessionFramer f(1 << 17);
  f.Append(stream);
  std::vector<SmbPacket> out;
  while (auto p = f.Next()) {
    if (p->header.type != kSessionMessage) continue;
    storage.push_back(p->trailer);
  }
  for (const Bytes& b : storage) {
    auto smb = ParseSmb(b);
    EXPECT_TRUE(smb);
    if (smb) out.push_back(*smb);
  }
  return out;
}

struct Rig {
  SessionCounters counters;
  SessionLimits limits;
  MessageSessionConfig config = Carol();
};

TEST(MessageSession, SmbclientConversationGivesOnePopupAndSuccessAnswers) {
  Rig run;
  MessageSession s(run.config, run.limits, run.counters);
  SessionStep step = s.Feed(SmbclientConversation());
  EXPECT_FALSE(step.close);
  EXPECT_FALSE(step.drop);
  ASSERT_EQ(step.texts.size(), 1u);
  EXPECT_EQ(step.texts[0], "Message from BOB to CAROL on 2024-05-01 10:00:00\r\nhello\r\n");
  const PopupFields f = ParsePopupText(step.texts[0], kLanguageEnglish, kTime);
  EXPECT_EQ(f.sender, "BOB");
  EXPECT_EQ(f.receiver, "CAROL");
  EXPECT_EQ(f.text, "hello\r\n");

  // Positive response, then one success answer per SMB, group 1 for the start.
  ASSERT_GE(step.reply.size(), 4u);
  EXPECT_EQ(Bytes(step.reply.begin(), step.reply.begin() + 4), Hex("82 00 00 00"));
  std::vector<Bytes> storage;
  const auto smbs = SmbsIn(Bytes(step.reply.begin() + 4, step.reply.end()), storage);
  ASSERT_EQ(smbs.size(), 3u);
  const uint8_t commands[] = {kSmbComSendStartMb, kSmbComSendTextMb, kSmbComSendEndMb};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(smbs[i].header.command, commands[i]);
    EXPECT_EQ(smbs[i].header.status, 0u);
    EXPECT_EQ(smbs[i].header.pidLow, 0x3193);
    EXPECT_NE(smbs[i].header.flags & kSmbFlagsReply, 0);
  }
  EXPECT_EQ(smbs[0].WordCount(), 1u);
  EXPECT_EQ(smbs[0].Word(0), 1);
  EXPECT_EQ(run.counters.sessions, 1u);
  EXPECT_EQ(run.counters.delivered, 1u);
}

TEST(MessageSession, ByteByByteGivesTheSameAsAllAtOnce) {
  Rig whole, bytewise;
  MessageSession a(whole.config, whole.limits, whole.counters);
  const SessionStep all = a.Feed(SmbclientConversation());
  MessageSession b(bytewise.config, bytewise.limits, bytewise.counters);
  Bytes reply;
  std::vector<std::string> texts;
  for (uint8_t byte : SmbclientConversation()) {
    SessionStep step = b.Feed(std::span(&byte, 1));
    reply.insert(reply.end(), step.reply.begin(), step.reply.end());
    texts.insert(texts.end(), step.texts.begin(), step.texts.end());
    ASSERT_FALSE(step.close);
  }
  EXPECT_EQ(reply, all.reply);
  EXPECT_EQ(texts, all.texts);
}

TEST(MessageSession, SingleBlockMessagesNegotiationAndKeepAlives) {
  Rig run;
  MessageSession s(run.config, run.limits, run.counters);
  const Bytes stream =
      SessionRequestPacket("carol", 0x03, "ALICEPC", 0x00) + SessionPacket(0x85, {}) +
      Msg(NegotiateSmb({"NT LM 0.12", "PC NETWORK PROGRAM 1.0"})) +
      Msg(SendMessageSmb("ALICE", "carol", "first")) + Msg(SendMessageSmb("", "", "second"));
  SessionStep step = s.Feed(stream);
  EXPECT_FALSE(step.close);
  ASSERT_EQ(step.texts.size(), 2u);
  // The receiver as the sender wrote it; with none given, this computer; with
  // no originator, the calling name of the session.
  EXPECT_EQ(step.texts[0], "Message from ALICE to carol on 2024-05-01 10:00:00\r\nfirst");
  EXPECT_EQ(step.texts[1], "Message from ALICEPC to CAROL on 2024-05-01 10:00:00\r\nsecond");
  std::vector<Bytes> storage;
  const auto smbs = SmbsIn(Bytes(step.reply.begin() + 4, step.reply.end()), storage);
  ASSERT_EQ(smbs.size(), 3u);
  EXPECT_EQ(smbs[0].header.command, kSmbComNegotiate);
  EXPECT_EQ(smbs[0].Word(0), 1);  // the core dialect, second offered
  EXPECT_EQ(run.counters.negotiations, 1u);
}

TEST(MessageSession, OtherNamesGetANegativeResponseAndTheEnd) {
  struct Case {
    Bytes request;
    Bytes answer;
  } cases[] = {
      {SessionRequestPacket("DAVE", 0x03, "BOB", 0), Hex("83 00 00 01 82")},   // not here
      {SessionRequestPacket("CAROL", 0x20, "BOB", 0), Hex("83 00 00 01 80")},  // not listened on
      {SessionPacket(0x81, Name34("CAROL", 3)), Hex("83 00 00 01 8f")},        // one name only
  };
  for (const Case& c : cases) {
    Rig run;
    MessageSession s(run.config, run.limits, run.counters);
    // Whatever follows in the same read is not looked at.
    SessionStep step = s.Feed(c.request + Msg(SendMessageSmb("X", "Y", "z")));
    EXPECT_EQ(step.reply, c.answer);
    EXPECT_TRUE(step.close);
    EXPECT_TRUE(step.texts.empty());
    EXPECT_EQ(s.state(), MessageSession::State::kClosed);
    EXPECT_TRUE(s.Feed(SmbclientConversation()).close);
  }
}

Bytes StartWithoutDestination() {
  SmbRequest r;
  r.command = kSmbComSendStartMb;
  r.bytes = SmbString("A");
  return SmbOf(r);
}

TEST(MessageSession, ProtocolFaultsCutTheConnection) {
  struct Case {
    const char* what;
    Bytes stream;
    SessionDrop drop;
    bool errorAnswer;  // the client is told before the end
  } cases[] = {
      {"message before the request", Msg(SendMessageSmb("A", "B", "x")), SessionDrop::kBadFrame,
       false},
      {"second request", SmbclientSessionRequest() + SmbclientSessionRequest(),
       SessionDrop::kBadFrame, false},
      {"keep-alive with a body", SmbclientSessionRequest() + SessionPacket(0x85, Bytes{1}),
       SessionDrop::kBadFrame, false},
      {"reserved flag bit", Hex("81 02 00 00"), SessionDrop::kBadFrame, false},
      {"too long", SmbclientSessionRequest() + Hex("00 00 10 01"), SessionDrop::kFrameTooLong,
       false},
      {"no SMB", SmbclientSessionRequest() + Msg(Str("hello")), SessionDrop::kNotSmb, false},
      {"text without start", SmbclientSessionRequest() + Msg(SendTextSmb(1, "x")),
       SessionDrop::kBadMessage, true},
      {"end of another group",
       SmbclientSessionRequest() + SmbclientSendStart() + Msg(SendEndSmb(9)),
       SessionDrop::kBadMessage, true},
      {"malformed message", SmbclientSessionRequest() + Msg(StartWithoutDestination()),
       SessionDrop::kBadMessage, true},
      {"a reply from the client", SmbclientSessionRequest() + Msg([] {
                                    SmbRequest r;
                                    r.flags = kSmbFlagsReply;
                                    return SmbOf(r);
                                  }()),
       SessionDrop::kNotSmb, false},
  };
  for (const Case& c : cases) {
    Rig run;
    MessageSession s(run.config, run.limits, run.counters);
    SessionStep step = s.Feed(c.stream);
    EXPECT_TRUE(step.close) << c.what;
    EXPECT_EQ(step.drop, c.drop) << c.what;
    EXPECT_EQ(run.counters.Drops(c.drop), 1u) << c.what;
    EXPECT_TRUE(step.texts.empty()) << c.what;
    std::vector<Bytes> storage;
    const Bytes afterPositive = step.reply.size() >= 4 && step.reply[0] == 0x82
                                    ? Bytes(step.reply.begin() + 4, step.reply.end())
                                    : step.reply;
    const auto smbs = SmbsIn(afterPositive, storage);
    const bool toldError = !smbs.empty() && smbs.back().header.status != 0;
    EXPECT_EQ(toldError, c.errorAnswer) << c.what;
  }
}

TEST(MessageSession, UnknownCommandsAreAnsweredNotImplemented) {
  Rig run;
  MessageSession s(run.config, run.limits, run.counters);
  SmbRequest setup;
  setup.command = 0x73;  // session setup
  setup.words = std::vector<uint16_t>(13, 0);
  SessionStep step = s.Feed(SmbclientSessionRequest() + Msg(SmbOf(setup)));
  EXPECT_FALSE(step.close);
  std::vector<Bytes> storage;
  const auto smbs = SmbsIn(Bytes(step.reply.begin() + 4, step.reply.end()), storage);
  ASSERT_EQ(smbs.size(), 1u);
  EXPECT_EQ(smbs[0].header.command, 0x73);
  EXPECT_EQ(smbs[0].header.status, 0x00400002u);  // ERRSRV, ERRsmbcmd
  EXPECT_EQ(run.counters.unknownCommands, 1u);
}

TEST(MessageSession, PerConnectionLimitsHold) {
  {
    Rig run;
    run.limits.maxMessages = 2;
    MessageSession s(run.config, run.limits, run.counters);
    Bytes stream = SmbclientSessionRequest();
    for (int i = 0; i < 3; ++i) stream = stream + Msg(SendMessageSmb("A", "B", "m"));
    SessionStep step = s.Feed(stream);
    EXPECT_EQ(step.texts.size(), 2u);
    EXPECT_TRUE(step.close);
    EXPECT_EQ(step.drop, SessionDrop::kMessageLimit);
  }
  {
    Rig run;
    MessageSession s(run.config, run.limits, run.counters);
    s.Feed(SmbclientSessionRequest());
    const Bytes keepAlive = SessionPacket(0x85, {});
    SessionStep step;
    size_t fed = SmbclientSessionRequest().size();
    while (!step.close && fed < run.limits.maxConnectionBytes + 8) {
      step = s.Feed(keepAlive);
      fed += keepAlive.size();
    }
    EXPECT_TRUE(step.close);
    EXPECT_EQ(step.drop, SessionDrop::kByteLimit);
    EXPECT_LE(s.BytesReceived(), run.limits.maxConnectionBytes + keepAlive.size());
  }
  {
    // A long message: everything is read, what is kept stays bounded, the
    // pop-up is cut at 1023 bytes.
    Rig run;
    MessageSession s(run.config, run.limits, run.counters);
    Bytes stream = SmbclientSessionRequest() + SmbclientSendStart();
    for (int i = 0; i < 40; ++i) stream = stream + Msg(SendTextSmb(1, std::string(127, 'x')));
    SessionStep step = s.Feed(stream);
    EXPECT_LE(s.Buffered(), run.limits.maxTextBytes + run.limits.maxTrailer + 4);
    step = s.Feed(SmbclientSendEnd());
    ASSERT_EQ(step.texts.size(), 1u);
    EXPECT_EQ(step.texts[0].size(), kCapturedPopupMax);
  }
}

TEST(MessageSession, RefusedDeliveryTellsTheSenderAndGoesOn) {
  Rig run;
  bool allow = false;
  MessageSession s(run.config, run.limits, run.counters, [&] { return allow; });
  SessionStep step = s.Feed(SmbclientConversation());
  EXPECT_TRUE(step.texts.empty());
  EXPECT_FALSE(step.close);
  EXPECT_EQ(step.drop, SessionDrop::kDeliveryRate);
  std::vector<Bytes> storage;
  const auto smbs = SmbsIn(Bytes(step.reply.begin() + 4, step.reply.end()), storage);
  ASSERT_EQ(smbs.size(), 3u);
  EXPECT_EQ(smbs[2].header.status, 0x00010002u);  // ERRSRV, ERRerror on the end
  allow = true;
  step = s.Feed(Msg(SendMessageSmb("A", "B", "again")));
  EXPECT_EQ(step.texts.size(), 1u);
}

TEST(MessageSession, NamesAreConvertedFromOemAndWithoutLayoutNothingIsDelivered) {
  Rig run;
  run.config.fromOem = [](std::string_view s) {
    std::string out(s);
    for (char& c : out)
      if (c == '\x82') c = '\xE9';  // CP850 e-acute to CP1252
    return out;
  };
  MessageSession s(run.config, run.limits, run.counters);
  SessionStep step =
      s.Feed(SmbclientSessionRequest() + Msg(SendMessageSmb("Ren\x82", "CAROL", "caf\x82")));
  ASSERT_EQ(step.texts.size(), 1u);
  const PopupFields f = ParsePopupText(step.texts[0], kLanguageEnglish, kTime);
  EXPECT_EQ(f.sender, "Ren\xE9");
  EXPECT_EQ(f.text, "caf\xE9");

  Rig none;
  none.config = Carol(kLanguageUnsupported);
  MessageSession n(none.config, none.limits, none.counters);
  step = n.Feed(SmbclientConversation());
  EXPECT_TRUE(step.texts.empty());
  EXPECT_EQ(step.drop, SessionDrop::kNoLayout);
}

// ---- The pop-up text --------------------------------------------------------------

TEST(ComposePopupText, ParsePopupTextReadsBackBothLayouts) {
  struct Case {
    std::string sender, receiver, body;
    std::string wantSender, wantReceiver;
  } cases[] = {
      {"BOB", "CAROL", "hello", "BOB", "CAROL"},
      {"John Smith", "carol pc", "x", "John_Smith", "carol_pc"},  // blanks would split words
      {"a:b", "c:d", "x", "a_b", "c:d"},  // a colon in the sender sends it elsewhere
      {"line\r\nbreak", "tab\there", "x", "line__break", "tab_here"},
      {"~AUTO", "CAROL", "x", "~AUTO", "CAROL"},  // the automatic mark stays
      {"ABCDEFGHIJKLMNOPQRST", "CAROL", "x", "ABCDEFGHIJKLMNO", "CAROL"},
  };
  for (int cls : {kLanguageChinese, kLanguageEnglish}) {
    for (const Case& c : cases) {
      const std::string text = ComposePopupText(c.sender, c.receiver, kTime, c.body, cls);
      const PopupFields f = ParsePopupText(text, cls, kTime);
      EXPECT_EQ(f.sender, c.wantSender) << cls << " " << text;
      EXPECT_EQ(f.receiver, c.wantReceiver) << cls << " " << text;
      EXPECT_EQ(f.text, c.body) << cls << " " << text;
    }
  }
  EXPECT_EQ(ComposePopupText("BOB", "CAROL", kTime, "hi", kLanguageChinese),
            "Message on 2024-05-01 10:00:00 from BOB to CAROL received\r\nhi");
  EXPECT_EQ(ComposePopupText("BOB", "CAROL", kTime, "hi", kLanguageUnsupported), "");
}

TEST(ComposePopupText, BodyEndsAtAZeroByteAndTheWholeIsCut) {
  const std::string withZero("before\0after", 12);
  EXPECT_EQ(ComposePopupText("B", "C", kTime, withZero, kLanguageEnglish),
            "Message from B to C on 2024-05-01 10:00:00\r\nbefore");
  const std::string text =
      ComposePopupText("B", "C", kTime, std::string(5000, 'y'), kLanguageEnglish);
  EXPECT_EQ(text.size(), kCapturedPopupMax);
  EXPECT_EQ(
      ParsePopupText(text, kLanguageEnglish, kTime).text.size(),
      kCapturedPopupMax - std::string("Message from B to C on 2024-05-01 10:00:00\r\n").size());
}

TEST(ComposePopupText, OemPagesBesideTheAnsiPages) {
  EXPECT_EQ(OemCodePageFor(1252), 850u);
  EXPECT_EQ(OemCodePageFor(1251), 866u);
  EXPECT_EQ(OemCodePageFor(936), 936u);
  EXPECT_EQ(OemCodePageFor(12345), 850u);
}

// ---- The table ------------------------------------------------------------------

const Ipv4Address kBob = Ipv4Address::FromOctets(198, 18, 0, 12);
const Ipv4Address kEve = Ipv4Address::FromOctets(198, 18, 0, 13);

Ipv4Address Host(uint32_t n) { return Ipv4Address(0x0A000000u + n); }

TEST(MessageSessionTable, AdmitsDeliversAndForgetsClosedConnections) {
  MessageSessionTable t(Carol(), {});
  const auto now = SessionClock::time_point{} + 1h;
  auto a = t.Open(kBob, now);
  ASSERT_TRUE(a.id);
  SessionStep step = t.Feed(*a.id, SmbclientConversation(), now);
  EXPECT_EQ(step.texts.size(), 1u);
  EXPECT_EQ(t.Open(), 1u);
  t.Close(*a.id);
  EXPECT_EQ(t.Open(), 0u);
  EXPECT_TRUE(t.Feed(*a.id, SmbclientConversation(), now).close);  // gone
  // A closing step removes the connection itself.
  auto b = t.Open(kBob, now);
  EXPECT_TRUE(t.Feed(*b.id, Hex("00 00 00 00"), now).close);
  EXPECT_EQ(t.Open(), 0u);
  EXPECT_EQ(t.Counters().accepted, 2u);
}

TEST(MessageSessionTable, CapsPerSourceRateAndTotal) {
  SessionLimits limits;
  limits.maxConnections = 6;
  limits.maxPerSource = 4;
  limits.sourceBurst = 6;
  limits.sourceRefill = 1000ms;
  MessageSessionTable t(Carol(), limits);
  auto now = SessionClock::time_point{} + 1h;
  std::vector<MessageSessionTable::Id> eve;
  for (int i = 0; i < 4; ++i) eve.push_back(*t.Open(kEve, now).id);
  EXPECT_EQ(t.Open(kEve, now).refused, SessionDrop::kRefusedSource);
  // Another address still gets in.
  EXPECT_TRUE(t.Open(kBob, now).id);
  // Eve's bucket: 6 taken... 4 admitted, and two more tries after closing two.
  t.Close(eve[0]);
  t.Close(eve[1]);
  EXPECT_TRUE(t.Open(kEve, now).id);  // 5th token
  EXPECT_TRUE(t.Open(kEve, now).id);  // 6th token
  t.Close(eve[2]);
  EXPECT_EQ(t.Open(kEve, now).refused, SessionDrop::kRefusedRate);
  now += 1000ms;  // one token back
  EXPECT_TRUE(t.Open(kEve, now).id);
  EXPECT_EQ(t.Counters().Drops(SessionDrop::kRefusedSource), 1u);
  EXPECT_EQ(t.Counters().Drops(SessionDrop::kRefusedRate), 1u);
}

TEST(MessageSessionTable, AFullTableMakesRoomByEvictingTheQuietest) {
  SessionLimits limits;
  limits.maxConnections = 3;
  limits.maxPerSource = 1;
  limits.evictAfter = 2000ms;
  MessageSessionTable t(Carol(), limits);
  auto now = SessionClock::time_point{} + 1h;
  auto first = t.Open(Host(1), now);
  auto second = t.Open(Host(2), now + 100ms);
  auto third = t.Open(Host(3), now + 200ms);
  // The first one keeps talking; the second is the quietest.
  t.Feed(*first.id, SmbclientSessionRequest(), now + 1500ms);
  EXPECT_EQ(t.Open(Host(4), now + 1000ms).refused,
            SessionDrop::kRefusedFull);  // nobody quiet enough
  auto newcomer = t.Open(Host(5), now + 2200ms);
  ASSERT_TRUE(newcomer.id);
  EXPECT_EQ(newcomer.evicted, second.id);
  EXPECT_EQ(t.Open(), 3u);
  EXPECT_EQ(t.Counters().Drops(SessionDrop::kEvicted), 1u);
  (void)third;
}

TEST(MessageSessionTable, TimeLimitsExpireConnectionsWithTheirReason) {
  SessionLimits limits;
  limits.requestTimeout = 10s;
  limits.idleTimeout = 60s;
  limits.lifetime = 100s;
  MessageSessionTable t(Carol(), limits);
  const auto t0 = SessionClock::time_point{} + 1h;
  auto silent = t.Open(Host(1), t0);
  auto idle = t.Open(Host(2), t0);
  auto chatty = t.Open(Host(3), t0);
  t.Feed(*idle.id, SmbclientSessionRequest(), t0 + 1s);
  t.Feed(*chatty.id, SmbclientSessionRequest(), t0 + 1s);
  EXPECT_EQ(t.NextDeadline(), t0 + 10s);
  EXPECT_TRUE(t.Expire(t0 + 9s).empty());
  auto e = t.Expire(t0 + 10s);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].id, *silent.id);
  EXPECT_EQ(e[0].why, SessionDrop::kRequestTimeout);
  // The chatty one keeps sending keep-alives; the idle one says nothing.
  for (int s = 20; s <= 60; s += 20)
    t.Feed(*chatty.id, SessionPacket(0x85, {}), t0 + std::chrono::seconds(s));
  e = t.Expire(t0 + 61s);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].id, *idle.id);
  EXPECT_EQ(e[0].why, SessionDrop::kIdle);
  for (int s = 80; s <= 100; s += 20)
    t.Feed(*chatty.id, SessionPacket(0x85, {}), t0 + std::chrono::seconds(s));
  EXPECT_EQ(t.NextDeadline(), t0 + 100s);
  e = t.Expire(t0 + 100s);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].why, SessionDrop::kLifetime);
  EXPECT_FALSE(t.NextDeadline());
}

TEST(MessageSessionTable, RememberedSourcesAndDeliveriesStayBounded) {
  SessionLimits limits;
  limits.maxTrackedSources = 8;
  limits.sourceBurst = 2;
  limits.sourceRefill = 1000ms;
  limits.deliveryBurst = 3;
  limits.deliveryRefill = 1000ms;
  MessageSessionTable t(Carol(), limits);
  auto now = SessionClock::time_point{} + 1h;
  // Eight addresses with a used bucket fill the memory; a ninth is refused
  // until the buckets are full again and can be forgotten.
  for (uint32_t i = 0; i < 8; ++i) {
    auto a = t.Open(Host(i), now);
    ASSERT_TRUE(a.id);
    t.Close(*a.id);
  }
  EXPECT_EQ(t.Open(Host(100), now).refused, SessionDrop::kRefusedRate);
  EXPECT_EQ(t.TrackedSources(), 8u);
  EXPECT_TRUE(t.Open(Host(100), now + 1000ms).id);
  EXPECT_LE(t.TrackedSources(), 8u);

  // Deliveries: three at once, then one a second.
  auto a = t.Open(kBob, now + 2s);
  ASSERT_TRUE(a.id);
  SessionStep step = t.Feed(*a.id, SmbclientSessionRequest(), now + 2s);
  size_t delivered = 0;
  for (int i = 0; i < 5; ++i) {
    step = t.Feed(*a.id, Msg(SendMessageSmb("B", "C", std::to_string(i))), now + 2s);
    delivered += step.texts.size();
  }
  EXPECT_EQ(delivered, 3u);
  step = t.Feed(*a.id, Msg(SendMessageSmb("B", "C", "later")), now + 3s);
  EXPECT_EQ(step.texts.size(), 1u);
  EXPECT_EQ(t.Counters().Drops(SessionDrop::kDeliveryRate), 2u);
}

}  // namespace
}  // namespace vantrel
