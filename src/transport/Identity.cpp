#include "transport/Identity.h"

#include <charconv>
#include <optional>

namespace vantrel {
namespace {

std::string NetbiosForm(std::string_view name) {
  std::string out;
  for (char c : name.substr(0, 15)) {
    out.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

// Shell-style match with '*' and '?' (no classes), as interface patterns use.
bool GlobMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// "/24" or "/255.255.255.0"; nullopt when neither.
std::optional<uint32_t> ParseMask(std::string_view text) {
  if (auto dotted = Ipv4Address::Parse(text)) return dotted->value;
  unsigned bits = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bits);
  if (ec != std::errc() || end != text.data() + text.size() || bits > 32) return std::nullopt;
  return bits == 0 ? 0u : ~uint32_t{0} << (32 - bits);
}

}  // namespace

NetbiosName Identity::ComputerNetbiosName(uint8_t suffix) const {
  return NetbiosName::FromName(computerName, suffix);
}

NetbiosName Identity::WorkgroupNetbiosName() const {
  return NetbiosName::FromName(workgroup, kSuffixWorkstation);
}

Identity MakeIdentity(std::string_view computerName, std::string_view workgroup,
                      std::vector<std::string> interfaces,
                      const std::vector<std::string>& winsServers, std::string lmhostsPath) {
  Identity id;
  id.computerName = NetbiosForm(computerName);
  if (id.computerName.empty()) id.computerName = "LOCALHOST";
  id.workgroup = NetbiosForm(workgroup);
  if (id.workgroup.empty()) id.workgroup = "WORKGROUP";
  id.interfaces = std::move(interfaces);
  for (const std::string& item : winsServers) {
    std::string_view text = item;
    size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) text = text.substr(colon + 1);  // "tag:address"
    auto address = Ipv4Address::Parse(text);
    if (!address || address->IsAny() || *address == Ipv4Address::LimitedBroadcast()) {
      ++id.unusableWinsServers;
      continue;
    }
    id.winsServers.push_back(*address);
  }
  id.lmhostsPath = std::move(lmhostsPath);
  return id;
}

bool InterfaceMatches(const NetworkInterface& nic, std::string_view pattern) {
  pattern = pattern.substr(0, pattern.find(';'));
  if (pattern.empty()) return false;
  size_t slash = pattern.find('/');
  if (slash != std::string_view::npos) {
    auto network = Ipv4Address::Parse(pattern.substr(0, slash));
    auto mask = ParseMask(pattern.substr(slash + 1));
    if (!network || !mask) return false;
    return (nic.address.value & *mask) == (network->value & *mask);
  }
  if (auto address = Ipv4Address::Parse(pattern)) return nic.address == *address;
  return GlobMatch(pattern, nic.name);
}

std::vector<NetworkInterface> SelectInterfaces(const std::vector<NetworkInterface>& all,
                                               const std::vector<std::string>& patterns) {
  std::vector<NetworkInterface> out;
  for (const NetworkInterface& nic : all) {
    if (!nic.up || nic.address.IsAny()) continue;
    bool selected = false;
    if (patterns.empty()) {
      selected = !nic.loopback && !nic.address.IsLoopback();
    } else {
      for (const std::string& p : patterns) {
        if (InterfaceMatches(nic, p)) {
          selected = true;
          break;
        }
      }
    }
    if (selected) out.push_back(nic);
  }
  return out;
}

}  // namespace vantrel
