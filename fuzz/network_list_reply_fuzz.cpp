// The running program's list answer on arbitrary bytes: what is taken keeps
// the format's bounds and survives being encoded and decoded again.
#include <cstdint>
#include <span>
#include <string>

#include "directory/NetworkList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto list = vantrel::DecodeNetworkListReply(std::span<const uint8_t>(data, size));
  if (!list) return 0;
  if (list->size() > vantrel::kMaxListReplyEntries) __builtin_trap();
  for (const std::string& entry : *list) {
    if (entry.size() > vantrel::kMaxNetworkEntry) __builtin_trap();
    if (entry.find('\0') != std::string::npos) __builtin_trap();
  }
  const std::string again = vantrel::EncodeNetworkListReply(*list);
  const auto back = vantrel::DecodeNetworkListReply(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(again.data()), again.size()));
  if (!back || *back != *list) __builtin_trap();
  return 0;
}
