#!/usr/bin/env python3
"""Messenger mailslot frames built by hand from RFC 1001/1002 and the SMB mailslot-write
layout, with no code of the program under test, and sent with scapy.

  frames.py send SRC_IP DST_IP [--iface IF]   send the test set below, then print its plan
  frames.py plan                              print the plan only (what the receiver must see)
  frames.py selftest                          check the builder against scapy's own dissector

The plan is one line per frame: "keep <hex of the datagram the receiver must store>" or
"drop <why>".
"""
import struct
import sys

MAILSLOT = b"\\MAILSLOT\\MESSNGR"


def first_level(name: bytes, suffix: int, wildcard: bool = False, raw_name: bool = False) -> bytes:
    """RFC 1001 14.1: 16 bytes (name blank-padded to 15 + suffix), each nibble + 'A'.
    raw_name: the name's 15 bytes exactly as given (any case, any padding)."""
    if wildcard:
        raw = b"*" + b"\0" * 15
    elif raw_name:
        assert len(name) == 15
        raw = name + bytes([suffix])
    else:
        raw = name.upper()[:15].ljust(15, b" ") + bytes([suffix])
    out = bytearray()
    for b in raw:
        out += bytes([ord("A") + (b >> 4), ord("A") + (b & 0x0F)])
    return bytes(out)


def second_level(name: bytes, suffix: int, wildcard: bool = False, raw_name: bool = False) -> bytes:
    """RFC 1001 14.2 with the empty scope: length 32, the letters, terminating zero."""
    return bytes([32]) + first_level(name, suffix, wildcard, raw_name) + b"\0"


def smb_mailslot_write(mailslot: bytes, data: bytes, align: bool = True,
                       priority: int = 0, klass: int = 2) -> bytes:
    """SMB_COM_TRANSACTION (0x25) carrying a class-2 mailslot write (opcode 1)."""
    header = b"\xffSMB" + bytes([0x25]) + b"\0" * 4 + bytes([0]) + b"\0\0" + b"\0" * 2 \
        + b"\0" * 8 + b"\0\0" + b"\0\0" + b"\0\0" + b"\0\0" + b"\0\0"
    assert len(header) == 32
    name = mailslot + b"\0"
    fixed = 32 + 1 + 17 * 2 + 2  # header, WordCount, 14+3 words, ByteCount
    pad = (-(fixed + len(name))) % 4 if align else 0
    data_offset = fixed + len(name) + pad
    words = struct.pack("<HHHHBBHIHHHHHBB",
                        0,                # TotalParameterCount
                        len(data),        # TotalDataCount
                        0,                # MaxParameterCount
                        0,                # MaxDataCount
                        0, 0,             # MaxSetupCount, Reserved1
                        0,                # Flags
                        0,                # Timeout
                        0,                # Reserved2
                        0,                # ParameterCount
                        data_offset,      # ParameterOffset (= DataOffset, as Windows)
                        len(data),        # DataCount
                        data_offset,      # DataOffset
                        3, 0)             # SetupCount, Reserved3
    setup = struct.pack("<HHH", 1, priority, klass)
    body = name + b"\0" * pad + data
    smb = header + bytes([17]) + words + setup + struct.pack("<H", len(body)) + body
    assert smb[data_offset:] == data
    return smb


def netbios_datagram(msg_type: int, src_ip: str, src: bytes, dst: bytes, dst_suffix: int,
                     user_data: bytes, flags: int = 0x02, dgm_id: int = 0x4242,
                     offset: int = 0, wildcard: bool = False, raw_dst: bool = False) -> bytes:
    """RFC 1002 4.4.1/4.4.2: 14-byte header, source and destination names, user data."""
    names = second_level(src, 0x00) + second_level(dst, dst_suffix, wildcard, raw_dst)
    ip = bytes(int(x) for x in src_ip.split("."))
    header = struct.pack(">BBH4sHHH", msg_type, flags, dgm_id, ip, 138,
                         len(names) + len(user_data), offset)
    return header + names + user_data


