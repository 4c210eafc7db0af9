#include "directory/NetworkList.h"

namespace vantrel {

bool IsComputerEntry(std::string_view entry) { return !entry.empty() && entry.front() == '\\'; }

std::string_view ComputerLabel(std::string_view entry) {
  size_t skip = 0;
  while (skip < 2 && skip < entry.size() && entry[skip] == '\\') ++skip;
  return entry.substr(skip);
}

std::string_view ComputerNameOf(std::string_view entry) {
  const std::string_view label = ComputerLabel(entry);
  return label.substr(0, label.find(' '));
}

}  // namespace vantrel
