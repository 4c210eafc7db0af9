#pragma once
// Starting the program with the user's desktop session: on Windows the value
// "Vantrel" of the machine's Run key, on Linux an XDG autostart entry.

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class IAutostart {
 public:
  virtual ~IAutostart() = default;

  // The program the entry starts, or nothing when there is no usable entry.
  virtual std::optional<std::string> Program() = 0;
  // on: writes an entry that starts program (replacing any); off: removes the
  // entry. True when the entry was changed; false when it could not be, or
  // when there was none to remove.
  virtual bool Switch(bool on, std::string_view program) = 0;
};

}  // namespace vantrel
