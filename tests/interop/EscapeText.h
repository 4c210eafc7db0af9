#pragma once
// One printable line per message for the interop drivers: backslash, CR, LF
// (and, where the output is tab-separated, TAB as \t) and every other byte outside
// printable ASCII are written as escapes.

#include <cstdio>
#include <string>
#include <string_view>

namespace vantrel::interop {

inline std::string EscapeText(std::string_view in, bool escapeTab) {
  std::string out;
  char hex[8];
  for (char ch : in) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t' && escapeTab) {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace vantrel::interop
