// The static name table parser on arbitrary text, and lookups in what it kept.
#include <cstdint>
#include <string_view>

#include "transport/Lmhosts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vantrel::LmhostsTable table = vantrel::ParseLmhosts(text);
  for (const vantrel::LmhostsEntry& e : table.entries) {
    if (e.name.empty() || e.name.size() > 15) __builtin_trap();
    if (!table.Find(e.name, e.suffix.value_or(0x00))) __builtin_trap();
  }
  table.Find(text.substr(0, 20), 0x20);
  return 0;
}
