#pragma once
// The receiver line of the Send dialog: names separated by blanks, or the line
// ".." that stands for every domain and workgroup of the network.
//
// Only the blank (0x20) separates names; a tab is part of the name it stands
// in. Leading and trailing blanks and tabs are not part of the line.

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class INetworkDirectory;

// The line that stands for all groups. Only a line that is exactly this (after
// trimming) is expanded; ".." among other names is an ordinary name.
inline constexpr std::string_view kAllGroupsLine = "..";

// The line without its leading and trailing blanks and tabs; blanks and tabs
// inside stay.
std::string TrimBlanks(std::string_view line);

// The names of the line in order, split at blanks; runs of blanks count as
// one separator, so no name is empty.
std::vector<std::string> SplitReceivers(std::string_view line);

// The names a trimmed receiver line sends to. The line ".." becomes every
// domain and workgroup that CNetEnum::EnumDomains finds through the
// directory, in the order found (each one receiver, even when its name holds
// a blank; empty names are left out); any
// other line is split with SplitReceivers. The directory is asked only for
// "..", and a null directory finds nothing.
std::vector<std::string> ExpandReceiverLine(std::string_view trimmedLine,
                                            INetworkDirectory* directory);

}  // namespace vantrel
