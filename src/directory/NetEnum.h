#pragma once
// The network directory as the Send dialog and the receiver pickers see it:
// the names of the domains and workgroups of the network neighbourhood.
//
// EnumDomains asks the network each time it is called (the caller shows a
// wait cursor meanwhile); nothing is cached here. Names are UTF-8 text, in
// the order the network gives them, never beginning with a backslash. A
// network that cannot be enumerated gives an empty list: the caller learns of
// that only through the list's being empty.

#include <string>
#include <vector>

namespace vantrel {

class INetworkDirectory {
 public:
  virtual ~INetworkDirectory() = default;

  // Every domain and workgroup name that the network gives, in the order found.
  virtual std::vector<std::string> EnumDomains() = 0;
};

// A directory that finds nothing: what the program uses until it can browse
// the network, and a stand-in for tests.
class NullNetworkDirectory final : public INetworkDirectory {
 public:
  std::vector<std::string> EnumDomains() override { return {}; }
};

}  // namespace vantrel
