#include "platform/linux/IconvCodePage.h"

#include <cerrno>
#include <cstdint>

namespace vantrel::linux {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));

struct CodePageNames {
  uint32_t codePage;
  const char* names[4];  // null-terminated list
};

constexpr CodePageNames kNames[] = {
    {437, {"CP437", "IBM437", nullptr, nullptr}},
    {850, {"CP850", "IBM850", nullptr, nullptr}},
    {874, {"CP874", "WINDOWS-874", nullptr, nullptr}},
    {932, {"CP932", "WINDOWS-31J", "SJIS", nullptr}},
    {936, {"CP936", "GBK", nullptr, nullptr}},
    {949, {"CP949", "UHC", nullptr, nullptr}},
    {950, {"CP950", "BIG5", nullptr, nullptr}},
    {1250, {"CP1250", "WINDOWS-1250", nullptr, nullptr}},
    {1251, {"CP1251", "WINDOWS-1251", nullptr, nullptr}},
    {1252, {"CP1252", "WINDOWS-1252", nullptr, nullptr}},
    {1253, {"CP1253", "WINDOWS-1253", nullptr, nullptr}},
    {1254, {"CP1254", "WINDOWS-1254", nullptr, nullptr}},
    {1255, {"CP1255", "WINDOWS-1255", nullptr, nullptr}},
    {1256, {"CP1256", "WINDOWS-1256", nullptr, nullptr}},
    {1257, {"CP1257", "WINDOWS-1257", nullptr, nullptr}},
    {1258, {"CP1258", "WINDOWS-1258", nullptr, nullptr}},
    {20866, {"KOI8-R", nullptr, nullptr, nullptr}},
    {21866, {"KOI8-U", nullptr, nullptr, nullptr}},
    {28591, {"ISO-8859-1", nullptr, nullptr, nullptr}},
    {28592, {"ISO-8859-2", nullptr, nullptr, nullptr}},
    {28595, {"ISO-8859-5", nullptr, nullptr, nullptr}},
    {28605, {"ISO-8859-15", nullptr, nullptr, nullptr}},
    {54936, {"GB18030", nullptr, nullptr, nullptr}},
    {65001, {"UTF-8", nullptr, nullptr, nullptr}},
};

// The length of the UTF-8 sequence at the start of s, or 1 when s does not
// start with a complete, well-formed sequence (so the caller skips one byte).
size_t Utf8SequenceLength(std::string_view s) {
  auto lead = static_cast<unsigned char>(s[0]);
  size_t n = lead < 0x80             ? 1
             : (lead & 0xE0) == 0xC0 ? 2
             : (lead & 0xF0) == 0xE0 ? 3
             : (lead & 0xF8) == 0xF0 ? 4
                                     : 0;
  if (n == 0 || n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  return n;
}

// An output buffer that iconv writes into and that grows on demand.
class Output {
 public:
  explicit Output(size_t guess) : buf_(guess < 16 ? 16 : guess, '\0') {}
  char** next() { return &next_; }
  size_t* left() { return &left_; }
  void Reserve(size_t more) {
    if (left_ >= more) return;
    size_t used = used_bytes();
    buf_.resize(buf_.size() * 2 + more);
    next_ = buf_.data() + used;
    left_ = buf_.size() - used;
  }
  void Append(std::string_view s) {
    Reserve(s.size());
    for (char c : s) *next_++ = c;
    left_ -= s.size();
  }
  std::string Take() {
    buf_.resize(used_bytes());
    return std::move(buf_);
  }

 private:
  size_t used_bytes() const { return static_cast<size_t>(next_ - buf_.data()); }
  std::string buf_;
  char* next_ = buf_.data();
  size_t left_ = buf_.size();
};

// Runs iconv over input. Where it stops at bytes it cannot convert, calls
// onBad(rest, incomplete) (incomplete: a sequence cut off by the end), which
// writes a replacement and returns how many bytes to skip; then goes on.
template <typename OnBad>
void Convert(iconv_t cd, std::string_view input, Output& out, OnBad onBad) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  // iconv takes a non-const input pointer but never writes through it.
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, out.next(), out.left()) != static_cast<size_t>(-1)) break;
    int error = errno;
    if (error == E2BIG) {
      out.Reserve(inLeft * 4 + 16);
      continue;
    }
    std::string_view rest(in, inLeft);
    size_t skip = error == EILSEQ ? onBad(rest, false) : (onBad(rest, true), inLeft);
    if (skip == 0) skip = 1;
    if (skip > inLeft) skip = inLeft;
    in += skip;
    inLeft -= skip;
  }
  // Flush what a stateful converter still holds.
  while (iconv(cd, nullptr, nullptr, out.next(), out.left()) == static_cast<size_t>(-1) &&
         errno == E2BIG)
    out.Reserve(32);
}

}  // namespace

