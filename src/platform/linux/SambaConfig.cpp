#include "platform/linux/SambaConfig.h"

#include <fstream>
#include <sstream>

namespace vantrel::linux {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string CanonicalSambaName(std::string_view name) {
  std::string out;
  for (char c : name)
    if (!IsBlank(c)) out += Lower(c);
  return out;
}

std::string NetbiosNameForm(std::string_view name) {
  std::string out(name.substr(0, 15));
  for (char& c : out) c = Upper(c);
  return out;
}

SambaConfig SambaConfig::Parse(std::string_view text) {
  SambaConfig config;
  bool inGlobal = true;  // until the first section header
  std::string line;
  size_t pos = 0;
  while (pos < text.size()) {
    // Gather one logical line, joining lines that end with a backslash.
    line.clear();
    for (;;) {
      size_t eol = text.find('\n', pos);
      std::string_view physical =
          text.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
      pos = eol == std::string_view::npos ? text.size() : eol + 1;
      while (!physical.empty() &&
             (physical.back() == '\r' || physical.back() == ' ' || physical.back() == '\t'))
        physical.remove_suffix(1);
      if (!physical.empty() && physical.back() == '\\' && pos < text.size()) {
        physical.remove_suffix(1);
        line.append(physical);
        continue;
      }
      line.append(physical);
      break;
    }

    std::string_view l = Trim(line);
    if (l.empty() || l.front() == '#' || l.front() == ';') continue;
    if (l.front() == '[') {
      size_t close = l.find(']');
      std::string section = CanonicalSambaName(
          l.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inGlobal = section == "global" || section == "globals";
      continue;
    }
    size_t eq = l.find('=');
    if (eq == std::string_view::npos || !inGlobal) continue;  // Samba ignores such lines too
    std::string name = CanonicalSambaName(l.substr(0, eq));
    if (name.empty() || name == "include") continue;
    config.global_[name] = std::string(Trim(l.substr(eq + 1)));
  }
  return config;
}

SambaConfig SambaConfig::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return SambaConfig();
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::optional<std::string> SambaConfig::Global(std::string_view name) const {
  auto it = global_.find(CanonicalSambaName(name));
  if (it == global_.end()) return std::nullopt;
  return it->second;
}

std::string SambaConfig::NetbiosName() const { return Global("netbios name").value_or(""); }

std::string SambaConfig::Workgroup() const {
  std::string wg = NetbiosNameForm(Global("workgroup").value_or(""));
  return wg.empty() ? std::string(kDefaultWorkgroup) : wg;
}

std::vector<std::string> SambaConfig::Interfaces() const {
  return SplitSambaList(Global("interfaces").value_or(""));
}

std::vector<std::string> SambaConfig::WinsServers() const {
  return SplitSambaList(Global("wins server").value_or(""));
}

std::optional<std::string> SambaConfig::ServerString() const { return Global("server string"); }

std::string ExpandServerString(std::string_view text, std::string_view hostName,
                               std::string_view netbiosName) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[i + 1]) {
      case 'h':
        out += hostName;
        break;
      case 'L':
        out += netbiosName;
        break;
      case 'v':
        break;
      default:
        out += text.substr(i, 2);
        break;
    }
    ++i;
  }
  return std::string(Trim(out));
}

std::string SambaConfig::MessageCommand() const { return Global("message command").value_or(""); }

bool RunsCaptureHelper(std::string_view messageCommand) {
  // The first word, with the shell's quoting taken away.
  std::string word;
  size_t i = 0;
  while (i < messageCommand.size() && IsBlank(messageCommand[i])) ++i;
  char quote = 0;
  for (; i < messageCommand.size(); ++i) {
    const char c = messageCommand[i];
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        word += c;
    } else if (quote == '"') {
      if (c == '"')
        quote = 0;
      else if (c == '\\' && i + 1 < messageCommand.size())
        word += messageCommand[++i];
      else
        word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '\\' && i + 1 < messageCommand.size()) {
      word += messageCommand[++i];
    } else if (IsBlank(c) || c == ';' || c == '&' || c == '|' || c == '<' || c == '>') {
      break;
    } else {
      word += c;
    }
  }
  if (quote != 0 || word.empty() || word.front() != '/') return false;
  const size_t slash = word.rfind('/');
  return std::string_view(word).substr(slash + 1) == kCaptureHelperName;
}

std::vector<std::string> SplitSambaList(std::string_view text) {
  std::vector<std::string> items;
  std::string item;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (IsBlank(c) || c == ',' || c == ';')) {
      if (!item.empty()) items.push_back(std::move(item));
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(std::move(item));
  return items;
}

}  // namespace vantrel::linux
