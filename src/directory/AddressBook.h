#pragma once
// Lookups into the address book, made for every message sent or received.
// Nothing is kept in memory: every lookup reads the profile afresh, so a
// change saved by the User Info dialog takes effect with the next message.
//
//   section "Alias1":    entry = an alias,         value = its computer name
//   section "BlackList": entry = a computer name,  value = the mask in decimal
//
// Entry names compare without regard to case (the registry does that).

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/Profile.h"

namespace vantrel {

// Address-book sections of the program key.
inline constexpr std::string_view kAliasSection = "Alias";
inline constexpr std::string_view kAlias1Section = "Alias1";
inline constexpr std::string_view kBlackListSection = "BlackList";
inline constexpr std::string_view kDomainSection = "Domain";

// Black-list mask bits: a set bit switches one automatic behaviour off for
// messages from that computer.
inline constexpr int BL_NO_RESPONSE_P2P = 1;  // no automatic answer, person-to-person
inline constexpr int BL_NO_RESPONSE_BC = 2;   // no automatic answer, broadcast
inline constexpr int BL_NO_POPUP_P2P = 4;     // no pop-up, person-to-person
inline constexpr int BL_NO_POPUP_BC = 8;      // no pop-up, broadcast

// The computer name stored for the alias name, or name itself, unchanged and
// case included, when it is no alias (also the empty name). An alias hides a
// computer of the same name.
std::string ResolveAlias(const Profile& profile, std::string_view name);

// The black-list mask stored for the computer, read with StringToInt; 0 when
// none is stored.
int GetBlackListMask(const Profile& profile, std::string_view computer);

// The standard decimal conversion of text to an integer: leading white space,
// an optional sign and the digits behind it are taken; anything else ends
// the number. An empty or non-numeric text reads 0 ("x" -> 0, "  12abc" ->
// 12). A number beyond the range of int is clamped to INT_MAX or INT_MIN.
int StringToInt(std::string_view text);

// A message is person-to-person when its receiver equals the local computer
// name without regard to case; otherwise it is a broadcast.
bool IsPersonToPerson(std::string_view receiver, std::string_view localComputer);

}  // namespace vantrel
