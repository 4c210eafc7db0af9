#pragma once
// The network name list of the program running for this user, asked over its
// single-instance local socket (the QLocalServer the receive window opens),
// with plain POSIX calls: vantrel-send has no Qt.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "directory/NetworkList.h"

namespace vantrel::linux {

// The program's local server name: "Tessivane-" followed by the user id.
std::string InstanceServerName();

// Where Qt 6 puts the socket of a QLocalServer whose name is not a path:
// the temporary folder ($TMPDIR when set and not empty, else /tmp, cleaned
// as QDir::cleanPath does), a slash, the name. A name that begins with a
// slash is the path itself.
std::string LocalServerPath(std::string_view name);
// The same with the temporary folder given (tests).
std::string LocalServerPath(std::string_view name, std::string_view tempDir);

// Connects to the socket, sends kListRequest and reads the answer until the
// program closes the connection. nullopt when nobody listens there, when no
// complete answer came within the time limit, or when the answer is not a
// list (DecodeNetworkListReply); at most kMaxListReplyBytes are read.
std::optional<NetworkNameList> AskRunningProgramForList(const std::string& socketPath,
                                                        std::chrono::milliseconds timeout);

}  // namespace vantrel::linux
