#include "hook/linux/CaptureFormat.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel::capture {
namespace {

constexpr std::string_view kSpoolMagic = "VTS1";
constexpr std::string_view kGreetingMagic = "VTW1";

bool ReadMagic(ByteReader& r, std::string_view magic) {
  std::span<const uint8_t> got = r.Bytes(magic.size());
  if (!r.Ok()) return false;
  for (size_t i = 0; i < magic.size(); ++i)
    if (got[i] != static_cast<uint8_t>(magic[i])) return false;
  return true;
}

std::string AsString(std::span<const uint8_t> bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Length of the UTF-8 sequence that starts at s[i], or 0 when it is not one
// (overlong forms, surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0Fu;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07u;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3Fu);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return n;
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string DateTimeWords(uint64_t arrivalNs) {
  const std::time_t t = static_cast<std::time_t>(arrivalNs / 1000000000u);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return "01.01.1970 00:00:00";
  char buf[32];
  std::strftime(buf, sizeof buf, "%d.%m.%Y %H:%M:%S", &tm);
  return buf;
}

// The body as the pop-up shows it: LF -> CR LF, no line break at the end.
std::string PopupBody(std::string_view body) {
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
  std::string out;
  out.reserve(body.size() + body.size() / 8);
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\n' && (i == 0 || body[i - 1] != '\r')) out += '\r';
    out += body[i];
  }
  return out;
}

}  // namespace

std::string CaptureDirPath() {
  const char* env = std::getenv(kCaptureDirEnv);
  if (env && env[0] == '/') return env;
  return std::string(kDefaultCaptureDir);
}

std::string WindowEndpointName(uint64_t window) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*s%016llx", static_cast<int>(kWindowPrefix.size()),
                kWindowPrefix.data(), static_cast<unsigned long long>(window));
  return buf;
}

std::optional<uint64_t> ParseWindowEndpointName(std::string_view name) {
  if (name.size() != kWindowPrefix.size() + 16 ||
      name.substr(0, kWindowPrefix.size()) != kWindowPrefix)
    return std::nullopt;
  uint64_t id = 0;
  for (char c : name.substr(kWindowPrefix.size())) {
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else
      return std::nullopt;
    id = (id << 4) | digit;
  }
  if (id == 0) return std::nullopt;
  return id;
}

std::string SpoolSlotName(size_t slot) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03zu", slot % kSpoolSlots);
  return std::string(kSpoolPrefix) + buf;
}

std::optional<size_t> ParseSpoolSlotName(std::string_view name) {
  if (name.size() != kSpoolPrefix.size() + 3 || name.substr(0, kSpoolPrefix.size()) != kSpoolPrefix)
    return std::nullopt;
  size_t slot = 0;
  for (char c : name.substr(kSpoolPrefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    slot = slot * 10 + static_cast<size_t>(c - '0');
  }
  if (slot >= kSpoolSlots) return std::nullopt;
  return slot;
}

std::string EncodeTarget(uint64_t window) { return WindowEndpointName(window) + "\n"; }

std::optional<uint64_t> DecodeTarget(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  const size_t nameSize = kWindowPrefix.size() + 16;
  std::string name = AsString(r.Bytes(nameSize));
  if (!r.Ok() || r.U8() != '\n' || !r.Ok() || !r.AtEnd()) return std::nullopt;
  return ParseWindowEndpointName(name);
}

std::string PopupWord(std::string_view name) {
  std::string out(name.substr(0, kNameMax));
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == ' ' || c == ':') c = '_';
  }
  return out;
}

std::optional<std::string> Utf8ToCodePage(std::string_view utf8, uint32_t codePage) {
  if (!IsUtf8(utf8)) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "CP%u", codePage);
  iconv_t cd = iconv_open(name, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(utf8.size());
  char buf[256];
  size_t i = 0;
  while (i < utf8.size()) {
    // One character at a time, so that one the code page lacks becomes '?'.
    const size_t n = Utf8SequenceLength(utf8, i);
    char* in = const_cast<char*>(utf8.data() + i);
    size_t inLeft = n;
    char* o = buf;
    size_t outLeft = sizeof buf;
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out += '?';
    } else {
      out.append(buf, sizeof buf - outLeft);
    }
    i += n;
  }
  // Shift state (none for the ANSI code pages, but ask all the same).
  char* o = buf;
  size_t outLeft = sizeof buf;
  if (iconv(cd, nullptr, nullptr, &o, &outLeft) != static_cast<size_t>(-1))
    out.append(buf, sizeof buf - outLeft);
  iconv_close(cd);
  return out;
}

