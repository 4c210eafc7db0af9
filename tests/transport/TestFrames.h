#pragma once
// Test-only helpers for the NetBIOS codecs: hex fixtures and an independent
// frame builder. The builder is written from the wire tables directly and
// shares no code with the production encoders, so each checks the other.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::testframes {

using Bytes = std::vector<uint8_t>;

// "10 02 12 34" (blanks, newlines and "|" separators ignored) to bytes.
inline Bytes Hex(std::string_view text) {
  Bytes out;
  int nibble = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else if (c == ' ' || c == '\n' || c == '|')
      continue;
    else
      throw std::invalid_argument("bad hex fixture");
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  if (nibble >= 0) throw std::invalid_argument("odd hex fixture");
  return out;
}

inline Bytes Str(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline void Put16Be(Bytes& b, size_t at, unsigned v) {
  b.at(at) = static_cast<uint8_t>(v >> 8);
  b.at(at + 1) = static_cast<uint8_t>(v);
}
inline void Put16Le(Bytes& b, size_t at, unsigned v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
inline void Put32Le(Bytes& b, size_t at, uint32_t v) {
  Put16Le(b, at, v & 0xFFFF);
  Put16Le(b, at + 2, v >> 16);
}

// 34-byte second-level name, empty scope: upper-case, blank pad to 15, suffix.
// asWritten keeps the name's case and pads with `pad` instead.
inline Bytes Name34(std::string_view name, uint8_t suffix, bool asWritten = false,
                    uint8_t pad = ' ') {
  uint8_t raw[16];
  for (size_t i = 0; i < 15; ++i) {
    const auto c = static_cast<unsigned char>(i < name.size() ? name[i] : 0);
    raw[i] = i >= name.size() ? pad
             : asWritten      ? uint8_t{c}
                              : static_cast<uint8_t>(std::toupper(c));
  }
  raw[15] = suffix;
  Bytes out{0x20};
  for (uint8_t b : raw) {
    out.push_back(static_cast<uint8_t>('A' + (b >> 4)));
    out.push_back(static_cast<uint8_t>('A' + (b & 15)));
  }
  out.push_back(0);
  return out;
}

// The 32-byte SMB header, field by field; the status and the signature are zero.
struct SmbHeaderFields {
  uint8_t command = 0;
  uint8_t flags = 0;
  uint16_t flags2 = 0;
  uint16_t pidHigh = 0;
  uint16_t tid = 0;
  uint16_t pidLow = 0;
  uint16_t uid = 0;
  uint16_t mid = 0;
};

inline Bytes SmbHeaderBytes(const SmbHeaderFields& h) {
  Bytes b(32, 0);
  b[0] = 0xFF;
  b[1] = 'S';
  b[2] = 'M';
  b[3] = 'B';                 // 0  Protocol
  b[4] = h.command;           // 4  Command
  b[9] = h.flags;             // 9  Flags
  Put16Le(b, 10, h.flags2);   // 10 Flags2
  Put16Le(b, 12, h.pidHigh);  // 12 PIDHigh
  Put16Le(b, 24, h.tid);      // 24 TID
  Put16Le(b, 26, h.pidLow);   // 26 PIDLow
  Put16Le(b, 28, h.uid);      // 28 UID
  Put16Le(b, 30, h.mid);      // 30 MID
  return b;
}

// SMB_COM_TRANSACTION mailslot write, laid out field by field.
struct SmbFrame {
  std::string mailslot = "\\MAILSLOT\\MESSNGR";
  Bytes data;
  size_t pad = 1;       // bytes between the name's NUL and the data
  int dataOffset = -1;  // -1: the true offset
  int dataCount = -1;   // -1: the true count
  int byteCount = -1;   // -1: the true count
  uint8_t wordCount = 17;
  uint8_t setupCount = 3;
  uint16_t opcode = 1;
  uint8_t command = 0x25;
  uint8_t flags = 0;  // header fields a receiver must ignore
  uint16_t pidLow = 0;
  uint16_t tid = 0;
};

inline Bytes Smb(const SmbFrame& s) {
  Bytes b =
      SmbHeaderBytes({.command = s.command, .flags = s.flags, .tid = s.tid, .pidLow = s.pidLow});
  b.resize(69, 0);
  b[32] = s.wordCount;  // 32 WordCount
  size_t dataAt = 69 + s.mailslot.size() + 1 + s.pad;
  size_t off = s.dataOffset < 0 ? dataAt : static_cast<size_t>(s.dataOffset);
  size_t cnt = s.dataCount < 0 ? s.data.size() : static_cast<size_t>(s.dataCount);
  Put16Le(b, 35, static_cast<unsigned>(cnt));  // 35 TotalDataCount
  Put16Le(b, 53, static_cast<unsigned>(off));  // 53 ParameterOffset
  Put16Le(b, 55, static_cast<unsigned>(cnt));  // 55 DataCount
  Put16Le(b, 57, static_cast<unsigned>(off));  // 57 DataOffset
  b[59] = s.setupCount;                        // 59 SetupCount
  Put16Le(b, 61, s.opcode);                    // 61 opcode
  Put16Le(b, 65, 2);                           // 65 class 2
  size_t bcc = s.mailslot.size() + 1 + s.pad + s.data.size();
  Put16Le(b, 67, static_cast<unsigned>(s.byteCount < 0 ? bcc : static_cast<size_t>(s.byteCount)));
  b.insert(b.end(), s.mailslot.begin(), s.mailslot.end());
  b.push_back(0);
  b.insert(b.end(), s.pad, 0);
  b.insert(b.end(), s.data.begin(), s.data.end());
  return b;
}

// RFC 1002 datagram (types 0x10-0x12) around user data.
struct DgmFrame {
  uint8_t type = 0x10;
  uint8_t flags = 0x02;
  uint16_t id = 0x1234;
  uint32_t sourceIp = 0xC0A8010A;  // 192.168.1.10
  uint16_t sourcePort = 138;
  int length = -1;  // -1: the true DGM_LENGTH
  uint16_t offset = 0;
  Bytes source = Name34("ALICEPC", 0x00);
  Bytes destination = Name34("BOBPC", 0x03);
  Bytes userData;
};

inline Bytes Dgm(const DgmFrame& s) {
  Bytes b(14, 0);
  b[0] = s.type;
  b[1] = s.flags;
  Put16Be(b, 2, s.id);
  Put16Be(b, 4, s.sourceIp >> 16);
  Put16Be(b, 6, s.sourceIp & 0xFFFF);
  Put16Be(b, 8, s.sourcePort);
  size_t len = s.source.size() + s.destination.size() + s.userData.size();
  Put16Be(b, 10, static_cast<unsigned>(s.length < 0 ? len : static_cast<size_t>(s.length)));
  Put16Be(b, 12, s.offset);
  b.insert(b.end(), s.source.begin(), s.source.end());
  b.insert(b.end(), s.destination.begin(), s.destination.end());
  b.insert(b.end(), s.userData.begin(), s.userData.end());
  return b;
}

// The complete example frame of the wire reference: ALICEPC<00> at
// 192.168.1.10 to BOBPC<03>, DIRECT_UNIQUE, body "ALICE\0BOB\0Hello".
inline Bytes ReferenceExampleFrame() {
  return Hex(
      "10 02 12 34 c0 a8 01 0a 00 8a 00 ab 00 00 20 45"  // 0x00 header, source name
      "42 45 4d 45 4a 45 44 45 46 46 41 45 44 43 41 43"
      "41 43 41 43 41 43 41 43 41 43 41 43 41 41 41 00"
      "20 45 43 45 50 45 43 46 41 45 44 43 41 43 41 43"  // 0x30 destination name
      "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41"
      "44 00 ff 53 4d 42 25 00 00 00 00 00 00 00 00 00"  // 0x52 SMB header
      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
      "00 00 11 00 00 0f 00 00 00 00 00 00 00 00 00 00"  // 0x72 WCT 17, TDC 15
      "00 00 00 00 00 00 00 58 00 0f 00 58 00 03 00 01"  // PO 88, DC 15, DO 88, SC 3, opcode 1
      "00 00 00 02 00 22 00 5c 4d 41 49 4c 53 4c 4f 54"  // prio 0, class 2, BCC 34, name
      "5c 4d 45 53 53 4e 47 52 00 00 41 4c 49 43 45 00"  // NUL, pad, "ALICE" NUL
      "42 4f 42 00 48 65 6c 6c 6f");                     // "BOB" NUL "Hello"
}

// ---- Browser frames (data of \MAILSLOT\BROWSE and \MAILSLOT\LANMAN writes) ----

// A 16-byte name field: the text, then `fill` bytes (a NUL first unless the
// text fills all 16).
inline Bytes Field16(std::string_view text, uint8_t fill = 0) {
  Bytes b(text.begin(), text.end());
  b.resize(16, fill);
  if (text.size() < 16) b[text.size()] = 0;
  return b;
}

// Host (0x01), local master (0x0F) or domain (0x0C) announcement, field by field.
struct AnnounceFrame {
  uint8_t opcode = 0x01;
  uint8_t updateCount = 0;
  uint32_t periodicity = 720000;  // 12 minutes
  Bytes name = Field16("ALICEPC");
  uint8_t versionMajor = 6;
  uint8_t versionMinor = 1;
  uint32_t serverType = 0x00001003;
  uint8_t browserMajor = 0x0F;
  uint8_t browserMinor = 0x01;
  uint16_t signature = 0xAA55;
  Bytes tail = Str("Front desk") + Bytes{0};  // comment (or master name) and its NUL
};

inline Bytes Announce(const AnnounceFrame& f) {
  Bytes b(32, 0);
  b[0] = f.opcode;                                         // 0  opcode
  b[1] = f.updateCount;                                    // 1  UpdateCount
  Put32Le(b, 2, f.periodicity);                            // 2  Periodicity
  std::copy(f.name.begin(), f.name.end(), b.begin() + 6);  // 6 ServerName (16)
  b[22] = f.versionMajor;                                  // 22 OS version
  b[23] = f.versionMinor;                                  // 23
  Put32Le(b, 24, f.serverType);                            // 24 ServerType
  b[28] = f.browserMajor;                                  // 28 browser version
  b[29] = f.browserMinor;                                  // 29
  Put16Le(b, 30, f.signature);                             // 30 Signature
  b.insert(b.end(), f.tail.begin(), f.tail.end());         // 32 Comment
  return b;
}

// AnnouncementRequest: 02, reserved, the name and its NUL.
inline Bytes AnnounceRequest(std::string_view name, uint8_t reserved = 0) {
  return Bytes{0x02, reserved} + Str(name) + Bytes{0};
}

// LAN Manager host announcement (\MAILSLOT\LANMAN).
inline Bytes LanmanAnnounce(uint32_t serverType, uint16_t seconds, std::string_view name,
                            std::string_view comment) {
  Bytes b(9, 0);
  b[0] = 0x01;                // 0 opcode
  Put32Le(b, 1, serverType);  // 1 ServerType
  b[5] = 4;                   // 5 OS major
  b[6] = 0;                   // 6 OS minor
  Put16Le(b, 7, seconds);     // 7 Periodicity, seconds
  return b + Str(name) + Bytes{0} + Str(comment) + Bytes{0};
}

// A whole UDP payload carrying browser-frame data: an unpadded SMB write to
// `mailslot` in a datagram of type `type` from `source` to `destination`.
inline Bytes BrowseDatagramFrame(const Bytes& data, Bytes destination,
                                 Bytes source = Name34("ALICEPC", 0x00),
                                 std::string mailslot = "\\MAILSLOT\\BROWSE", uint8_t type = 0x11) {
  SmbFrame s;
  s.mailslot = std::move(mailslot);
  s.pad = 0;
  s.data = data;
  DgmFrame d;
  d.type = type;
  d.source = std::move(source);
  d.destination = std::move(destination);
  d.userData = Smb(s);
  return Dgm(d);
}

}  // namespace vantrel::testframes
