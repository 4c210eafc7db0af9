#include "ui/TextCodec.h"

#include <QByteArray>

namespace vantrel::ui {

QString TextCodec::ToQString(std::string_view bytes) const {
  DecodedText decoded = converter_.ToUtf8(codePage_, bytes);
  return QString::fromUtf8(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size()));
}

std::string TextCodec::FromQString(const QString& text, size_t* unencodable) const {
  QByteArray utf8 = text.toUtf8();
  EncodedText encoded = converter_.FromUtf8(
      codePage_, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  if (unencodable) *unencodable = encoded.unencodable;
  return std::move(encoded.bytes);
}

}  // namespace vantrel::ui
