#pragma once
// The application profile: sections are subkeys of the program key under
// HKEY_CURRENT_USER, entries are values in them; integers are REG_DWORD and
// strings REG_SZ. A missing key or value, or a value of another type, reads as
// the default.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace vantrel {

// The program key, relative to HKEY_CURRENT_USER.
inline constexpr std::string_view kRegistryCompany = "Korbelund";
inline constexpr std::string_view kProfileName = "Tessivane";
inline constexpr std::string_view kProgramKey = "Software\\Korbelund\\Tessivane";

class Profile {
 public:
  explicit Profile(IRegistry& reg) : reg_(reg) {}

  uint32_t GetInt(std::string_view section, std::string_view entry, uint32_t def) const;
  std::string GetString(std::string_view section, std::string_view entry,
                        std::string_view def) const;
  // Both create the section key when needed; true on success.
  bool WriteInt(std::string_view section, std::string_view entry, uint32_t value);
  bool WriteString(std::string_view section, std::string_view entry, std::string_view text);

  IRegistry& registry() const { return reg_; }
  static std::string SectionPath(std::string_view section);

 private:
  IRegistry& reg_;
};

}  // namespace vantrel
