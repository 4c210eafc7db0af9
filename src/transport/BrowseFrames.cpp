#include "transport/BrowseFrames.h"

#include "transport/ByteReader.h"
#include "transport/ByteWriter.h"

namespace vantrel {
namespace {

constexpr size_t kLanmanFixedSize = 9;
constexpr size_t kSignatureOffset = 30;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Reads a NUL-terminated string; keeps at most `keep` bytes of it (the rest
// is read over and `*cut` set). Fails the reader when the data ends first.
std::string ReadCString(ByteReader& r, size_t keep, bool* cut) {
  std::string s;
  for (;;) {
    uint8_t c = r.U8();
    if (!r.Ok() || c == 0) break;
    if (s.size() < keep) {
      s.push_back(static_cast<char>(c));
    } else if (cut != nullptr) {
      *cut = true;
    }
  }
  return s;
}

// A 16-byte name field: the bytes before its NUL, trailing blanks removed.
// Empty when there is no NUL in the field or nothing before it.
std::string NameField(std::span<const uint8_t> field) {
  std::string s;
  for (uint8_t c : field) {
    if (c == 0) {
      while (!s.empty() && s.back() == ' ') s.pop_back();
      return s;
    }
    s.push_back(static_cast<char>(c));
  }
  return {};
}

// The fixed 32 bytes of a host, local master or domain announcement (the
// opcode already read) and its trailing string.
BrowseParseResult ParseAnnouncement(ByteReader& r, BrowseFrameKind kind) {
  BrowseParseResult result;
  BrowseAnnouncement& a = result.frame.announcement;
  result.frame.kind = kind;
  r.Skip(1);                              // 1  UpdateCount
  a.periodicityMs = r.U32Le();            // 2  Periodicity
  auto name = r.Bytes(kBrowseNameField);  // 6  ServerName / MachineGroup
  a.versionMajor = r.U8();                // 22 OS (or browser config) version
  a.versionMinor = r.U8();                // 23
  a.serverType = r.U32Le();               // 24 ServerType
  a.browserVersionMajor = r.U8();         // 28 BrowserVersionMajor
  a.browserVersionMinor = r.U8();         // 29 BrowserVersionMinor
  a.signature = r.U16Le();                // 30 Signature
  if (!r.Ok()) {
    result.status = BrowseParseStatus::kTruncated;
    return result;
  }
  a.name = NameField(name);
  if (a.name.empty()) {
    result.status = BrowseParseStatus::kBadName;
    return result;
  }
  // 32: the comment, or for a domain announcement the local master's name.
  const size_t keep =
      kind == BrowseFrameKind::kDomainAnnouncement ? kMaxBrowseName : kMaxBrowseComment;
  a.comment = ReadCString(r, keep, &a.commentCut);
  result.status = r.Ok() ? BrowseParseStatus::kOk : BrowseParseStatus::kTruncated;
  return result;
}

// The response name is to be ignored, so only the opcode and the reserved
// byte are required; Samba's nmbd sends its name without the NUL.
BrowseParseResult ParseRequest(ByteReader& r) {
  BrowseParseResult result;
  result.frame.kind = BrowseFrameKind::kAnnouncementRequest;
  r.Skip(1);  // 1 Reserved (Samba: its token)
  if (!r.Ok()) {
    result.status = BrowseParseStatus::kTruncated;
    return result;
  }
  // 2 ResponseName: up to its NUL or the end, at most 15 bytes kept.
  while (!r.AtEnd() && result.frame.responseName.size() < kMaxBrowseName) {
    const uint8_t c = r.U8();
    if (c == 0) break;
    result.frame.responseName.push_back(static_cast<char>(c));
  }
  result.status = BrowseParseStatus::kOk;
  return result;
}

// The LAN Manager host announcement (opcode already read).
BrowseParseResult ParseLanmanAnnouncement(ByteReader& r) {
  BrowseParseResult result;
  BrowseAnnouncement& a = result.frame.announcement;
  result.frame.kind = BrowseFrameKind::kHostAnnouncement;
  a.serverType = r.U32Le();      // 1 ServerType
  a.versionMajor = r.U8();       // 5 OS version
  a.versionMinor = r.U8();       // 6
  uint16_t seconds = r.U16Le();  // 7 Periodicity, seconds
  if (!r.Ok()) {
    result.status = BrowseParseStatus::kTruncated;
    return result;
  }
  a.periodicityMs = uint32_t{seconds} * 1000;
  a.browserVersionMajor = 0;
  a.browserVersionMinor = 0;
  a.signature = 0;
  bool nameCut = false;
  a.name = ReadCString(r, kMaxBrowseName, &nameCut);             // 9 ServerName
  a.comment = ReadCString(r, kMaxBrowseComment, &a.commentCut);  // Comment
  if (!r.Ok()) {
    result.status = BrowseParseStatus::kTruncated;
    return result;
  }
  while (!a.name.empty() && a.name.back() == ' ') a.name.pop_back();
  result.status = a.name.empty() || nameCut ? BrowseParseStatus::kBadName : BrowseParseStatus::kOk;
  return result;
}

void WriteName(ByteWriter& w, std::string_view name, size_t keep) {
  size_t n = 0;
  for (char c : name) {
    if (c == '\0' || n == keep) break;
    w.U8(static_cast<uint8_t>(Upper(c)));
    ++n;
  }
  w.Zeros(1);  // NUL
}

}  // namespace

const char* BrowseFrameKindText(BrowseFrameKind kind) {
  switch (kind) {
    case BrowseFrameKind::kHostAnnouncement:
      return "host announcement";
    case BrowseFrameKind::kAnnouncementRequest:
      return "announcement request";
    case BrowseFrameKind::kDomainAnnouncement:
      return "domain announcement";
    case BrowseFrameKind::kLocalMasterAnnouncement:
      return "local master announcement";
  }
  return "?";
}

const char* BrowseParseStatusText(BrowseParseStatus status) {
  switch (status) {
    case BrowseParseStatus::kOk:
      return "ok";
    case BrowseParseStatus::kEmpty:
      return "empty browser frame";
    case BrowseParseStatus::kNotAnnouncement:
      return "not an announcement";
    case BrowseParseStatus::kTruncated:
      return "truncated browser frame";
    case BrowseParseStatus::kBadName:
      return "bad name in browser frame";
  }
  return "?";
}

BrowseParseResult ParseBrowseFrame(std::span<const uint8_t> data) {
  ByteReader r(data);
  const uint8_t opcode = r.U8();  // 0 opcode
  if (!r.Ok()) return {};
  switch (opcode) {
    case kBrowseHostAnnouncement:
      return ParseAnnouncement(r, BrowseFrameKind::kHostAnnouncement);
    case kBrowseLocalMasterAnnouncement:
      return ParseAnnouncement(r, BrowseFrameKind::kLocalMasterAnnouncement);
    case kBrowseDomainAnnouncement:
      return ParseAnnouncement(r, BrowseFrameKind::kDomainAnnouncement);
    case kBrowseAnnouncementRequest:
      return ParseRequest(r);
    default:
      break;
  }
  BrowseParseResult result;
  result.status = BrowseParseStatus::kNotAnnouncement;
  return result;
}

BrowseParseResult ParseLanmanFrame(std::span<const uint8_t> data) {
  // A browser frame with its signature, as Windows servers send there.
  ByteReader peek(data);
  if (peek.Skip(kSignatureOffset) && peek.U16Le() == kBrowserSignature) {
    return ParseBrowseFrame(data);
  }
  ByteReader r(data);
  const uint8_t opcode = r.U8();  // 0 opcode
  if (!r.Ok()) return {};
  if (opcode != kBrowseHostAnnouncement) {
    BrowseParseResult result;
    result.status = BrowseParseStatus::kNotAnnouncement;
    return result;
  }
  return ParseLanmanAnnouncement(r);
}

std::vector<uint8_t> EncodeHostAnnouncement(const BrowseAnnouncement& a, bool localMaster) {
  ByteWriter w;
  w.U8(localMaster ? kBrowseLocalMasterAnnouncement : kBrowseHostAnnouncement);  // 0
  w.U8(0);                                                                       // 1 UpdateCount
  w.U32Le(a.periodicityMs);                                                      // 2
  const size_t nameAt = w.Size();
  WriteName(w, a.name, kMaxBrowseName);             // 6 ServerName
  w.Zeros(kBrowseNameField - (w.Size() - nameAt));  //   zero-filled
  w.U8(a.versionMajor);                             // 22
  w.U8(a.versionMinor);                             // 23
  w.U32Le(a.serverType);                            // 24
  w.U8(kBrowserVersionMajor);                       // 28
  w.U8(kBrowserVersionMinor);                       // 29
  w.U16Le(kBrowserSignature);                       // 30
  size_t n = 0;                                     // 32 Comment
  for (char c : a.comment) {
    if (c == '\0' || n == kMaxBrowseComment) break;
    w.U8(static_cast<uint8_t>(c));
    ++n;
  }
  w.Zeros(1);
  return w.Take();
}

std::vector<uint8_t> EncodeAnnouncementRequest(std::string_view responseName) {
  ByteWriter w;
  w.U8(kBrowseAnnouncementRequest);            // 0
  w.U8(0);                                     // 1 Reserved
  WriteName(w, responseName, kMaxBrowseName);  // 2 ResponseName, NUL
  return w.Take();
}

}  // namespace vantrel
