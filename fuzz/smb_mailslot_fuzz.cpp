// SMB mailslot writes (the user data of a datagram): decode, check that the
// data lies inside the input, and that a decoded write re-encodes to one that
// decodes to the same name and data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "transport/SmbMailslot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto r = vantrel::ParseMailslotWrite(std::span(data, size));
  if (!r.ok()) return 0;
  const auto& d = r.write.data;
  if (!d.empty() && (d.data() < data || d.data() + d.size() > data + size)) std::abort();
  auto bytes = vantrel::BuildMailslotWrite(r.write.name, d);
  auto again = vantrel::ParseMailslotWrite(bytes);
  if (!again.ok() || again.write.name != r.write.name ||
      !std::equal(d.begin(), d.end(), again.write.data.begin(), again.write.data.end())) {
    std::abort();
  }
  return 0;
}
