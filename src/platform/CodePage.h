#pragma once
// Conversion between 8-bit text in a Windows code page and UTF-8. Bytes on
// the wire and in records stay bytes; they are converted only to show them,
// and text the user types is converted back before it is sent.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// Code pages the program falls back to for unknown numbers.
inline constexpr uint32_t kWesternCodePage = 1252;

struct DecodedText {
  std::string utf8;
  size_t replaced = 0;  // bytes (or truncated sequences) that became U+FFFD
};

struct EncodedText {
  std::string bytes;
  size_t unencodable = 0;  // characters (or invalid UTF-8 bytes) that became '?'
};

class ICodePage {
 public:
  virtual ~ICodePage() = default;

  // Whether the code page is known; an unknown one is converted as 1252.
  virtual bool IsSupported(uint32_t codePage) = 0;
  // Text in the code page to UTF-8. A byte that does not convert becomes
  // U+FFFD and conversion goes on with the next byte; a multi-byte sequence
  // cut off by the end becomes one U+FFFD.
  virtual DecodedText ToUtf8(uint32_t codePage, std::string_view bytes) = 0;
  // UTF-8 to text in the code page. A character the code page cannot hold,
  // and a byte that is not valid UTF-8, becomes '?'.
  virtual EncodedText FromUtf8(uint32_t codePage, std::string_view utf8) = 0;
};

}  // namespace vantrel
