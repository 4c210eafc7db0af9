// Name service packets from the network: decode, classify, decode RDATA, and
// check that what decodes re-encodes to something that decodes the same.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "transport/NameService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto packet = vantrel::ParseNamePacket(std::span(data, size));
  if (!packet) return 0;
  (void)vantrel::ClassifyNamePacket(*packet);
  for (const auto* section : {&packet->answers, &packet->authority, &packet->additional}) {
    for (const auto& rr : *section) {
      (void)vantrel::ParseNbRdata(rr.rdata);
      (void)vantrel::ParseNodeStatusRdata(rr.rdata);
      (void)rr.name.ToString();
    }
  }
  auto again = vantrel::ParseNamePacket(vantrel::BuildNamePacket(*packet));
  if (!again || again->questions.size() != packet->questions.size() ||
      again->answers.size() != packet->answers.size() ||
      !(again->answers.empty() || again->answers[0].name == packet->answers[0].name)) {
    std::abort();
  }
  return 0;
}