std::string BuildPopupText(const CapturedMessage& message, int languageClass, uint32_t codePage) {
  std::string sender = PopupWord(message.sender);
  std::string receiver = PopupWord(message.receiver);
  if (sender.empty()) sender = "_";
  if (receiver.empty()) receiver = "_";
  const std::string when = DateTimeWords(message.arrivalNs);

  std::string text;
  if (languageClass == 1)
    text = "On " + when + " " + sender + " to " + receiver + " wrote:";
  else
    text = "Message from " + sender + " to " + receiver + " on " + when;
  text += "\r\n";

  std::string_view body(message.body);
  body = body.substr(0, kBodyMax);
  std::optional<std::string> converted = Utf8ToCodePage(body, codePage);
  text += PopupBody(converted ? std::string_view(*converted) : body);
  if (text.size() > kPopupTextMax) text.resize(kPopupTextMax);
  return text;
}

std::vector<uint8_t> EncodeSpoolRecord(const CapturedMessage& message) {
  const std::string_view sender = std::string_view(message.sender).substr(0, kNameMax);
  const std::string_view receiver = std::string_view(message.receiver).substr(0, kNameMax);
  const std::string_view body = std::string_view(message.body).substr(0, kBodyMax);
  ByteWriter w;
  w.Text(kSpoolMagic);
  w.U32Le(static_cast<uint32_t>(message.arrivalNs));
  w.U32Le(static_cast<uint32_t>(message.arrivalNs >> 32));
  w.U8(static_cast<uint8_t>(sender.size()));
  w.Text(sender);
  w.U8(static_cast<uint8_t>(receiver.size()));
  w.Text(receiver);
  w.U16Le(static_cast<uint16_t>(body.size()));
  w.Text(body);
  return w.Take();
}

std::optional<CapturedMessage> DecodeSpoolRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() > kSpoolRecordMax) return std::nullopt;
  ByteReader r(bytes);
  if (!ReadMagic(r, kSpoolMagic)) return std::nullopt;
  CapturedMessage m;
  const uint64_t low = r.U32Le();
  const uint64_t high = r.U32Le();
  m.arrivalNs = low | (high << 32);
  const uint8_t senderSize = r.U8();
  if (senderSize > kNameMax) return std::nullopt;
  m.sender = AsString(r.Bytes(senderSize));
  const uint8_t receiverSize = r.U8();
  if (receiverSize > kNameMax) return std::nullopt;
  m.receiver = AsString(r.Bytes(receiverSize));
  const uint16_t bodySize = r.U16Le();
  if (bodySize > kBodyMax) return std::nullopt;
  m.body = AsString(r.Bytes(bodySize));
  if (!r.Ok() || !r.AtEnd()) return std::nullopt;
  return m;
}

std::vector<uint8_t> EncodeGreeting(const WindowGreeting& greeting) {
  ByteWriter w;
  w.Text(kGreetingMagic);
  w.U8(greeting.languageClass);
  w.U32Le(greeting.codePage);
  return w.Take();
}

std::optional<WindowGreeting> DecodeGreeting(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  if (!ReadMagic(r, kGreetingMagic)) return std::nullopt;
  WindowGreeting g;
  g.languageClass = r.U8();
  g.codePage = r.U32Le();
  if (!r.Ok() || !r.AtEnd() || g.languageClass > 2) return std::nullopt;
  return g;
}

std::vector<uint8_t> EncodeCopyData(std::string_view text) {
  ByteWriter w;
  w.U32Le(0);
  w.U32Le(static_cast<uint32_t>(text.size()));
  w.Text(text);
  return w.Take();
}

std::optional<CopyDataHeader> DecodeCopyDataHeader(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  CopyDataHeader h;
  h.dwData = r.U32Le();
  h.cbData = r.U32Le();
  if (!r.Ok() || !r.AtEnd()) return std::nullopt;
  if (h.dwData != 0 || h.cbData == 0 || h.cbData > kPopupTextMax) return std::nullopt;
  return h;
}

}  // namespace vantrel::capture
