#pragma once
// Browser frames: the data of a mailslot write to \MAILSLOT\BROWSE (and the
// LAN Manager announcement on \MAILSLOT\LANMAN) with which computers announce
// themselves to their workgroup. Little-endian. Offsets from the start of the
// mailslot data.
//
// HostAnnouncement (0x01) and LocalMasterAnnouncement (0x0F), the same layout:
//
//   0      1       2             6                       22    23    24
//   +------+-------+-------------+-----------------------+-----+-----+
//   |opcode|UpdCnt | Periodicity | ServerName (16 bytes, | OS  | OS  |
//   |      | (0)   | (ms)        | NUL-terminated)       |major|minor|
//   +------+-------+-------------+-----------------------+-----+-----+
//   24            28    29    30        32
//   +-------------+-----+-----+---------+--------------------------------+
//   | ServerType  |Brwsr|Brwsr|Signature| Comment, NUL-terminated,       |
//   | (SV_TYPE_*) |major|minor| 0xAA55  | at most 43 bytes with the NUL  |
//   +-------------+-----+-----+---------+--------------------------------+
//
// DomainAnnouncement (0x0C) has the same fixed part with MachineGroup (the
// workgroup) in place of ServerName, the browser configuration version in
// place of the OS version, and LocalMasterBrowserName (at most 16 bytes with
// its NUL) in place of the comment.
//
// AnnouncementRequest (0x02):
//
//   0      1          2
//   +------+----------+-----------------------------------------------+
//   | 0x02 | Reserved | ResponseName, NUL-terminated (ignored)        |
//   +------+----------+-----------------------------------------------+
//   The receiver ignores ResponseName, so a request needs only its first two
//   bytes; Samba's nmbd sends its token as the reserved byte and its name
//   without the NUL.
//
// On receipt a name field must hold its NUL within its 16 bytes and must not
// be empty; trailing blanks are padding. In announcements every string must
// end with its NUL inside the data (so an announcement cut anywhere is
// refused); bytes behind
// it are ignored. A comment longer than its wire limit is cut to 42 bytes, a
// master browser name to 15. UpdateCount, the reserved byte, the version
// bytes and the signature are not checked (Windows leaves some of them
// uninitialised). Names and comments are bytes of the sender's code page.
// Other opcodes (elections, backup lists, ...) are not decoded: kNotAnnouncement.
// A failed decode gives a status and no frame.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr std::string_view kBrowseMailslot = "\\MAILSLOT\\BROWSE";
inline constexpr std::string_view kLanmanMailslot = "\\MAILSLOT\\LANMAN";

inline constexpr uint8_t kBrowseHostAnnouncement = 0x01;
inline constexpr uint8_t kBrowseAnnouncementRequest = 0x02;
inline constexpr uint8_t kBrowseDomainAnnouncement = 0x0C;
inline constexpr uint8_t kBrowseLocalMasterAnnouncement = 0x0F;

// Server type bits ([MS-RAP] 2.5.5.2.1) this program looks at or sends.
inline constexpr uint32_t kSvTypeWorkstation = 0x00000001;
inline constexpr uint32_t kSvTypeServer = 0x00000002;
inline constexpr uint32_t kSvTypeMasterBrowser = 0x00040000;
inline constexpr uint32_t kSvTypeDomainEnum = 0x80000000;

inline constexpr size_t kBrowseNameField = 16;   // ServerName / MachineGroup, NUL included
inline constexpr size_t kMaxBrowseName = 15;     // a NetBIOS name
inline constexpr size_t kMaxBrowseComment = 42;  // 43 bytes with the NUL
inline constexpr size_t kAnnouncementFixedSize = 32;

inline constexpr uint8_t kBrowserVersionMajor = 0x0F;
inline constexpr uint8_t kBrowserVersionMinor = 0x01;
inline constexpr uint16_t kBrowserSignature = 0xAA55;

enum class BrowseFrameKind {
  kHostAnnouncement,         // 0x01 on \MAILSLOT\BROWSE, or a LAN Manager host announcement
  kAnnouncementRequest,      // 0x02
  kDomainAnnouncement,       // 0x0C
  kLocalMasterAnnouncement,  // 0x0F
};

const char* BrowseFrameKindText(BrowseFrameKind kind);

// An announcement as decoded or to be encoded. For a DomainAnnouncement,
// `name` is the workgroup (MachineGroup) and `comment` the name of its local
// master browser; versionMajor/Minor are the browser configuration version.
struct BrowseAnnouncement {
  uint32_t periodicityMs = 0;
  std::string name;
  uint8_t versionMajor = 0;
  uint8_t versionMinor = 0;
  uint32_t serverType = 0;
  uint8_t browserVersionMajor = kBrowserVersionMajor;
  uint8_t browserVersionMinor = kBrowserVersionMinor;
  uint16_t signature = kBrowserSignature;
  std::string comment;
  bool commentCut = false;  // the sender's comment (or master name) was over its limit
};

struct BrowseFrame {
  BrowseFrameKind kind = BrowseFrameKind::kHostAnnouncement;
  BrowseAnnouncement announcement;  // announcements
  std::string responseName;         // AnnouncementRequest (to be ignored, kept for logs)
};

enum class BrowseParseStatus {
  kOk,
  kEmpty,            // no data at all
  kNotAnnouncement,  // an opcode this program does not decode (elections, backup lists, ...)
  kTruncated,        // the fixed part or a string's NUL is missing
  kBadName,          // the name field has no NUL within 16 bytes, or is empty
};

const char* BrowseParseStatusText(BrowseParseStatus status);

struct BrowseParseResult {
  BrowseParseStatus status = BrowseParseStatus::kEmpty;
  BrowseFrame frame;
  bool ok() const { return status == BrowseParseStatus::kOk; }
};

// Decodes the data of a \MAILSLOT\BROWSE write.
BrowseParseResult ParseBrowseFrame(std::span<const uint8_t> data);

// Decodes the data of a \MAILSLOT\LANMAN write. A frame that carries the
// browser signature at offset 30 is a browser frame as above (Windows
// servers send those there); otherwise opcode 0x01 is the LAN Manager host
// announcement, kind kHostAnnouncement with the periodicity given in seconds
// on the wire:
//
//   0      1            5     6     7            9
//   +------+------------+-----+-----+------------+---------------+----------+
//   | 0x01 | ServerType | OS  | OS  | Periodicity| ServerName,   | Comment, |
//   |      |            |major|minor| (seconds)  | NUL-terminated| NUL-term.|
//   +------+------------+-----+-----+------------+---------------+----------+
//
// The same rules for strings apply (the name at most 15 bytes before its NUL).
BrowseParseResult ParseLanmanFrame(std::span<const uint8_t> data);

// Encodes a HostAnnouncement (opcode 0x01, or 0x0F with localMaster): the
// name upper-cased (ASCII letters), cut to 15 bytes and zero-filled to 16,
// UpdateCount 0, browser version 15.1, signature 0xAA55 (whatever the struct
// holds there), the comment cut to 42 bytes and NUL-terminated. A name or
// comment with a zero byte inside ends there.
std::vector<uint8_t> EncodeHostAnnouncement(const BrowseAnnouncement& announcement,
                                            bool localMaster = false);

// Encodes an AnnouncementRequest: 0x02, 0x00, the response name (upper-cased,
// cut to 15 bytes) and its NUL.
std::vector<uint8_t> EncodeAnnouncementRequest(std::string_view responseName);

}  // namespace vantrel