std::span<const char* const> IconvNamesForCodePage(uint32_t codePage) {
  for (const CodePageNames& row : kNames) {
    if (row.codePage != codePage) continue;
    size_t n = 0;
    while (n < 4 && row.names[n]) ++n;
    return std::span<const char* const>(row.names, n);
  }
  return {};
}

IconvCodePage::~IconvCodePage() {
  for (auto& [key, cd] : cache_)
    if (cd != kNoDescriptor) iconv_close(cd);
}

iconv_t IconvCodePage::Descriptor(uint32_t codePage, Direction direction) {
  auto key = std::make_pair(codePage, direction);
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  iconv_t cd = kNoDescriptor;
  for (const char* name : IconvNamesForCodePage(codePage)) {
    cd = direction == Direction::kToUtf8 ? iconv_open("UTF-8", name) : iconv_open(name, "UTF-8");
    if (cd != kNoDescriptor) break;
  }
  cache_.emplace(key, cd);
  return cd;
}

iconv_t IconvCodePage::DescriptorOrWestern(uint32_t codePage, Direction direction) {
  iconv_t cd = Descriptor(codePage, direction);
  return cd != kNoDescriptor ? cd : Descriptor(kWesternCodePage, direction);
}

bool IconvCodePage::IsSupported(uint32_t codePage) {
  std::lock_guard lock(mutex_);
  return Descriptor(codePage, Direction::kToUtf8) != kNoDescriptor &&
         Descriptor(codePage, Direction::kFromUtf8) != kNoDescriptor;
}

DecodedText IconvCodePage::ToUtf8(uint32_t codePage, std::string_view bytes) {
  DecodedText result;
  Output out(bytes.size() * 3 + 16);
  auto onBad = [&](std::string_view, bool) {
    out.Append(kReplacementUtf8);
    ++result.replaced;
    return size_t{1};
  };
  std::lock_guard lock(mutex_);
  iconv_t cd = DescriptorOrWestern(codePage, Direction::kToUtf8);
  if (cd == kNoDescriptor) {
    // No converter at all: ASCII stays, everything else is replaced.
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80)
        out.Append(std::string_view(&c, 1));
      else
        onBad({}, false);
    }
  } else {
    Convert(cd, bytes, out, onBad);
  }
  result.utf8 = out.Take();
  return result;
}

EncodedText IconvCodePage::FromUtf8(uint32_t codePage, std::string_view utf8) {
  EncodedText result;
  Output out(utf8.size() + 16);
  auto onBad = [&](std::string_view rest, bool incomplete) {
    out.Append("?");
    ++result.unencodable;
    return incomplete || rest.empty() ? rest.size() : Utf8SequenceLength(rest);
  };
  std::lock_guard lock(mutex_);
  iconv_t cd = DescriptorOrWestern(codePage, Direction::kFromUtf8);
  if (cd == kNoDescriptor) {
    for (size_t i = 0; i < utf8.size();) {
      if (static_cast<unsigned char>(utf8[i]) < 0x80) {
        out.Append(utf8.substr(i, 1));
        ++i;
      } else {
        i += onBad(utf8.substr(i), false);
      }
    }
  } else {
    Convert(cd, utf8, out, onBad);
  }
  result.bytes = out.Take();
  return result;
}

}  // namespace vantrel::linux
