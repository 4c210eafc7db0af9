#include "settings/Profile.h"

namespace vantrel {

std::string Profile::SectionPath(std::string_view section) {
  std::string path(kProgramKey);
  path += '\\';
  path += section;
  return path;
}

uint32_t Profile::GetInt(std::string_view section, std::string_view entry, uint32_t def) const {
  RegValue v;
  if (reg_.QueryValue(RootKey::CurrentUser, SectionPath(section), entry, &v) != ERROR_SUCCESS ||
      v.type != REG_DWORD || v.data.size() != 4)
    return def;
  return static_cast<uint32_t>(v.data[0]) | static_cast<uint32_t>(v.data[1]) << 8 |
         static_cast<uint32_t>(v.data[2]) << 16 | static_cast<uint32_t>(v.data[3]) << 24;
}

std::string Profile::GetString(std::string_view section, std::string_view entry,
                               std::string_view def) const {
  RegValue v;
  if (reg_.QueryValue(RootKey::CurrentUser, SectionPath(section), entry, &v) != ERROR_SUCCESS ||
      v.type != REG_SZ)
    return std::string(def);
  // The text ends at its first zero byte (a stored REG_SZ counts its terminator).
  std::string text(v.data.begin(), v.data.end());
  if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

bool Profile::WriteInt(std::string_view section, std::string_view entry, uint32_t value) {
  std::string path = SectionPath(section);
  return reg_.CreateKey(RootKey::CurrentUser, path) == ERROR_SUCCESS &&
         reg_.SetValue(RootKey::CurrentUser, path, entry, REG_DWORD, RegDwordBytes(value)) ==
             ERROR_SUCCESS;
}

bool Profile::WriteString(std::string_view section, std::string_view entry, std::string_view text) {
  std::string path = SectionPath(section);
  return reg_.CreateKey(RootKey::CurrentUser, path) == ERROR_SUCCESS &&
         reg_.SetValue(RootKey::CurrentUser, path, entry, REG_SZ, RegStringBytes(text)) ==
             ERROR_SUCCESS;
}

}  // namespace vantrel
