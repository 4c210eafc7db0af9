#include "send/ReceiverLine.h"

#include "directory/NetEnum.h"

namespace vantrel {
namespace {

constexpr bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string TrimBlanks(std::string_view line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && IsBlankOrTab(line[begin])) ++begin;
  while (end > begin && IsBlankOrTab(line[end - 1])) --end;
  return std::string(line.substr(begin, end - begin));
}

std::vector<std::string> SplitReceivers(std::string_view line) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos < line.size()) {
    if (line[pos] == ' ') {
      ++pos;
      continue;
    }
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    names.emplace_back(line.substr(pos, end - pos));
    pos = end;
  }
  return names;
}

std::vector<std::string> ExpandReceiverLine(std::string_view trimmedLine,
                                            INetworkDirectory* directory) {
  if (trimmedLine != kAllGroupsLine) return SplitReceivers(trimmedLine);
  std::vector<std::string> names;
  if (!directory) return names;
  CNetEnum netEnum(*directory);
  netEnum.EnumDomains();
  for (std::string& domain : netEnum.TakeList()) {
    if (!domain.empty()) names.push_back(std::move(domain));
  }
  return names;
}

}  // namespace vantrel
