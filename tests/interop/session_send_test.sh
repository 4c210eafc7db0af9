#!/usr/bin/env bash
# Receiving `smbclient -M` directly, without Samba. On CAROL the program runs (the e2e driver:
# the real application in-process) with nothing else on TCP 139; from BOB Samba's smbclient
# sends messages to CAROL over the NetBIOS session service; EVE floods; tshark on CAROL records
# TCP 139 and decodes both sides.
# Checked:
#   - the Vantrel program holds TCP 139 while it receives, saves a message smbclient sent, and
#     after SIGTERM and a new start binds TCP 139 again;
#   - smbclient -M CAROL reports success and the message is stored with sender BOB (the -U
#     name), receiver CAROL and the text as smbclient sent it (LF made CR LF); it is saved at Exit;
#   - smbclient -M to another name is refused (NEGATIVE SESSION RESPONSE) and nothing is stored;
#   - a stalled client (connected, silent) from BOB and 40 connections held open from EVE do not
#     stop a following real message: EVE gets at most 4 connections, the rest are closed at once,
#     and the stalled ones are cut once their session request is 10 s overdue;
#   - a client of our own (Python, from the tables) negotiates the core dialect and sends one
#     single-block SEND_MESSAGE; it is stored;
#   - tshark decodes our answers: POSITIVE and NEGATIVE SESSION RESPONSES, the negotiate reply
#     and successful SMB replies to the send-message requests.
source "$(dirname "$0")/lib.sh"
command -v smbclient >/dev/null || { echo "SKIP: smbclient is not installed"; exit $SKIP; }
command -v tshark >/dev/null || { echo "SKIP: tshark is not installed"; exit $SKIP; }
PY=$(command -v python3) || { echo "SKIP: python3 is not installed"; exit $SKIP; }
source "$(dirname "$0")/e2e_lib.sh"
# The English pop-up layout, whatever the machine's locale.
export LC_ALL=C LANG=C

lan up CAROL BOB EVE >/dev/null
C=$(lan addr CAROL)

# Clients that connect and say nothing.
cat >"$WORK/hold.py" <<'PY'
import socket, sys, time
host, count, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
socks = []
for _ in range(count):
    s = socket.create_connection((host, 139), timeout=5)
    s.setblocking(False)
    socks.append(s)
print("connected %d" % len(socks), flush=True)
start = time.monotonic()
open_ = set(range(count))
reported_refused = False
while open_ and time.monotonic() - start < seconds:
    for i in list(open_):
        try:
            data = socks[i].recv(16)
        except BlockingIOError:
            continue
        except ConnectionResetError:
            data = b""
        if not data:
            open_.discard(i)
            print("cut %d after %.1f" % (i, time.monotonic() - start), flush=True)
    if not reported_refused and time.monotonic() - start > 2:
        print("open after 2s: %d" % len(open_), flush=True)
        reported_refused = True
    time.sleep(0.05)
print("still open: %d" % len(open_), flush=True)
PY

# A client of our own, built from the RFC and [MS-CIFS] tables: session request to NAME<03>,
# NEGOTIATE offering "NT LM 0.12" and the core dialect, one single-block SEND_MESSAGE (0xD0).
# Prints the dialect index and the message's DOS error class.
cat >"$WORK/single.py" <<'PY'
import socket, struct, sys
host, name, sender, text = sys.argv[1:5]
def nb(n, suffix):
    raw = n.upper().ljust(15)[:15].encode() + bytes([suffix])
    return bytes([32]) + bytes(b for c in raw for b in (0x41 + (c >> 4), 0x41 + (c & 15))) + b"\0"
def packet(kind, body):
    return struct.pack(">BBH", kind, len(body) >> 16, len(body) & 0xFFFF) + body
def smb(cmd, data, mid):
    header = b"\xffSMB" + bytes([cmd]) + bytes(4) + b"\x18" + struct.pack("<H", 0x0001) + bytes(12)
    header += struct.pack("<HHHH", 0, 0x4242, 0, mid)
    return header + b"\0" + struct.pack("<H", len(data)) + data
def read_packet(s):
    head = b""
    while len(head) < 4:
        head += s.recv(4 - len(head))
    n = ((head[1] & 1) << 16) | struct.unpack(">H", head[2:])[0]
    body = b""
    while len(body) < n:
        body += s.recv(n - len(body))
    return head[0], body
