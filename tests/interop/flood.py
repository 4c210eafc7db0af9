#!/usr/bin/env python3
"""Floods a receiver with Messenger datagrams whose SENDER field is made up, built with the
hand builder of frames.py (no code of the program under test) and sent on a plain UDP socket.

  flood.py SRC_IP DST_IP COUNT KIND [--size BYTES] [--workgroup WG]

KIND says what the SENDER fields are:
  mixed      cycles through a resolvable name (BOB), a new name each time (S<n>), an IPv4
             literal, a DNS name and the workgroup
  big        BOB, with texts of --size bytes (memory)
Prints "sent: N" and "seconds: S" at the end.
"""
import socket
import sys
import time

from frames import MAILSLOT, netbios_datagram, smb_mailslot_write


def senders(kind, count, workgroup):
    fixed = [b"BOB", None, b"198.18.78.13", b"host.example.org", workgroup.encode()]
    for i in range(count):
        if kind == "big":
            yield b"BOB"
            continue
        s = fixed[i % len(fixed)]
        yield s if s is not None else b"S%d" % i


def main(argv):
    src_ip, dst_ip, count, kind = argv[1], argv[2], int(argv[3]), argv[4]
    size = int(argv[argv.index("--size") + 1]) if "--size" in argv else 8
    workgroup = argv[argv.index("--workgroup") + 1] if "--workgroup" in argv else "WORKGROUP"
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 8 << 20)
    text = b"x" * size
    start = time.monotonic()
    sent = 0
    for i, sender in enumerate(senders(kind, count, workgroup)):
        body = sender + b"\0ALICE\0" + text + b"%d" % i
        frame = netbios_datagram(0x10, src_ip, sender[:15], b"ALICE", 0x03,
                                 smb_mailslot_write(MAILSLOT, body))
        while True:
            try:
                sock.sendto(frame, (dst_ip, 138))
                break
            except BlockingIOError:
                time.sleep(0.001)
            except OSError:  # ENOBUFS on a full queue: try again shortly
                time.sleep(0.001)
        sent += 1
    print("sent: %d" % sent)
    print("seconds: %.2f" % (time.monotonic() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
