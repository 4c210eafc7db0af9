#pragma once
// Test-only builders of NetBIOS session packets and the SMBs of a messenger
// session, written from the wire tables and sharing no code with the
// production encoders; and the bytes smbclient -M (Samba 4.17) sent on the
// private LAN, as tshark recorded them.

#include <cstdint>
#include <string>
#include <string_view>

#include "transport/TestFrames.h"

namespace vantrel::testframes {

// A session packet: type, flags, 16-bit length, trailer. length -1: the true
// one (bit 16 goes into the flags byte).
inline Bytes SessionPacket(uint8_t type, const Bytes& trailer, int length = -1,
                           uint8_t extraFlags = 0) {
  const size_t n = length < 0 ? trailer.size() : static_cast<size_t>(length);
  Bytes b{type, static_cast<uint8_t>(((n >> 16) & 1) | extraFlags), static_cast<uint8_t>(n >> 8),
          static_cast<uint8_t>(n)};
  return b + trailer;
}

inline Bytes SessionRequestPacket(std::string_view called, uint8_t calledSuffix,
                                  std::string_view calling, uint8_t callingSuffix) {
  return SessionPacket(0x81, Name34(called, calledSuffix) + Name34(calling, callingSuffix));
}

// An SMB request, field by field: a Send Message from process 0x3193 unless
// told otherwise.
struct SmbRequest : SmbHeaderFields {
  SmbRequest() {
    command = 0xD0;
    pidLow = 0x3193;
  }
  std::vector<uint16_t> words;
  Bytes bytes;
  int byteCount = -1;  // -1: the true count
};

inline Bytes SmbOf(const SmbRequest& s) {
  Bytes b = SmbHeaderBytes(s);
  b.push_back(static_cast<uint8_t>(s.words.size()));  // 32 WordCount
  for (uint16_t w : s.words) {
    b.push_back(static_cast<uint8_t>(w));
    b.push_back(static_cast<uint8_t>(w >> 8));
  }
  const size_t bc = s.byteCount < 0 ? s.bytes.size() : static_cast<size_t>(s.byteCount);
  b.push_back(static_cast<uint8_t>(bc));
  b.push_back(static_cast<uint8_t>(bc >> 8));
  return b + s.bytes;
}

// 04 text 00
inline Bytes SmbString(std::string_view s) { return Bytes{0x04} + Str(s) + Bytes{0x00}; }
// 01 length text
inline Bytes SmbData(std::string_view s) {
  return Bytes{0x01, static_cast<uint8_t>(s.size()), static_cast<uint8_t>(s.size() >> 8)} + Str(s);
}

inline Bytes SendMessageSmb(std::string_view from, std::string_view to, std::string_view text) {
  SmbRequest r;
  r.command = 0xD0;
  r.bytes = SmbString(from) + SmbString(to) + SmbData(text);
  return SmbOf(r);
}
inline Bytes SendStartSmb(std::string_view from, std::string_view to) {
  SmbRequest r;
  r.command = 0xD5;
  r.bytes = SmbString(from) + SmbString(to);
  return SmbOf(r);
}
inline Bytes SendTextSmb(uint16_t group, std::string_view text) {
  SmbRequest r;
  r.command = 0xD7;
  r.words = {group};
  r.bytes = SmbData(text);
  return SmbOf(r);
}
inline Bytes SendEndSmb(uint16_t group) {
  SmbRequest r;
  r.command = 0xD6;
  r.words = {group};
  return SmbOf(r);
}
inline Bytes NegotiateSmb(std::initializer_list<std::string_view> dialects) {
  SmbRequest r;
  r.command = 0x72;
  for (std::string_view d : dialects) r.bytes = r.bytes + Bytes{0x02} + Str(d) + Bytes{0x00};
  return SmbOf(r);
}
inline Bytes Msg(const Bytes& smb) { return SessionPacket(0x00, smb); }

// smbclient -M CAROL -I 198.18.0.11 -U BOB% -N, run on BOB with "hello" LF on
// its standard input, as recorded on the LAN (our listener answered group 1).
inline Bytes SmbclientSessionRequest() {
  return Hex(
      "81 00 00 44"                                         // 0  SESSION REQUEST, length 68
      "20 45 44 45 42 46 43 45 50 45 4d 43 41 43 41 43"     // 4  called: 32 letters ...
      "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 44"  //    ... CAROL<03>
      "00"                                                  // 37 end of name
      "20 45 43 45 50 45 43 43 41 43 41 43 41 43 41 43"     // 38 calling: ...
      "41 43 41 43 41 43 41 43 41 43 41 43 41 43 41 41 41"  //    ... BOB<00>
      "00");                                                // 71 end of name
}
inline Bytes SmbclientSendStart() {
  return Hex(
      "00 00 00 2f"                                      // 0  SESSION MESSAGE, 47
      "ff 53 4d 42 d5 00 00 00 00 00 00 00 00 00 00 00"  // 4  SMB, command 0xD5, status 0
      "00 00 00 00 00 00 00 00 00 00 93 31 00 00 00 00"  // 20 TID 0, PIDLow 0x3193, UID 0, MID 0
      "00"                                               // 36 WordCount 0
      "0c 00"                                            // 37 ByteCount 12
      "04 42 4f 42 00"                                   // 39 04 "BOB" 00
      "04 43 41 52 4f 4c 00");                           // 44 04 "CAROL" 00
}
inline Bytes SmbclientSendText() {
  return Hex(
      "00 00 00 2f"                                      // 0  SESSION MESSAGE, 47
      "ff 53 4d 42 d7 00 00 00 00 00 00 00 00 00 00 00"  // 4  SMB, command 0xD7
      "00 00 00 00 00 00 00 00 00 00 93 31 00 00 00 00"  // 20
      "01 01 00"                                         // 36 WordCount 1, group 1
      "0a 00"                                            // 39 ByteCount 10
      "01 07 00 68 65 6c 6c 6f 0d 0a");                  // 41 01, length 7, "hello" CR LF
}
inline Bytes SmbclientSendEnd() {
  return Hex(
      "00 00 00 25"                                      // 0  SESSION MESSAGE, 37
      "ff 53 4d 42 d6 00 00 00 00 00 00 00 00 00 00 00"  // 4  SMB, command 0xD6
      "00 00 00 00 00 00 00 00 00 00 93 31 00 00 00 00"  // 20
      "01 01 00"                                         // 36 WordCount 1, group 1
      "00 00");                                          // 39 ByteCount 0
}

}  // namespace vantrel::testframes