s = socket.create_connection((host, 139), timeout=10)
s.sendall(packet(0x81, nb(name, 3) + nb(sender, 0)))
kind, _ = read_packet(s)
assert kind == 0x82, kind
s.sendall(packet(0, smb(0x72, b"\x02NT LM 0.12\0\x02PC NETWORK PROGRAM 1.0\0", 1)))
_, reply = read_packet(s)
print("dialect %d" % struct.unpack("<H", reply[33:35])[0], flush=True)
data = b"\x04" + sender.encode() + b"\0\x04" + name.encode() + b"\0\x01"
data += struct.pack("<H", len(text)) + text.encode()
s.sendall(packet(0, smb(0xD0, data, 2)))
_, reply = read_packet(s)
print("class %d" % reply[5], flush=True)
s.close()
PY

# Sends a message from BOB with smbclient: smb_send NAME TEXT; output in $WORK/smbclient.out.
smb_send() {
  printf '%s' "$2" | on_host_conf BOB smbclient -M "$1" -I "$C" -U BOB% -N \
    >"$WORK/smbclient.out" 2>&1
}

# smbclient reported success: exit status 0 and no error line.
smb_ok() {
  smb_send "$@" || fail "smbclient failed: $(cat "$WORK/smbclient.out")"
  ! grep -q 'cli_message returned\|failed' "$WORK/smbclient.out" \
    || fail "smbclient reported: $(cat "$WORK/smbclient.out")"
}

# Waits until TCP 139 on CAROL is held by the process $1.
wait_139_held_by() {
  local n=0
  until lan run CAROL ss -Hltnp 'sport = :139' | grep -q "pid=$1,"; do
    n=$((n + 1))
    [ $n -le 100 ] || fail "TCP 139 on CAROL is not held by pid $1: $(lan run CAROL ss -Hltnp)"
    sleep 0.1
  done
}

# 0. The Vantrel program itself takes a message and keeps it; SIGTERM ends it.
start_app CAROL program "$VANTREL_PROGRAM"
PROGRAM=$APP_PID
wait_program_ready CAROL "$PROGRAM"
wait_139_held_by "$PROGRAM"
smb_ok CAROL 'to the program'
T0=$(wait_for_saved program 'BOB|CAROL|to the program')
kill -TERM "$PROGRAM"
wait_exit "$PROGRAM" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "the program ended with status $EXIT_STATUS on SIGTERM"
pass "the Vantrel program listens on TCP 139 and saved the message of smbclient (at $T0)"

# From here on the same application in-process (the driver), which shows its store.
start_driver CAROL carol "mailslot mode"
wait_139_held_by "$DRIVER"
pass "after a restart the program listens on TCP 139 again"

on_host_bg CAROL "$WORK/tshark.log" tshark -q -i eth0 -f "tcp port 139" -a duration:150 \
  -w "$WORK/cap.pcap"
TSHARK_PID=$!
wait_for_line "$WORK/tshark.log" "Capturing on 'eth0'"
sleep 0.5

# Asks the driver for its store until a record "TIME|PATTERN" (grep -E, the driver's escapes:
# \r, \n) is there, at most 10 s; prints the record's time.
wait_record() {
  local pattern="$1" n=0
  until grep -Eq "^record: [0-9: -]{19}\|$pattern\$" "$WORK/carol.out"; do
    echo store >&3
    sleep 0.2
    n=$((n + 1))
    if [ $n -gt 50 ]; then
      grep '^record: ' "$WORK/carol.out" >&2 || true
      fail "no stored record matching '$pattern'"
    fi
  done
  grep -E "^record: [0-9: -]{19}\|$pattern\$" "$WORK/carol.out" | head -n1 | cut -c9-27
}

# 1. A message of two lines.
smb_ok CAROL $'hello\nsecond line\n'
T1=$(wait_record 'BOB\|CAROL\|hello\\r\\nsecond line\\r\\n')
pass "smbclient -M CAROL reported success; stored at $T1 from BOB to CAROL with both lines"

# 2. Another name: refused, nothing stored.
if smb_send DAVE 'not for carol' && ! grep -q 'failed' "$WORK/smbclient.out"; then
  fail "smbclient to DAVE succeeded: $(cat "$WORK/smbclient.out")"
fi
grep -q 'Connection to DAVE failed' "$WORK/smbclient.out" \
  || fail "smbclient to DAVE: $(cat "$WORK/smbclient.out")"
