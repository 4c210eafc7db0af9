#include "platform/linux/XdgAutostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/linux/XdgPaths.h"

namespace vantrel {
namespace {

// A desktop entry larger than this is not one of ours and is not read.
constexpr size_t kMaxEntryBytes = 64 * 1024;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The escapes of a desktop entry string value.
std::string EscapeString(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string UnescapeString(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    switch (s[i + 1]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:  // not an escape: kept as written
        out += s[i];
        out += s[i + 1];
    }
    ++i;
  }
  return out;
}

// Splits an Exec command line (string escapes already undone) into arguments.
std::optional<std::vector<std::string>> SplitExec(std::string_view s) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && s[i] != ' ' && s[i] != '\t') {
      char c = s[i];
      if (c == '"') {
        quoted = true;
        ++i;
        while (i < n && s[i] != '"') {
          if (s[i] == '\\' && i + 1 < n && std::strchr("\"`$\\", s[i + 1])) {
            arg += s[i + 1];
            i += 2;
          } else if (s[i] == '%' && i + 1 < n && s[i + 1] == '%') {
            arg += '%';
            i += 2;
          } else {
            arg += s[i++];
          }
        }
        if (i == n) return std::nullopt;  // no closing quote
        ++i;
      } else if (c == '%' && i + 1 < n) {
        // "%%" is a percent sign; other field codes (%f, %U, ...) expand to nothing here.
        if (s[i + 1] == '%') arg += '%';
        i += 2;
      } else {
        arg += c;
        ++i;
      }
    }
    if (quoted || !arg.empty()) args.push_back(std::move(arg));
  }
  return args;
}

bool ReadSmallFile(const std::string& path, std::string* out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<size_t>(st.st_size) <= kMaxEntryBytes;
  std::string text;
  char buf[4096];
  while (ok) {
    ssize_t got = read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    text.append(buf, static_cast<size_t>(got));
    if (text.size() > kMaxEntryBytes) ok = false;
  }
  close(fd);
  if (ok) *out = std::move(text);
  return ok;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t put = write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

}  // namespace

std::string EscapeExecArgument(std::string_view arg) {
  constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string_view::npos;
  std::string out;
  if (quote) out += '"';
  for (char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && std::strchr("\"`$\\", c)) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return EscapeString(out);
}

std::string MakeAutostartEntry(const AutostartConfig& config, std::string_view program) {
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + EscapeString(config.name) + "\n";
  if (!config.comment.empty()) text += "Comment=" + EscapeString(config.comment) + "\n";
  text += "Exec=" + EscapeExecArgument(program) + "\n";
  if (!config.icon.empty()) text += "Icon=" + EscapeString(config.icon) + "\n";
  text += "Terminal=false\nX-GNOME-Autostart-enabled=true\n";
  return text;
}

std::optional<std::string> ParseAutostartEntry(std::string_view text) {
  bool seenGroup = false, inEntry = false;
  std::optional<std::string> exec;
  std::string type;
  bool hidden = false, disabled = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      std::string_view group = line.substr(1, line.size() - 2);
      // The main group comes first and only once.
      if (!seenGroup && group != "Desktop Entry") return std::nullopt;
      if (seenGroup && group == "Desktop Entry") return std::nullopt;
      inEntry = !seenGroup;
      seenGroup = true;
      continue;
    }
    if (!seenGroup) return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    if (!inEntry) continue;
    std::string_view key = TrimBlanks(line.substr(0, eq));
    std::string_view value = TrimBlanks(line.substr(eq + 1));
    if (key == "Exec")
      exec = std::string(value);
    else if (key == "Type")
      type = value;
    else if (key == "Hidden")
      hidden = value == "true";
    else if (key == "X-GNOME-Autostart-enabled")
      disabled = value == "false";
  }
  if (!exec || (!type.empty() && type != "Application") || hidden || disabled) return std::nullopt;
  auto args = SplitExec(UnescapeString(*exec));
  if (!args || args->empty()) return std::nullopt;
  std::string program = (*args)[0];
  for (size_t i = 1; i < args->size(); ++i) program += " " + (*args)[i];
  if (program.empty()) return std::nullopt;
  return program;
}

std::string AutostartConfig::DefaultDir() {
  std::string config = ConfigHomeDir();
  return config.empty() ? std::string() : config + "/autostart";
}

XdgAutostart::XdgAutostart(AutostartConfig config) : config_(std::move(config)) {}

std::string XdgAutostart::filePath() const { return config_.dir + "/" + config_.name + ".desktop"; }

std::optional<std::string> XdgAutostart::Program() {
  if (config_.dir.empty()) return std::nullopt;
  std::string text;
  if (!ReadSmallFile(filePath(), &text)) return std::nullopt;
  return ParseAutostartEntry(text);
}

bool XdgAutostart::Switch(bool on, std::string_view program) {
  return on ? Write(program) : Remove();
}

bool XdgAutostart::Write(std::string_view programIn) {
  // The text ends at its first zero byte.
  std::string_view program = programIn.substr(0, programIn.find('\0'));
  if (program.empty()) return false;
  if (config_.dir.empty() || !MakeDirs(config_.dir, 0700)) return false;

  // Written beside the entry and renamed over it, so a reader never sees half a file.
  std::string tmp = config_.dir + "/." + config_.name + ".desktop.XXXXXX";
  std::vector<char> tmpName(tmp.begin(), tmp.end());
  tmpName.push_back('\0');
  int fd = mkostemp(tmpName.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok =
      fchmod(fd, 0644) == 0 && WriteAll(fd, MakeAutostartEntry(config_, program)) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(tmpName.data(), filePath().c_str()) != 0) {
    unlink(tmpName.data());
    return false;
  }
  return true;
}

bool XdgAutostart::Remove() {
  if (config_.dir.empty()) return false;
  return unlink(filePath().c_str()) == 0;
}

}  // namespace vantrel
