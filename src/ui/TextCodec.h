#pragma once
// Text in the system code page as the widgets show and take it: bytes from
// the wire and the records become QString for display, typed text becomes
// code-page bytes before it is sent or stored.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace vantrel::ui {

class TextCodec {
 public:
  TextCodec(ICodePage& converter, uint32_t codePage) : converter_(converter), codePage_(codePage) {}

  uint32_t codePage() const { return codePage_; }

  // Bytes that do not convert show as U+FFFD.
  QString ToQString(std::string_view bytes) const;
  // Characters the code page cannot hold become '?'; *unencodable (when
  // given) receives their number.
  std::string FromQString(const QString& text, size_t* unencodable = nullptr) const;

 private:
  ICodePage& converter_;
  uint32_t codePage_;
};

}  // namespace vantrel::ui
