// UDP 138 payloads from the network: decode the datagram, then its SMB
// mailslot write, and check that the user data stays inside the input and
// that a decoded datagram re-encodes to one that decodes the same.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  auto d = vantrel::ParseNetbiosDatagram(input);
  if (!d.ok()) return 0;
  const auto& u = d.datagram.userData;
  if (!u.empty() && (u.data() < data || u.data() + u.size() > data + size)) std::abort();
  (void)d.datagram.source.ToString();
  (void)d.datagram.destination.ToString();
  auto again = vantrel::ParseNetbiosDatagram(vantrel::BuildNetbiosDatagram(d.datagram, u));
  if (!again.ok() || !(again.datagram.destination == d.datagram.destination) ||
      again.datagram.userData.size() != u.size()) {
    std::abort();
  }
  auto s = vantrel::ParseMailslotWrite(u);
  if (s.ok()) (void)vantrel::MailslotNamesEqual(s.write.name, vantrel::kMessengerMailslot);
  return 0;
}
