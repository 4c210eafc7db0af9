// A small driver of the transport for the interop tests; it runs on one host of the private
// test LAN. Every command reads the host's identity from --smbconf (default
// /etc/samba/smb.conf) and prints "key: value" lines.
//
//   interop_peer respond [--seconds N]      answer name queries on UDP 137 until killed
//   interop_peer check NAME                 the name check; exit 0 exists, 1 does not
//   interop_peer resolve NAME [SUFFIX]      the NetBIOS lookup alone; exit 0 found, 1 not
//   interop_peer send SENDER RECEIVER TEXT  SendMessengerDatagram; exit 0 sent, 1 not
//   interop_peer receive N [--timeout S]    own the mailslot (and answer for our names, as the
//                                           program does), print N Message records as they
//                                           are drained (ShowResponse on); exit 0 when N came
//   interop_peer browse [--seconds N] [--request]
//                                           own the mailslot and answer for our names, as the
//                                           program does; hear announcements into the table and
//                                           announce ourselves (comment: smb.conf's server
//                                           string); print "heard: WORKGROUP\NAME comment" when a
//                                           computer appears and "gone: ..." when it goes; with
//                                           --request ask the workgroup to announce at start;
//                                           until killed or N seconds passed (then going down)
//
// Texts on the command line may hold \r, \n, \t, \\ and \xHH escapes; record fields are
// printed with the same escapes.
//
// Exit codes: 0 success, 1 the operation's negative outcome, 2 usage or setup error.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EscapeText.h"
#include "directory/AnnouncementTable.h"
#include "platform/MessageBox.h"
#include "platform/linux/IconvCodePage.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SqliteRegistry.h"
#include "receive/SlotReader.h"
#include "send/MessageSender.h"
#include "settings/Profile.h"
#include "transport/Announcer.h"
#include "transport/BrowseListener.h"
#include "transport/MailslotEndpoint.h"
#include "transport/Messenger.h"
#include "transport/linux/NbnsIdentity.h"
#include "transport/linux/NbnsNameCheck.h"
#include "transport/linux/NbnsResponderService.h"

namespace vantrel::interop {
namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Options {
  std::string smbConf = std::string(linux::kDefaultSmbConfPath);
  double seconds = -1;   // respond: run time; receive: timeout
  bool request = false;  // browse: ask for announcements at start
  std::vector<std::string> args;
};

int Usage() {
  std::fprintf(stderr,
               "usage: interop_peer [--smbconf PATH] respond [--seconds N]\n"
               "       interop_peer [--smbconf PATH] check NAME\n"
               "       interop_peer [--smbconf PATH] resolve NAME [SUFFIX-HEX]\n"
               "       interop_peer [--smbconf PATH] send SENDER RECEIVER TEXT\n"
               "       interop_peer [--smbconf PATH] receive N [--timeout SECONDS]\n"
               "       interop_peer [--smbconf PATH] browse [--seconds N] [--request]\n");
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--smbconf" && i + 1 < argc) {
      o.smbConf = argv[++i];
    } else if ((a == "--seconds" || a == "--timeout") && i + 1 < argc) {
      o.seconds = std::atof(argv[++i]);
    } else if (a == "--request") {
      o.request = true;
    } else {
      o.args.push_back(a);
    }
  }
  return !o.args.empty();
}

long long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

const char* SourceText(NameSource s) {
  switch (s) {
    case NameSource::kLmhosts:
      return "lmhosts";
    case NameSource::kWins:
      return "wins";
    case NameSource::kBroadcast:
      return "broadcast";
    case NameSource::kNone:
      break;
  }
  return "none";
}

