#include "directory/AddressBook.h"

#include <climits>

namespace vantrel {
namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string ResolveAlias(const Profile& profile, std::string_view name) {
  // The empty value name would be a key's default value; the empty name is
  // never an alias.
  if (name.empty()) return std::string();
  return profile.GetString(kAlias1Section, name, name);
}

int GetBlackListMask(const Profile& profile, std::string_view computer) {
  if (computer.empty()) return 0;
  return StringToInt(profile.GetString(kBlackListSection, computer, ""));
}

int StringToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate towards the sign's side so that INT_MIN is reachable.
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) {
      value = static_cast<long long>(INT_MAX) + 1;  // clamped; the rest cannot matter
    }
  }
  if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool IsPersonToPerson(std::string_view receiver, std::string_view localComputer) {
  if (receiver.size() != localComputer.size()) return false;
  for (size_t i = 0; i < receiver.size(); ++i)
    if (FoldAscii(receiver[i]) != FoldAscii(localComputer[i])) return false;
  return true;
}

}  // namespace vantrel
