#pragma once
// Code-page conversion with glibc iconv. Descriptors are opened once per
// code page and direction and kept; conversions are serialised, so one
// object may be shared between threads.

#include <iconv.h>

#include <map>
#include <mutex>
#include <span>
#include <utility>

#include "platform/CodePage.h"

namespace vantrel::linux {

// The iconv names that may stand for a Windows code page number, most
// specific first; empty for an unknown number.
std::span<const char* const> IconvNamesForCodePage(uint32_t codePage);

class IconvCodePage : public ICodePage {
 public:
  IconvCodePage() = default;
  IconvCodePage(const IconvCodePage&) = delete;
  IconvCodePage& operator=(const IconvCodePage&) = delete;
  ~IconvCodePage() override;

  bool IsSupported(uint32_t codePage) override;
  DecodedText ToUtf8(uint32_t codePage, std::string_view bytes) override;
  EncodedText FromUtf8(uint32_t codePage, std::string_view utf8) override;

 private:
  enum class Direction { kToUtf8, kFromUtf8 };
  // The cached descriptor, or nothing (iconv's (iconv_t)-1) when the code
  // page has no iconv converter. Called with mutex_ held.
  iconv_t Descriptor(uint32_t codePage, Direction direction);
  // The descriptor for the code page, or for 1252 when it has none.
  iconv_t DescriptorOrWestern(uint32_t codePage, Direction direction);

  std::mutex mutex_;
  std::map<std::pair<uint32_t, Direction>, iconv_t> cache_;
};

}  // namespace vantrel::linux