pass "smbclient -M DAVE is refused: $(head -n1 "$WORK/smbclient.out")"

# 3. A stalled client from BOB, 40 held connections from EVE, then a real message.
on_host_bg BOB "$WORK/stall.out" "$PY" "$WORK/hold.py" "$C" 1 25
on_host_bg EVE "$WORK/flood.out" "$PY" "$WORK/hold.py" "$C" 40 25
wait_for_line "$WORK/stall.out" '^connected 1$' 10
wait_for_line "$WORK/flood.out" '^open after 2s: ' 10
open_eve=$(sed -n 's/^open after 2s: //p' "$WORK/flood.out")
[ "$open_eve" -le 4 ] || fail "EVE still holds $open_eve connections: $(cat "$WORK/flood.out")"
smb_ok CAROL 'after the flood'
wait_record 'BOB\|CAROL\|after the flood' >/dev/null
pass "with BOB stalled and EVE flooding (EVE holds $open_eve of 40) the next message is stored"

wait_for_line "$WORK/stall.out" '^cut 0 after ' 20
cut=$(sed -n 's/^cut 0 after //p' "$WORK/stall.out")
wait_for_line "$WORK/flood.out" '^still open: 0$' 25
awk -v c="$cut" 'BEGIN { exit !(c >= 9 && c <= 15) }' || fail "the stalled client was cut after ${cut}s"
pass "the stalled client was cut after ${cut}s; EVE's held connections too"

# 4. A single-block message after a negotiation, as a `net send` may send it.
lan run BOB "$PY" "$WORK/single.py" "$C" CAROL ALICEPC 'single block' >"$WORK/single.out" 2>&1 \
  || fail "single-block client: $(cat "$WORK/single.out")"
[ "$(cat "$WORK/single.out")" = "$(printf 'dialect 1\nclass 0')" ] \
  || fail "single-block client: $(cat "$WORK/single.out")"
wait_record 'ALICEPC\|CAROL\|single block' >/dev/null
pass "a single-block SEND_MESSAGE after NEGOTIATE (core dialect chosen) is stored"

# 5. tshark decodes our answers.
stop_capture "$TSHARK_PID"
tshark -r "$WORK/cap.pcap" -Y "nbss.type == 0x81" -T fields -e nbss.called_name 2>/dev/null |
  sort -u >"$WORK/called"
grep -qx 'CAROL<03>' "$WORK/called" || fail "called names: $(cat "$WORK/called")"
positives=$(tshark -r "$WORK/cap.pcap" -Y "nbss.type == 0x82" 2>/dev/null | wc -l)
negatives=$(tshark -r "$WORK/cap.pcap" -Y "nbss.type == 0x83" -T fields -e nbss.error_code \
  2>/dev/null | sort -u)
[ "$positives" -ge 2 ] || fail "$positives positive session responses"
[ "$negatives" = "0x82" ] || fail "negative responses: $negatives"
tshark -r "$WORK/cap.pcap" -Y "smb.flags.response == 1" -T fields -e smb.cmd -e smb.error_class \
  2>/dev/null | sort | uniq -c | awk '{ print $2, $3 }' >"$WORK/replies"
[ "$(cat "$WORK/replies")" = "$(printf '0x72 0x00\n0xd0 0x00\n0xd5 0x00\n0xd6 0x00\n0xd7 0x00')" ] \
  || fail "SMB replies: $(cat "$WORK/replies")"
dialect=$(tshark -r "$WORK/cap.pcap" -Y "smb.cmd == 0x72 && smb.flags.response == 1" \
  -T fields -e smb.dialect.index 2>/dev/null)
[ "$dialect" = 1 ] || fail "negotiate reply dialect: $dialect"
pass "tshark decodes CAROL<03>, the positive and negative (0x82) responses, and successful replies"

# 6. Exit keeps the messages.
echo exit >&3
wait_exit "$DRIVER" 20
[ "$EXIT_STATUS" -eq 0 ] || fail "the driver ended with status $EXIT_STATUS"
saved_messages carol >"$WORK/saved"
grep -q "^$T1|BOB|CAROL|hello" "$WORK/saved" || fail "saved: $(cat "$WORK/saved")"
grep -qx "[0-9: -]\{19\}|BOB|CAROL|after the flood" "$WORK/saved" || fail "saved: $(cat "$WORK/saved")"
pass "both messages are saved in CAROL's hive at Exit"