int Respond(const Options& o) {
  linux::LinuxNetwork network;
  Identity identity = linux::LoadIdentity(o.smbConf);
  linux::NbnsResponderService service(identity, network);
  linux::ResponderState state = service.Start();
  std::printf("computer: %s\nworkgroup: %s\nresponder: %s\n", identity.computerName.c_str(),
              identity.workgroup.c_str(), linux::ResponderStateText(state));
  std::fflush(stdout);
  if (state != linux::ResponderState::kRunning) {
    // A held port is no error: another program answers for this host.
    return state == linux::ResponderState::kPortHeld ? 0 : 2;
  }
  auto start = std::chrono::steady_clock::now();
  while (!g_stop && (o.seconds < 0 || static_cast<double>(ElapsedMs(start)) < o.seconds * 1000)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  service.Stop();
  ResponderCounters c = service.Counters();
  std::printf(
      "positive: %llu\nnegative: %llu\nnode-status: %llu\nnot-ours: %llu\n",
      static_cast<unsigned long long>(c.positive), static_cast<unsigned long long>(c.negative),
      static_cast<unsigned long long>(c.nodeStatus), static_cast<unsigned long long>(c.notOurs));
  return 0;
}

int Resolve(const Options& o) {
  if (o.args.size() < 2) return Usage();
  unsigned suffix =
      o.args.size() > 2 ? static_cast<unsigned>(std::strtoul(o.args[2].c_str(), nullptr, 16)) : 0;
  linux::LinuxNetwork network;
  auto check = linux::MakeNameCheck(linux::LoadIdentity(o.smbConf), network);
  auto start = std::chrono::steady_clock::now();
  NameResolution r = check->ResolveNetbiosName(o.args[1], static_cast<uint8_t>(suffix));
  long long ms = ElapsedMs(start);
  const char* status = r.status == NameLookupStatus::kFound      ? "found"
                       : r.status == NameLookupStatus::kNotFound ? "not-found"
                                                                 : "reset-failed";
  std::printf("status: %s\nsource: %s\naddress: %s\ngroup: %d\nelapsed-ms: %lld\n", status,
              SourceText(r.source), r.address.ToString().c_str(), r.group ? 1 : 0, ms);
  return r.Found() ? 0 : 1;
}

int Check(const Options& o) {
  if (o.args.size() != 2) return Usage();
  linux::LinuxNetwork network;
  auto check = linux::MakeNameCheck(linux::LoadIdentity(o.smbConf), network);
  auto start = std::chrono::steady_clock::now();
  int netbios = check->FindNetBiosName(o.args[1]);
  long long netbiosMs = ElapsedMs(start);
  int probe = netbios != 0 ? -1 : check->ProbeNetworkName(o.args[1]);
  long long ms = ElapsedMs(start);
  std::printf("netbios: %d\nnetbios-ms: %lld\nprobe: %d\nexists: %d\nelapsed-ms: %lld\n", netbios,
              netbiosMs, probe, (netbios != 0 || probe == 1) ? 1 : 0, ms);
  return (netbios != 0 || probe == 1) ? 0 : 1;
}

// Message boxes become lines on standard error.
class StderrBox : public IMessageBox {
 public:
  void Show(std::string_view text) override {
    std::fprintf(stderr, "message box: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

std::string Unescape(std::string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\' || i + 1 >= in.size()) {
      out.push_back(in[i]);
      continue;
    }
    char c = in[++i];
    if (c == 'r') {
      out.push_back('\r');
    } else if (c == 'n') {
      out.push_back('\n');
    } else if (c == 't') {
      out.push_back('\t');
    } else if (c == 'x' && i + 2 < in.size()) {
      out.push_back(
          static_cast<char>(std::strtoul(std::string(in.substr(i + 1, 2)).c_str(), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string Escape(std::string_view in) { return interop::EscapeText(in, false); }

int Send(const Options& o) {
  if (o.args.size() != 4) return Usage();
  linux::LinuxNetwork network;
  Identity identity = linux::LoadIdentity(o.smbConf);
  auto check = linux::MakeNameCheck(identity, network);
  auto hive = SqliteRegistry::CreateTemporary();
  if (!hive) return 2;
  Profile profile(*hive);
  StderrBox box;
  linux::IconvCodePage codePage;
  Messenger messenger(*check, network, identity);
  MessageSender sender(profile, messenger, box, codePage, kWesternCodePage);
  int result =
      sender.SendMessengerDatagram(Unescape(o.args[1]), Unescape(o.args[2]), Unescape(o.args[3]));
  std::printf("result: %d\nfailure: %s\nname: %s\n", result, SendFailureText(sender.LastFailure()),
              sender.LastName().c_str());
  return result == 1 ? 0 : 1;
}

int Receive(const Options& o) {
  if (o.args.size() != 2) return Usage();
  long wanted = std::atol(o.args[1].c_str());
  linux::LinuxNetwork network;
  linux::SystemSources sources;
  sources.smbConfPath = o.smbConf;
  linux::LinuxSystemInfo system(sources);
  StderrBox box;
  Identity identity = linux::LoadIdentity(system, o.smbConf);
  MailslotEndpoint endpoint(network, identity);
  SlotReader reader(endpoint, system, box);
  if (endpoint.OpenMessageSlot() != 1) {
    std::printf("mailslot: not owned (%s)\n", BindFailureText(endpoint.OpenFailure()));
    return 2;
  }
  // As the program does: answer for our names while we receive.
  linux::NbnsResponderService responder(identity, network);
  linux::ResponderState state = responder.Start();
  std::printf("computer: %s\nresponder: %s\nmailslot: owned\n", identity.computerName.c_str(),
              linux::ResponderStateText(state));
  auto start = std::chrono::steady_clock::now();
  long got = 0;
  std::vector<MessageRecord> records;
  while (!g_stop && got < wanted &&
         (o.seconds < 0 || static_cast<double>(ElapsedMs(start)) < o.seconds * 1000)) {
    records.clear();
    if (reader.ReadMessageSlot(records, 1) != 1) {
      std::printf("drain: failed\n");
      return 2;
    }
    for (const MessageRecord& r : records) {
      MessageFields f = r.Fields();
      std::printf("record: size=%u time=%.*s sender=%s receiver=%s text=%s\n", r.SizePrefix(),
                  static_cast<int>(f.time.size()), f.time.data(), Escape(f.sender).c_str(),
                  Escape(f.receiver).c_str(), Escape(f.text).c_str());
      std::string hex;
      char byte[4];
      for (uint8_t b : r.bytes()) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        hex += byte;
      }
      std::printf("record-hex: %s\n", hex.c_str());
      ++got;
    }
    if (records.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  MailslotCounters c = endpoint.Counters();
  std::printf("received: %ld\nudp-received: %llu\ndropped: %llu\n", got,
              static_cast<unsigned long long>(c.received),
              static_cast<unsigned long long>(c.Dropped()));
  return got >= wanted ? 0 : 1;
}

int Browse(const Options& o) {
  if (o.args.size() != 1) return Usage();
  linux::LinuxNetwork network;
  linux::SystemSources sources;
  sources.smbConfPath = o.smbConf;
  linux::LinuxSystemInfo system(sources);
  Identity identity = linux::LoadIdentity(system, o.smbConf);
  AnnouncerOptions options;
  options.comment = system.ServerComment();
  AnnouncementTable table;
  Announcer announcer(network, identity, options);
  BrowseListener listener;
  listener.AddHandler(&table);
  listener.AddHandler(&announcer);
  table.SetRequester([&announcer] { announcer.RequestAnnouncements(); });
  MailslotEndpoint endpoint(network, identity);
  endpoint.SetBrowseSink(&listener);
  if (endpoint.OpenMessageSlot() != 1) {
    std::printf("mailslot: not owned (%s)\n", BindFailureText(endpoint.OpenFailure()));
    return 2;
  }
  // As the program does: announce only while we answer for our names.
  linux::NbnsResponderService responder(identity, network);
  linux::ResponderState state = responder.Start();
  std::printf("computer: %s\nworkgroup: %s\ncomment: %s\nresponder: %s\n",
              identity.computerName.c_str(), identity.workgroup.c_str(),
              Escape(options.comment).c_str(), linux::ResponderStateText(state));
  if (state == linux::ResponderState::kRunning) announcer.Start(endpoint.Socket());
  std::printf("announcer: %s\n", announcer.Running() ? "running" : "off");
  if (o.request) table.RequestAnnouncements();

  // (workgroup, computer) -> comment; printed WORKGROUP\NAME with each part escaped.
  using Hosts = std::map<std::pair<std::string, std::string>, std::string>;
  auto label = [](const std::pair<std::string, std::string>& k) {
    return Escape(k.first) + "\\" + Escape(k.second);
  };
  Hosts known;
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    Hosts now;
    for (const AnnouncedHost& h : table.AnnouncedHosts())
      now[{h.workgroup, h.computer}] = h.comment;
    for (const auto& [name, comment] : now) {
      auto it = known.find(name);
      if (it == known.end() || it->second != comment)
        std::printf("heard: %s %s\n", label(name).c_str(), Escape(comment).c_str());
    }
    for (const auto& [name, comment] : known)
      if (!now.contains(name)) std::printf("gone: %s\n", label(name).c_str());
    known = std::move(now);
    if (g_stop || (o.seconds >= 0 && static_cast<double>(ElapsedMs(start)) >= o.seconds * 1000))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  announcer.Stop();
  responder.Stop();
  endpoint.CloseMessageSlot();
  AnnouncerCounters a = announcer.Counters();
  AnnouncementTableCounters t = table.Counters();
  BrowseCounters b = listener.Counters();
  std::printf(
      "browse-datagrams: %llu\nundecodable: %llu\nannouncements-sent: %llu\nanswers: %llu\n"
      "requests-heard: %llu\nrequests-sent: %llu\ntable-added: %llu\ntable-removed: %llu\n"
      "misaddressed: %llu\n",
      static_cast<unsigned long long>(b.datagrams), static_cast<unsigned long long>(b.undecodable),
      static_cast<unsigned long long>(a.announcements), static_cast<unsigned long long>(a.answers),
      static_cast<unsigned long long>(a.requestsHeard),
      static_cast<unsigned long long>(a.requestsSent), static_cast<unsigned long long>(t.added),
      static_cast<unsigned long long>(t.removed), static_cast<unsigned long long>(t.misaddressed));
  return 0;
}

int Run(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) return Usage();
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string& cmd = o.args[0];
  if (cmd == "respond") return Respond(o);
  if (cmd == "check") return Check(o);
  if (cmd == "resolve") return Resolve(o);
  if (cmd == "send") return Send(o);
  if (cmd == "receive") return Receive(o);
  if (cmd == "browse") return Browse(o);
  return Usage();
}

}  // namespace
}  // namespace vantrel::interop

int main(int argc, char** argv) { return vantrel::interop::Run(argc, argv); }