def plan(src_ip: str):
    """(frame, expected) pairs; expected is the datagram the receiver stores, or a drop reason.
    The receiver is BOB in workgroup LANFOLK; the sender calls itself SCAPY."""
    frames = []

    def keep(frame, body):
        frames.append((frame, ("keep", body)))

    def drop(frame, why):
        frames.append((frame, ("drop", why)))

    body = b"SCAPY\0BOB\0Hello from scapy"
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03, smb_mailslot_write(MAILSLOT, body)),
         body)
    body = b"SCAPY\0bob\0line one\r\nline two"
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"bob", 0x00,
                          smb_mailslot_write(b"\\mailslot\\messngr", body, align=False,
                                             priority=1)), body)
    body = b"SCAPY\0LANFOLK\0to the workgroup"
    keep(netbios_datagram(0x11, src_ip, b"SCAPY", b"LANFOLK", 0x00,
                          smb_mailslot_write(MAILSLOT, body), flags=0x0A), body)
    body = b"SCAPY\0*\0to everyone"
    keep(netbios_datagram(0x12, src_ip, b"SCAPY", b"*", 0x00, smb_mailslot_write(MAILSLOT, body),
                          wildcard=True), body)
    body = b"SCAPY\0BOB\0"  # empty text
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03, smb_mailslot_write(MAILSLOT, body)),
         body)
    body = b"~SCAPY\0BOB\0I've got your message on 2003-10-20 09:05:07."  # automatic answer
    keep(netbios_datagram(0x10, src_ip, b"~SCAPY", b"BOB", 0x03,
                          smb_mailslot_write(MAILSLOT, body)), body)
    body = b"SCAPY\0BOB\0terminated\0"  # a sender that ends the text with a zero byte
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03, smb_mailslot_write(MAILSLOT, body)),
         body)
    # Destination names as some senders write them: lower case, or padded with
    # zero bytes instead of blanks. Both are BOB.
    body = b"SCAPY\0bob\0lower-case destination"
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"bob" + b" " * 12, 0x03,
                          smb_mailslot_write(MAILSLOT, body), raw_dst=True), body)
    body = b"SCAPY\0BOB\0zero-padded destination"
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB" + b"\0" * 12, 0x00,
                          smb_mailslot_write(MAILSLOT, body), raw_dst=True), body)
    high = bytes(range(0xA0, 0xB0))
    body = b"SCAPY\0BOB\0" + high  # 8-bit text stays bytes
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03, smb_mailslot_write(MAILSLOT, body)),
         body)

    body = b"SCAPY\0BOB\0not for messenger"
    drop(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03,
                          smb_mailslot_write(b"\\MAILSLOT\\BROWSE", body)), "other mailslot")
    drop(netbios_datagram(0x10, src_ip, b"SCAPY", b"CAROL", 0x03,
                          smb_mailslot_write(MAILSLOT, b"SCAPY\0CAROL\0not ours")),
         "not one of our names")
    drop(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03,
                          smb_mailslot_write(MAILSLOT, b"SCAPY\0BOB\0first half"), flags=0x03),
         "fragment")
    drop(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03,
                          smb_mailslot_write(MAILSLOT, b"SCAPY\0BOB\0not a first fragment"),
                          flags=0x00), "fragment")
    drop(netbios_datagram(0x13, src_ip, b"SCAPY", b"BOB", 0x03, b""), "datagram error type")
    drop(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03,
                          smb_mailslot_write(MAILSLOT, b"x"))[:60], "cut short")
    body = b"SCAPY\0BOB\0last"
    keep(netbios_datagram(0x10, src_ip, b"SCAPY", b"BOB", 0x03, smb_mailslot_write(MAILSLOT, body)),
         body)
    return frames


def print_plan(frames):
    for _, (what, detail) in frames:
        if what == "keep":
            print("keep", detail.hex())
        else:
            print("drop", detail)


def selftest():
    """The hand builder against scapy's NetBIOS datagram dissector (a second opinion)."""
    from scapy.layers.netbios import NBTDatagram
    frame = netbios_datagram(0x10, "198.18.0.11", b"SCAPY", b"BOB", 0x03,
                             smb_mailslot_write(MAILSLOT, b"SCAPY\0BOB\0hi"))
    d = NBTDatagram(frame)
    assert d.Type == 0x10, d.Type
    assert d.SourceIP == "198.18.0.11", d.SourceIP
    assert d.SourcePort == 138
    assert d.Length == len(frame) - 14, (d.Length, len(frame))
    src = d.SourceName.decode() if isinstance(d.SourceName, bytes) else d.SourceName
    dst = d.DestinationName.decode() if isinstance(d.DestinationName, bytes) else d.DestinationName
    assert src.strip() == "SCAPY", src
    assert dst.strip() == "BOB", dst
    assert frame.endswith(b"SCAPY\0BOB\0hi")
    # The worked example of the reference: ALICEPC<00> -> BOBPC<03>, "ALICE\0BOB\0Hello".
    ex = netbios_datagram(0x10, "192.168.1.10", b"ALICEPC", b"BOBPC", 0x03,
                          smb_mailslot_write(MAILSLOT, b"ALICE\0BOB\0Hello"), dgm_id=0x1234)
    assert len(ex) == 185, len(ex)
    assert ex[10:12] == b"\x00\xab", ex[10:12].hex()
    assert ex[82 + 53:82 + 59] == bytes.fromhex("58000f005800"), ex[82 + 53:82 + 59].hex()
    print("selftest ok")


def main(argv):
    if len(argv) >= 2 and argv[1] == "selftest":
        selftest()
        return 0
    if len(argv) >= 2 and argv[1] == "plan":
        print_plan(plan("198.18.0.11"))
        return 0
    if len(argv) >= 4 and argv[1] == "send":
        from scapy.all import IP, UDP, Raw, conf, send
        conf.verb = 0
        src_ip, dst_ip = argv[2], argv[3]
        iface = argv[argv.index("--iface") + 1] if "--iface" in argv else "eth0"
        frames = plan(src_ip)
        for frame, (what, _) in frames:
            dst = dst_ip
            if frame[0] in (0x11, 0x12):  # group and broadcast datagrams go to the subnet
                dst = ".".join(dst_ip.split(".")[:3] + ["255"])
            send(IP(src=src_ip, dst=dst) / UDP(sport=138, dport=138) / Raw(load=frame),
                 iface=iface)
        print_plan(frames)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
