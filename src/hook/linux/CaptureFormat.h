#pragma once
// The formats of pop-up capture on Linux, shared by the capture helper
// (vantrel-capture, run by smbd for every "send message" it receives), the
// hook library (libVantrel.so) and the program's window endpoint:
//
//   - the pop-up text built from a captured message, laid out as
//     ParsePopupText reads it for the receiving window's language class;
//   - the spool record, a message kept while no window is registered;
//   - the window protocol: what a window endpoint says first (its greeting)
//     and the copy-data record sent to it.
//
// Everything read from outside goes through ByteReader; a decoder returns
// nothing for bytes that are not exactly one well-formed record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::capture {

// ---- The capture directory ----------------------------------------------------
//
// One directory per computer, owned by the user who receives this computer's
// messages (created by root with mode 3733: set-group-id, sticky, rwx for the
// owner, write and search only for everybody else). It holds
//   lock          an empty file; the helper and the library take it (flock)
//                 while they look at and change what follows
//   target        the registration: the name of the registered window's endpoint
//   window-<id>   a window endpoint, a Unix stream socket of the program
//   spool-<nnn>   a spooled message (nnn = 000 .. kSpoolSlots - 1)

inline constexpr const char* kCaptureDirEnv = "VANTREL_CAPTURE_DIR";
inline constexpr std::string_view kDefaultCaptureDir = "/var/spool/vantrel";
inline constexpr std::string_view kLockName = "lock";
inline constexpr std::string_view kTargetName = "target";
inline constexpr std::string_view kWindowPrefix = "window-";
inline constexpr std::string_view kSpoolPrefix = "spool-";
inline constexpr size_t kSpoolSlots = 256;

// $VANTREL_CAPTURE_DIR when set and absolute, else /var/spool/vantrel.
std::string CaptureDirPath();

// "window-" and the id as 16 lower-case hex digits.
std::string WindowEndpointName(uint64_t window);
// The id of a window endpoint's name; nothing for any other name (0 is no id).
std::optional<uint64_t> ParseWindowEndpointName(std::string_view name);
// "spool-" and the slot as 3 digits; the slot of such a name.
std::string SpoolSlotName(size_t slot);
std::optional<size_t> ParseSpoolSlotName(std::string_view name);

// The registration file: the endpoint's name and a line feed.
std::string EncodeTarget(uint64_t window);
std::optional<uint64_t> DecodeTarget(std::span<const uint8_t> bytes);
inline constexpr size_t kTargetMax = 64;

// ---- A captured message and its pop-up text -----------------------------------

inline constexpr size_t kNameMax = 15;         // sender and receiver, as NetBIOS names
inline constexpr size_t kBodyMax = 4000;       // what is kept of a message's body
inline constexpr size_t kPopupTextMax = 1023;  // the longest text a window is sent

struct CapturedMessage {
  uint64_t arrivalNs = 0;  // when the helper got it: nanoseconds since the epoch
  std::string sender;      // at most kNameMax bytes
  std::string receiver;    // at most kNameMax bytes
  std::string body;        // as smbd wrote it (UTF-8, or the sender's bytes); at most kBodyMax
};

// A name as one word of the pop-up's first line: cut to kNameMax bytes, and
// every byte that would split or move the words (control characters, blank,
// colon, DEL) replaced by '_'. Empty stays empty.
std::string PopupWord(std::string_view name);

// The pop-up text of a message, laid out for a window of the given language
// class (1: Simplified-Chinese layout, 2: English layout; any other value is
// taken as 2) and encoded in its ANSI code page:
//   class 2: "Message from SENDER to RECEIVER on DD.MM.YYYY HH:MM:SS"
//   class 1: "On DD.MM.YYYY HH:MM:SS SENDER to RECEIVER wrote:"
// then CR LF and the body: converted from UTF-8 into the code page when it is
// UTF-8 (characters the code page lacks become '?'), else kept as bytes; its
// line feeds become CR LF and line breaks at its end are dropped. An empty
// sender or receiver shows as "_". The date is the arrival in local time. The
// whole is cut to kPopupTextMax bytes; it is never empty.
std::string BuildPopupText(const CapturedMessage& message, int languageClass, uint32_t codePage);

// UTF-8 into a Windows ANSI code page ('?' for what it lacks); nothing when
// the text is not UTF-8 or the code page is unknown here.
std::optional<std::string> Utf8ToCodePage(std::string_view utf8, uint32_t codePage);

// ---- Spool record -------------------------------------------------------------
//
//   offset  size  field
//   0       4     magic "VTS1"
//   4       8     arrival, nanoseconds since the epoch, little-endian
//   12      1     sender length s (0..15)
//   13      s     sender
//   13+s    1     receiver length r (0..15)
//   14+s    r     receiver
//   14+s+r  2     body length b (0..4000), little-endian
//   16+s+r  b     body
// and nothing behind it.

inline constexpr size_t kSpoolRecordMax = 16 + 2 * kNameMax + kBodyMax;

std::vector<uint8_t> EncodeSpoolRecord(const CapturedMessage& message);
std::optional<CapturedMessage> DecodeSpoolRecord(std::span<const uint8_t> bytes);

// ---- Window protocol ----------------------------------------------------------
//
// A window endpoint speaks first, its greeting (9 bytes):
//   0  4  magic "VTW1"
//   4  1  language class of the window (0, 1 or 2)
//   5  4  the window's ANSI code page, little-endian
// The sender then sends one copy-data record:
//   0  4  dwData, little-endian (0)
//   4  4  cbData, little-endian (1..1023)
//   8  cbData  the text
// and the endpoint answers one byte: 1 when it took the text, 0 when not.

struct WindowGreeting {
  uint8_t languageClass = 2;
  uint32_t codePage = 1252;
};

inline constexpr size_t kGreetingSize = 9;
inline constexpr size_t kCopyDataHeaderSize = 8;
inline constexpr uint8_t kAckTaken = 1;
inline constexpr uint8_t kAckRefused = 0;

std::vector<uint8_t> EncodeGreeting(const WindowGreeting& greeting);
std::optional<WindowGreeting> DecodeGreeting(std::span<const uint8_t> bytes);

struct CopyDataHeader {
  uint32_t dwData = 0;
  uint32_t cbData = 0;
};

std::vector<uint8_t> EncodeCopyData(std::string_view text);
// The header of a copy-data record; nothing unless dwData is 0 and cbData is
// 1 .. kPopupTextMax.
std::optional<CopyDataHeader> DecodeCopyDataHeader(std::span<const uint8_t> bytes);

}  // namespace vantrel::capture
