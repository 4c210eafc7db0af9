#include "send/SendCommand.h"

#include <istream>
#include <iterator>
#include <optional>
#include <ostream>

#include "send/ReceiverLine.h"

namespace vantrel {
namespace {

struct Parsed {
  std::optional<std::string> sender;
  std::optional<std::string> text;
  bool raw = false;
  bool help = false;
  bool list = false;
  std::vector<std::string> names;
  std::string error;  // non-empty: usage error
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed p;
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.empty() || a[0] != '-' || a == "-") {
      p.names.push_back(a);
      continue;
    }
    if (a == "--") {
      options = false;
      continue;
    }
    // The value of -f/-m: attached ("-fPC1", "--from=PC1") or the next argument.
    auto value = [&](std::string_view shortName, std::string_view longName,
                     std::optional<std::string>* out) {
      std::string longEq = std::string(longName) + "=";
      if (a == shortName || a == longName) {
        if (i + 1 >= args.size()) {
          p.error = "option " + a + " needs a value";
        } else {
          *out = args[++i];
        }
        return true;
      }
      if (a.rfind(shortName, 0) == 0 && a.size() > 2 && a[1] != '-') {
        *out = a.substr(2);
        return true;
      }
      if (a.rfind(longEq, 0) == 0) {
        *out = a.substr(longEq.size());
        return true;
      }
      return false;
    };
    if (a == "-h" || a == "--help") {
      p.help = true;
    } else if (a == "-r" || a == "--raw") {
      p.raw = true;
    } else if (a == "-l" || a == "--list") {
      p.list = true;
    } else if (value("-f", "--from", &p.sender) || value("-m", "--message", &p.text)) {
      // taken
    } else {
      p.error = "unknown option " + a;
    }
    if (!p.error.empty()) return p;
  }
  if (p.list && !p.help && (!p.names.empty() || p.text || p.sender)) {
    p.error = "--list takes no NAME, -f or -m";
  } else if (!p.help && !p.list && p.names.empty()) {
    p.error = "no receiver name given";
  }
  return p;
}

}  // namespace

std::string SendCommandUsage() {
  return "Usage: vantrel-send [-f SENDER] [-m TEXT] [-r] NAME...\n"
         "       vantrel-send [-r] --list\n"
         "Sends a Messenger message to the mailslot messngr of each NAME (a computer,\n"
         "an alias of the address book, or a workgroup or domain for all its computers).\n"
         "The only NAME \"..\" sends to every workgroup and domain of the network.\n"
         "\n"
         "  -f, --from=SENDER    sender name (default: this computer's name)\n"
         "  -m, --message=TEXT   the text (default: standard input, one trailing\n"
         "                       line break removed)\n"
         "  -r, --raw            sender, names and text are already in the system\n"
         "                       code page; do not convert them from UTF-8\n"
         "  -l, --list           print the network's workgroups and their computers\n"
         "                       (those Vantrel shows, when it runs for this user)\n"
         "  -h, --help           show this help\n"
         "\n"
         "Exit status: 0 when the last NAME was sent to, 1 when that failed,\n"
         "2 on a usage error. A message (sender, name, text and two zero bytes)\n"
         "may hold at most 424 bytes.\n";
}

std::string ListLine(std::string_view entry) {
  std::string line = IsComputerEntry(entry) ? "    " : "";
  for (char c : entry) {
    const auto u = static_cast<unsigned char>(c);
    line += (u < 0x20 || u == 0x7F) ? '?' : c;
  }
  return line;
}

std::string MessengerLineBreaks(std::string text, bool stripTrailing) {
  if (stripTrailing && !text.empty() && text.back() == '\n') {
    text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

int RunSendCommand(const std::vector<std::string>& args, SendCommandEnv& env) {
  Parsed p = Parse(args);
  if (!p.error.empty()) {
    env.err << "vantrel-send: " << p.error << "\n" << SendCommandUsage();
    return kSendExitUsage;
  }
  if (p.help) {
    env.out << SendCommandUsage();
    return kSendExitOk;
  }

  uint32_t cp = env.system.AnsiCodePage();
  auto encode = [&](const std::string& utf8) {
    return p.raw ? utf8 : env.codePage.FromUtf8(cp, utf8).bytes;
  };
  auto show = [&](const std::string& bytes) {
    return p.raw ? bytes : env.codePage.ToUtf8(cp, bytes).utf8;
  };

  if (p.list) {
    std::optional<NetworkNameList> list;
    if (env.askRunningProgram) list = env.askRunningProgram();
    if (!list && env.enumerateNetwork) list = env.enumerateNetwork();
    if (list) {
      for (const std::string& entry : *list) env.out << ListLine(show(entry)) << '\n';
    }
    env.out.flush();
    return kSendExitOk;
  }

  // Each receiver in the code page, and as the user reads it.
  struct Receiver {
    std::string bytes;
    std::string shown;
  };
  std::vector<Receiver> receivers;
  if (p.names.size() == 1 && p.names[0] == kAllGroupsLine) {
    INetworkDirectory* directory = env.directory ? env.directory() : nullptr;
    for (std::string& group : ExpandReceiverLine(kAllGroupsLine, directory)) {
      std::string shown = show(group);
      receivers.push_back({std::move(group), std::move(shown)});
    }
    if (receivers.empty()) {
      env.err << "vantrel-send: ..: no workgroup or domain found\n";
      return kSendExitFailed;
    }
  } else {
    for (const std::string& nameUtf8 : p.names) receivers.push_back({encode(nameUtf8), nameUtf8});
  }

  std::string text;
  if (p.text) {
    text = MessengerLineBreaks(*p.text, false);
  } else {
    text.assign(std::istreambuf_iterator<char>(env.in), std::istreambuf_iterator<char>());
    text = MessengerLineBreaks(std::move(text), true);
  }
  text = encode(text);
  std::string sender = p.sender ? encode(*p.sender) : env.system.ComputerName();

  int status = kSendExitFailed;
  for (const Receiver& receiver : receivers) {
    const std::string& name = receiver.bytes;
    const std::string& nameUtf8 = receiver.shown;
    if (env.sender.SendMessengerDatagram(sender, name, text) != 0) {
      status = kSendExitOk;
      continue;
    }
    status = kSendExitFailed;
    SendFailure why = env.sender.LastFailure();
    if (why == SendFailure::kNotFound) continue;  // the box said it (or a "~" sender wants silence)
    env.err << "vantrel-send: " << (nameUtf8.empty() ? "\"\"" : nameUtf8) << ": "
            << SendFailureText(why);
    if (why == SendFailure::kTooLong) {
      size_t bytes = MessengerPayloadSize(sender, env.sender.LastName(), text);
      env.err << " (" << bytes << " bytes; at most " << kMaxMessengerPayload << ")";
    } else if (why == SendFailure::kCannotOpen && !env.sender.LastName().empty() &&
               env.sender.LastName() != name) {
      env.err << " (" << show(env.sender.LastName()) << ")";
    }
    env.err << "\n";
  }
  return status;
}

}  // namespace vantrel
