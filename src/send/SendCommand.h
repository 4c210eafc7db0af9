#pragma once
// The command-line sender (vantrel-send) without its process: arguments,
// text, code page and exit status. tools/vantrel_send.cpp wires the Linux
// services in.
//
//   vantrel-send [-f SENDER] [-m TEXT] [-r] NAME...
//   vantrel-send [-r] --list
//
// The only NAME ".." stands for every domain and workgroup that
// CNetEnum::EnumDomains finds, as in the Send dialog. --list prints the
// network name list, one entry a line: each workgroup, then its computers
// indented by four blanks ("    \\NAME comment"); control characters in
// names and comments print as "?".
//
// Without -m the text is standard input, with one trailing line break
// removed. Lone LF line breaks become CR LF, as Messenger texts carry them.
// Sender, names and text are UTF-8 and are converted to the system code page
// (ISystemInfo::AnsiCodePage), unless -r says they already are in it.
// The default sender is the computer name.
//
// Exit status: 0 when the send to the last NAME succeeded, 1 when it failed,
// 2 on a usage error (nothing is sent then). Each failed name is reported on
// the error stream: the can't-find-name text through the sender's message box
// (the caller's box writes it to standard error), any other reason as
// "vantrel-send: NAME: reason".

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "directory/NetEnum.h"
#include "directory/NetworkList.h"

#include "platform/CodePage.h"
#include "platform/SystemInfo.h"
#include "send/MessageSender.h"

namespace vantrel {

inline constexpr int kSendExitOk = 0;
inline constexpr int kSendExitFailed = 1;
inline constexpr int kSendExitUsage = 2;

struct SendCommandEnv {
  ISystemInfo& system;
  ICodePage& codePage;
  MessageSender& sender;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // --list: the list of the program running for this user (nullopt: none
  // answered), else a fresh enumeration. Empty functions find nothing.
  std::function<std::optional<NetworkNameList>()> askRunningProgram = {};
  std::function<NetworkNameList()> enumerateNetwork = {};
  // The directory behind "..", made when first asked; null: none.
  std::function<INetworkDirectory*()> directory = {};
};

// args excludes the program name.
int RunSendCommand(const std::vector<std::string>& args, SendCommandEnv& env);

// The usage text printed by --help.
std::string SendCommandUsage();

// One line of --list for an entry (UTF-8 or raw bytes, as given): a computer
// entry indented by four blanks; control characters become "?".
std::string ListLine(std::string_view entry);

// Lone LF -> CR LF; one trailing line break (LF or CR LF) removed first when
// stripTrailing is set.
std::string MessengerLineBreaks(std::string text, bool stripTrailing);

}  // namespace vantrel
