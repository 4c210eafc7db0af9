#pragma once
// A name check that answers from tables and records every question in order.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/NameCheck.h"

namespace vantrel::fakes {

class ScriptedNameCheck : public INameCheck {
 public:
  std::map<std::string, int> find;   // missing: 0
  std::map<std::string, int> probe;  // missing: 0
  std::map<std::string, MailslotTarget> targets;
  std::vector<std::string> calls;

  int FindNetBiosName(std::string_view name) override {
    calls.push_back("find " + std::string(name));
    auto it = find.find(std::string(name));
    return it == find.end() ? 0 : it->second;
  }
  int ProbeNetworkName(std::string_view name) override {
    calls.push_back("probe " + std::string(name));
    auto it = probe.find(std::string(name));
    return it == probe.end() ? 0 : it->second;
  }
  std::optional<MailslotTarget> ResolveMailslotTarget(std::string_view name) override {
    calls.push_back("resolve " + std::string(name));
    auto it = targets.find(std::string(name));
    if (it == targets.end()) return std::nullopt;
    return it->second;
  }
};

}  // namespace vantrel::fakes
